# Shared by scripts/test and scripts/run: install what is missing, build, and
# give Wine a throwaway prefix and home inside the build folder.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${VELLUMIX_BUILD:-$ROOT/build}

# 64-bit only: some machines here cannot run 32-bit Linux programs at all.
PACKAGES=(cmake make g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb xdotool
          fonts-wine fonts-liberation x11-apps imagemagick nsis zip msitools wixl)

# The 64-bit loader, called directly: Debian's `wine` wrapper prefers the 32-bit
# loader whenever its file exists, even where it cannot run.
export WINELOADER=/usr/lib/wine/wine64
wine() { "$WINELOADER" "$@"; }

log() { printf '== %s\n' "$*" >&2; }

ensure_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() {
  log "building in $BUILD"
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  # One build at a time on this machine, whichever checkout it comes from.
  flock /tmp/vellumix-build.lock cmake --build "$BUILD" -j "$(nproc)" -- --no-print-directory >/dev/null
}

# A 64-bit Wine prefix and an empty HOME of our own, so nothing the program or
# the tests do touches the user's files (Wine links Desktop, Documents, ... to HOME).
# $1 names the pair: "test" (thrown away on every test run) or "run".
wine_env() {
  local name=${1:-test}
  export WINEPREFIX=$BUILD/$name-wine WINEARCH=win64 WINEDEBUG=-all HOME=$BUILD/$name-home
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
  mkdir -p "$HOME/.local/share/Trash/files" "$HOME/.local/share/Trash/info"
}

fresh_prefix() {
  wine_env "$@"
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$HOME"
  ensure_prefix "$@"
}

ensure_prefix() {
  wine_env "$@"
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  log "creating Wine prefix $WINEPREFIX"
  env -u DISPLAY "$WINELOADER" wineboot -i >/dev/null 2>&1
  # The user's temporary folder where Windows keeps it, inside the profile's
  # AppData\Local (Wine's own default lies beside AppData): the program
  # sweeps no temporary folder outside the user's own.
  local Temp='%USERPROFILE%\AppData\Local\Temp' Name
  for Name in TEMP TMP; do
    wine reg add 'HKCU\Environment' /v $Name /t REG_EXPAND_SZ /d "$Temp" /f >/dev/null 2>&1
  done
  local Profile
  for Profile in "$WINEPREFIX"/drive_c/users/*/; do
    [ "$(basename "$Profile")" = Public ] || mkdir -p "$Profile/AppData/Local/Temp"
  done
  wineserver -w
}

XVFB_PID=
start_display() {
  local n
  for n in $(seq 77 99); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 100); do
      [ -e /tmp/.X11-unix/X$n ] && return 0
      kill -0 $XVFB_PID 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  exit 1
}

stop_display() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
}
