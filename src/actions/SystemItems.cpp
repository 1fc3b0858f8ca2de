// The recycle bin, the CD-ROM tray and starting with Windows.
#include "actions/ActionUnit.h"

#include "win/Application.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/SystemLibrary.h"

namespace {

const std::string RunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string RunValue = "Vellumix";

DECLARE_EXCEPTION(EAutorunError, Exception);

bool IsNtFamily() { return OsVersion().dwPlatformId == VER_PLATFORM_WIN32_NT; }

// Restores the process error mode when the disc test ends, however it ends.
class TErrorModeGuard {
public:
  explicit TErrorModeGuard(UINT Mode) : FPrevious(SetErrorMode(Mode)) {}
  ~TErrorModeGuard() { SetErrorMode(FPrevious); }
  TErrorModeGuard(const TErrorModeGuard&) = delete;
  TErrorModeGuard& operator=(const TErrorModeGuard&) = delete;

private:
  UINT FPrevious;
};

// After a failed deletion: false only when the value is known to be gone.
bool RunValueMayRemain() {
  TRegKey Key;
  LONG Rc = RegOpenKeyExA(HKEY_CURRENT_USER, RunKey.c_str(), 0, KEY_QUERY_VALUE, Key.put());
  if (Rc == ERROR_FILE_NOT_FOUND) return false;
  return Rc != ERROR_SUCCESS ||
         RegQueryValueExA(Key.get(), RunValue.c_str(), nullptr, nullptr, nullptr, nullptr) !=
             ERROR_FILE_NOT_FOUND;
}

// winmm is not among the DLLs Windows always takes from the system folder, so
// it is not imported: it is loaded from there when the tray is first opened,
// and kept for the program's life.
FARPROC WinmmProc(const char* Name) noexcept {
  static const HMODULE Winmm = LoadSystemLibrary(L"winmm.dll");
  return Winmm ? GetProcAddress(Winmm, Name) : nullptr;
}

template <class TFunction>
TFunction WinmmFunction(const char* Name) noexcept {
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(WinmmProc(Name)));
}

MCIERROR WINAPI SendStringOnDemand(LPCSTR Command, LPSTR Return, UINT ReturnSize, HWND Notify) {
  auto Send = WinmmFunction<decltype(&::mciSendStringA)>("mciSendStringA");
  return Send ? Send(Command, Return, ReturnSize, Notify) : MCIERR_CANNOT_LOAD_DRIVER;
}

// Without winmm there is no error text: the buffer is left as it is.
BOOL WINAPI GetErrorStringOnDemand(MCIERROR Error, LPSTR Text, UINT TextSize) {
  auto Get = WinmmFunction<decltype(&::mciGetErrorStringA)>("mciGetErrorStringA");
  return Get ? Get(Error, Text, TextSize) : FALSE;
}

}  // namespace

TMciApi SystemMci() noexcept { return TMciApi{&SendStringOnDemand, &GetErrorStringOnDemand}; }

void TAction::ClearRecycleBin(bool Enabled) {
  if (!Enabled) return;
  TModule Shell(LoadSystemLibrary(L"shell32.dll"));
  if (!Shell) {
    ShowMessageBox("Failed to load Shell32.dll.", MB_OK | MB_ICONERROR);
    return;
  }
  using TEmptyRecycleBin = HRESULT(WINAPI*)(HWND, const void* RootPath, DWORD Flags);
  // The NT family has the wide entry; the ANSI one is all that older systems have.
  auto Empty = reinterpret_cast<TEmptyRecycleBin>(reinterpret_cast<void*>(
      GetProcAddress(Shell.get(), IsNtFamily() ? "SHEmptyRecycleBinW" : "SHEmptyRecycleBinA")));
  constexpr DWORD Quietly = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
  static const wchar_t AllBins[] = L"";  // read as "" by the ANSI entry too
  if (Empty && Empty(nullptr, AllBins, Quietly) == S_OK)
    AddMessage("Succeeded in empty recycle bin.", "");
  else
    AddFailure("Empty Recycle Bin failed.");
}

bool AnyCdromWithDisc(std::string_view DriveLetters) {
  for (char Letter : DriveLetters) {
    const char Root[] = {Letter, ':', '\\', '\0'};
    if (GetDriveTypeA(Root) != DRIVE_CDROM) continue;
    ULARGE_INTEGER Available, Total, Free;
    BOOL HasDisc;
    {
      // An empty drive must fail quietly, not ask the user to insert a disc.
      TErrorModeGuard Quiet(SEM_FAILCRITICALERRORS);
      HasDisc = GetDiskFreeSpaceExA(Root, &Available, &Total, &Free);
    }
    if (HasDisc) return true;
  }
  return false;
}

bool TAction::HasCdromWithDisc() { return AnyCdromWithDisc("ABCDEFGHIJKLMNOPQRSTUVWXYZ"); }

void TAction::EjectCdromTray(bool Enabled) {
  if (!Enabled || !HasCdromWithDisc()) return;
  // MCI's default CD audio device; the drive found above only tells that a disc
  // would be left behind.
  MCIERROR Result = Mci.SendString("Set cdaudio door open", nullptr, 0, nullptr);
  if (Result == 0) {
    AddMessage("Succeeded in Eject CD-ROM", "");
    return;
  }
  char Text[129] = {};
  Mci.GetErrorString(Result, Text, sizeof Text);
  Text[sizeof Text - 1] = '\0';
  AddMessage("Eject CD-CDROM failed.", Text);
}

std::string AutorunCommand(const std::string& ProgramPath, bool RunAtStart) {
  // Unquoted, "C:\Program Files\x.exe" would let Windows start C:\Program.exe.
  std::string Command =
      ProgramPath.find(' ') != std::string::npos ? "\"" + ProgramPath + "\"" : ProgramPath;
  if (RunAtStart) Command += " run";
  return Command;
}

bool SetAutorun(bool Enable, bool RunAtStart) {
  TRegistry Reg(HKEY_CURRENT_USER);
  Reg.OpenKey(RunKey, true);  // a failed open shows up as a failed write below
  try {
    if (Enable) {
      Reg.WriteString(RunValue, AutorunCommand(ExePath(), RunAtStart));
    } else if (!Reg.DeleteValue(RunValue) && RunValueMayRemain()) {
      // Absent is fine; still there means Windows would go on starting us.
      throw EAutorunError("Run value not removed");
    }
  } catch (...) {
    ShowMessageBox("Set Autorun failed.");
  }
  return true;
}
