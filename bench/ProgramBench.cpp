// The path a user takes, timed from outside: vellumix.exe started as its own
// process with its temporary folder pointed at a tree of ours, its main window
// brought forward, a real key sent to it, and the clock stopped when its log
// pane holds the line that says the work is done. On identical trees in the
// same prefix, each measurement on a tree of its own:
//   - the floor: a plain one-thread FindFirstFileExW / DeleteFileW /
//     RemoveDirectoryW loop,
//   - the system's own "cmd /c rd /s /q",
//   - a bare FindFirstFileExW walk that deletes nothing (what a preview costs
//     at least),
//   - the program: Ctrl+Shift+T ("Temporary Files"), F10 ("Shred") or F9
//     ("Preview", done when a window captioned "Preview" shows its totals).
// While the program works a second thread sends WM_NULL to the main window
// every 10 ms and keeps the slowest answer; the program's memory counters are
// read before the key and after the work. Every figure is the median of R runs.
//
// The program's settings (HKCU\Software\Vellumix) are saved, replaced by ones
// with only the temporary-files switch on, and put back at the end; a run that
// was interrupted is put right by the next one.
//
// Run by hand under Wine, on a display:
//   /usr/lib/wine/wine64 build/bench/program_bench.exe [vellumix.exe] [options] > out.txt
// Options:
//   --folders N --files M   the tree: N folders of M files (100 x 200)
//   --repeat R              runs per measurement (3); the median is shown
//   --shred                 send F10 (Shred) instead of Ctrl+Shift+T
//   --preview               send F9 and wait for the Preview window's totals
//   --removed               done at a log line "Removed ..." instead of
//                           "Succeeded in delete temporary files."
//   --post                  post WM_KEYDOWN/WM_KEYUP to the window instead of SendInput;
//                           the window's key state stays as it is, so Ctrl+Shift+T does
//                           not arrive that way (F9 and F10 do)
//   --keep-recent           the age rule on (it keeps nothing: the tree is 30 days old)
//   --then-shred            with --preview: then Enter (its Shred), until the "Removed" line
//   --scratch DIR           where the trees go (program_bench.scratch in the user's temporary folder)
//   --timeout S             longest wait for the program to finish (600)

#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include "BenchTree.h"

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t SettingsKey[] = L"Software\\Vellumix";
// Where the settings found before the run wait to be put back.
constexpr wchar_t SavedKey[] = L"Software\\VellumixProgramBench";
constexpr char SucceededLine[] = "Succeeded in delete temporary files.";
constexpr char RemovedStart[] = "Removed ";
constexpr double Day = 24 * 60 * 60;

enum class TCommand { TempFiles, Shred, Preview };
enum class TDoneLine { Succeeded, Removed };

struct TConfig {
  std::wstring Exe;
  std::wstring Scratch;
  int Folders = 100;
  int Files = 200;
  int Repeat = 3;
  TCommand Command = TCommand::TempFiles;
  TDoneLine Line = TDoneLine::Succeeded;
  bool Post = false;
  bool KeepRecent = false;
  bool ThenShred = false;  // with the preview: then its Shred button, until the summary line
  double Timeout = 600;
};

// ---- small helpers

std::wstring ModuleFolder() {
  std::wstring Path(32768, L'\0');
  Path.resize(GetModuleFileNameW(nullptr, Path.data(), static_cast<DWORD>(Path.size())));
  return Path.substr(0, Path.find_last_of(L'\\'));
}

bool Exists(const std::wstring& Path) { return GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The wide functions with "\\?\": the trees are ours and absolute.
std::wstring Long(const std::wstring& Path) { return L"\\\\?\\" + Path; }

bool IsDots(const wchar_t* Name) {
  return Name[0] == L'.' && (Name[1] == 0 || (Name[1] == L'.' && Name[2] == 0));
}

double Median(std::vector<double> Values) {
  if (Values.empty()) return 0;
  std::sort(Values.begin(), Values.end());
  const std::size_t Mid = Values.size() / 2;
  return Values.size() % 2 ? Values[Mid] : (Values[Mid - 1] + Values[Mid]) / 2;
}

// Polls Condition every Interval milliseconds until it holds or Seconds pass.
bool WaitUntil(const std::function<bool()>& Condition, double Seconds, DWORD Interval = 10) {
  const double Deadline = Now() + Seconds;
  while (!Condition()) {
    if (Now() > Deadline) return false;
    Sleep(Interval);
  }
  return true;
}

FILETIME DaysAgo(int Days) {
  FILETIME Time;
  GetSystemTimeAsFileTime(&Time);
  ULARGE_INTEGER Value{};
  Value.LowPart = Time.dwLowDateTime;
  Value.HighPart = Time.dwHighDateTime;
  Value.QuadPart -= static_cast<ULONGLONG>(Days * Day) * 10'000'000;
  return {Value.LowPart, Value.HighPart};
}

// ---- the trees

// Root\folderN\fileM.tmp: Folders folders of Files files of a few hundred
// bytes each, every entry last written and last used 30 days ago, so that the
// program's age rule keeps none of them. The folders get their times after
// their files, as creating a file touches its folder.
void MakeTree(const std::wstring& Root, int Folders, int Files) {
  static const std::string Content = [] {
    std::string Text;
    while (Text.size() < 300) Text += "A small temporary file of the program benchmark.\r\n";
    return Text;
  }();
  const FILETIME Old = DaysAgo(30);
  CreateDirectoryW(Long(Root).c_str(), nullptr);
  for (int F = 0; F < Folders; ++F) {
    const std::wstring Folder = Long(Root) + L"\\folder" + std::to_wstring(F);
    CreateDirectoryW(Folder.c_str(), nullptr);
    for (int I = 0; I < Files; ++I) {
      const std::wstring Path = Folder + L"\\file" + std::to_wstring(I) + L".tmp";
      HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (File == INVALID_HANDLE_VALUE) continue;
      DWORD Written;
      WriteFile(File, Content.data(), static_cast<DWORD>(Content.size()), &Written, nullptr);
      SetFileTime(File, &Old, &Old, &Old);
      CloseHandle(File);
    }
    HANDLE Handle = CreateFileW(Folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (Handle != INVALID_HANDLE_VALUE) {
      SetFileTime(Handle, &Old, &Old, &Old);
      CloseHandle(Handle);
    }
  }
}

// The entries below Root (Root itself not counted).
std::uint64_t CountEntries(const std::wstring& Root) {
  std::uint64_t Count = 0;
  std::vector<std::wstring> Pending{Long(Root)};
  while (!Pending.empty()) {
    const std::wstring Folder = std::move(Pending.back());
    Pending.pop_back();
    WIN32_FIND_DATAW Entry;
    HANDLE Search = FindFirstFileExW((Folder + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (Search == INVALID_HANDLE_VALUE) continue;
    do {
      if (IsDots(Entry.cFileName)) continue;
      ++Count;
      if ((Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        Pending.push_back(Folder + L"\\" + Entry.cFileName);
    } while (FindNextFileW(Search, &Entry));
    FindClose(Search);
  }
  return Count;
}

// The floor: one thread that finds and deletes, Folder itself last.
void PlainDelete(const std::wstring& Folder) {
  WIN32_FIND_DATAW Entry;
  HANDLE Search = FindFirstFileExW((Folder + L"\\*").c_str(), FindExInfoBasic, &Entry,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (Search != INVALID_HANDLE_VALUE) {
    do {
      if (IsDots(Entry.cFileName)) continue;
      const std::wstring Path = Folder + L"\\" + Entry.cFileName;
      if ((Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(Entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        PlainDelete(Path);
      else if (Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(Path.c_str());  // a link: the link goes, never what it points at
      else
        DeleteFileW(Path.c_str());
    } while (FindNextFileW(Search, &Entry));
    FindClose(Search);
  }
  RemoveDirectoryW(Folder.c_str());
}

// ---- the references

double TimePlainDelete(const std::wstring& Root) {
  const double T0 = Now();
  PlainDelete(Long(Root));
  return Now() - T0;
}

double TimeRd(const std::wstring& Root) {
  std::wstring Line = L"cmd /c rd /s /q \"" + Root + L"\"";
  STARTUPINFOW Startup{sizeof Startup};
  PROCESS_INFORMATION Info{};
  const double T0 = Now();
  if (!CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &Startup, &Info))
    return -1;
  WaitForSingleObject(Info.hProcess, INFINITE);
  const double Seconds = Now() - T0;
  CloseHandle(Info.hThread);
  CloseHandle(Info.hProcess);
  return Seconds;
}

double TimeWalk(const std::wstring& Root, std::uint64_t& Found) {
  const double T0 = Now();
  Found = CountEntries(Root);
  return Now() - T0;
}

// ---- the program's settings

// Saves what HKCU\Software\Vellumix holds, writes settings with which the
// program starts without its first-start greeting and with only the
// temporary-files switch on, and puts the saved settings back when destroyed.
class TSettings {
public:
  explicit TSettings(bool KeepRecent) {
    PutBack();  // left over from a run that did not end
    HKEY Saved;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SavedKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Saved,
                        nullptr) != ERROR_SUCCESS)
      throw std::runtime_error("cannot create HKCU\\Software\\VellumixProgramBench");
    HKEY Current;
    DWORD Existed = RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &Current) == ERROR_SUCCESS;
    if (Existed) {
      HKEY Copy;
      RegCreateKeyExW(Saved, L"Settings", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Copy, nullptr);
      const LONG Copied = RegCopyTreeW(Current, nullptr, Copy);
      RegCloseKey(Copy);
      RegCloseKey(Current);
      if (Copied != ERROR_SUCCESS) {
        RegCloseKey(Saved);
        RegDeleteTreeW(HKEY_CURRENT_USER, SavedKey);
        throw std::runtime_error("cannot save HKCU\\Software\\Vellumix");
      }
    }
    // Written last: only a complete copy says there is something to put back.
    RegSetValueExW(Saved, L"Existed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Existed), sizeof Existed);
    RegCloseKey(Saved);

    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    TRegistry Reg;
    if (!Reg.OpenKey("Software\\Vellumix", true)) throw std::runtime_error("cannot write the settings");
    Reg.WriteString("FirstTime", "1");
    // All of them: the program stops reading at the first one missing.
    for (const char* Name :
         {"DelInetTemp", "DelCookie", "DelHistory", "DelLocationBar", "DelInternetCache",
          "DelGoogleHistory", "ClearRecentDoc", "ClearDelphiRecentDoc", "ClearVbRecentDoc",
          "ClearVcRecentDoc", "ClearRlpRecentDoc", "ClearWmpRecentDoc", "DelTempFiles",
          "KeepTempFiles", "EmptyRecycleBin", "Autorun", "MinRun", "ShowTrayIconOnly",
          "GradientMenu", "EjectCdrom"})
      Reg.WriteBool(Name, std::string(Name) == "DelTempFiles" ||
                              (KeepRecent && std::string(Name) == "KeepTempFiles"));
    Reg.WriteBool("ConfirmShredAll", true);
    if (Reg.OpenKey("Software\\Vellumix\\TOptionDlg", true)) Reg.WriteString("CBxSchedule_Checked", "False");
  }
  ~TSettings() { PutBack(); }
  TSettings(const TSettings&) = delete;
  TSettings& operator=(const TSettings&) = delete;

private:
  static void PutBack() {
    HKEY Saved;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SavedKey, 0, KEY_READ, &Saved) != ERROR_SUCCESS) return;
    DWORD Existed = 0, Size = sizeof Existed;
    if (RegQueryValueExW(Saved, L"Existed", nullptr, nullptr, reinterpret_cast<BYTE*>(&Existed), &Size) !=
        ERROR_SUCCESS) {
      // The copy was never finished: the settings were not touched yet.
      RegCloseKey(Saved);
      RegDeleteTreeW(HKEY_CURRENT_USER, SavedKey);
      return;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    HKEY Copy, Restored;
    if (Existed && RegOpenKeyExW(Saved, L"Settings", 0, KEY_READ, &Copy) == ERROR_SUCCESS) {
      if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &Restored, nullptr) == ERROR_SUCCESS) {
        RegCopyTreeW(Copy, nullptr, Restored);
        RegCloseKey(Restored);
      }
      RegCloseKey(Copy);
    }
    RegCloseKey(Saved);
    RegDeleteTreeW(HKEY_CURRENT_USER, SavedKey);
  }
};

// ---- the program's windows

struct TTarget {
  DWORD Pid = 0;
  HWND Main = nullptr;
  HWND Log = nullptr;  // the log pane, the main window's EDIT child
};

// When the program has finished what the key asked for.
using TDone = std::function<bool(const TTarget&)>;

// A window's text by WM_GETTEXT itself, which reaches another process's
// controls; UTF-8. Empty when the window does not answer within 5 s.
std::string TextOf(HWND Window) {
  DWORD_PTR Len = 0;
  if (!SendMessageTimeoutW(Window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Len)) return {};
  std::wstring Text(Len + 1, L'\0');
  DWORD_PTR Copied = 0;
  SendMessageTimeoutW(Window, WM_GETTEXT, Len + 1, reinterpret_cast<LPARAM>(Text.data()),
                      SMTO_ABORTIFHUNG, 5000, &Copied);
  Text.resize(std::min<DWORD_PTR>(Copied, Len));
  return Narrow(Text);
}

// The visible top-level windows of a process with this caption.
std::vector<HWND> WindowsOf(DWORD Pid, const wchar_t* Caption) {
  struct TSearch {
    DWORD Pid;
    const wchar_t* Caption;
    std::vector<HWND> Found;
  } Search{Pid, Caption, {}};
  EnumWindows(
      [](HWND Window, LPARAM Param) -> BOOL {
        auto& S = *reinterpret_cast<TSearch*>(Param);
        DWORD Pid = 0;
        GetWindowThreadProcessId(Window, &Pid);
        if (Pid != S.Pid || !IsWindowVisible(Window)) return TRUE;
        wchar_t Text[256] = {};
        GetWindowTextW(Window, Text, 256);  // a top-level caption: no message needed
        if (!S.Caption || !std::wcscmp(Text, S.Caption)) S.Found.push_back(Window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

bool Settled(HWND Window) {
  DWORD_PTR Result;
  return SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &Result) != 0;
}

std::vector<std::string> LinesOf(const std::string& Text) {
  std::vector<std::string> Lines;
  std::size_t Start = 0;
  while (Start <= Text.size()) {
    std::size_t End = Text.find("\r\n", Start);
    if (End == std::string::npos) End = Text.size();
    Lines.push_back(Text.substr(Start, End - Start));
    Start = End + 2;
  }
  return Lines;
}

// A log line is "<time> <sentence> <detail> ", the time as the user's locale
// writes it. Its blanks are counted once, on a time stamp of our own.
std::string SentenceOf(const std::string& Line) {
  static const int StampBlanks = [] {
    wchar_t Stamp[80] = {};
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, Stamp, 80);
    return static_cast<int>(std::count(Stamp, Stamp + std::wcslen(Stamp), L' '));
  }();
  std::size_t Pos = 0;
  for (int I = 0; I <= StampBlanks; ++I) {
    Pos = Line.find(' ', Pos);
    if (Pos == std::string::npos) return {};
    ++Pos;
  }
  return Line.substr(Pos);
}

// Done once a line of the log pane passes Test. The pane is read again only
// when its length has changed, so a poll costs one short sent message: each
// run starts the program afresh, so its log only grows while we watch.
TDone LogLine(std::function<bool(const std::string&)> Test) {
  return [Test = std::move(Test), Length = DWORD_PTR(-1)](const TTarget& T) mutable {
    DWORD_PTR Current = 0;
    if (!SendMessageTimeoutW(T.Log, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &Current) ||
        Current == Length)
      return false;
    Length = Current;
    for (const std::string& Line : LinesOf(TextOf(T.Log)))
      if (Test(Line)) return true;
    return false;
  };
}

// The preview has been computed when its Shred button (IDOK) is enabled.
bool PreviewTotalsShown(HWND Preview) {
  return IsWindowVisible(Preview) && IsWindowEnabled(GetDlgItem(Preview, IDOK)) && Settled(Preview);
}

TDone PreviewDone() {
  return [](const TTarget& T) {
    for (HWND Preview : WindowsOf(T.Pid, L"Preview"))
      if (PreviewTotalsShown(Preview)) return true;
    return false;
  };
}

TDone DoneCondition(const TConfig& Config) {
  if (Config.Command == TCommand::Preview) return PreviewDone();
  if (Config.Line == TDoneLine::Removed)
    return LogLine([](const std::string& Line) { return SentenceOf(Line).rfind(RemovedStart, 0) == 0; });
  return LogLine([](const std::string& Line) { return Line.find(SucceededLine) != std::string::npos; });
}

// ---- keys

std::vector<WORD> KeysOf(TCommand Command) {
  switch (Command) {
    case TCommand::TempFiles: return {VK_CONTROL, VK_SHIFT, 'T'};
    case TCommand::Shred: return {VK_F10};
    case TCommand::Preview: return {VK_F9};
  }
  return {};
}

const char* KeyName(TCommand Command) {
  switch (Command) {
    case TCommand::TempFiles: return "Ctrl+Shift+T";
    case TCommand::Shred: return "F10";
    case TCommand::Preview: return "F9";
  }
  return "";
}

// Pressed in order, released in reverse, through the system's input queue: the
// foreground window's thread gets them as typed keys, with the key state the
// accelerators look at.
bool SendKeys(const std::vector<WORD>& Keys) {
  std::vector<INPUT> Inputs;
  auto Add = [&](WORD Key, DWORD Flags) {
    INPUT In{};
    In.type = INPUT_KEYBOARD;
    In.ki.wVk = Key;
    In.ki.wScan = static_cast<WORD>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC));
    In.ki.dwFlags = Flags;
    Inputs.push_back(In);
  };
  for (WORD Key : Keys) Add(Key, 0);
  for (auto It = Keys.rbegin(); It != Keys.rend(); ++It) Add(*It, KEYEVENTF_KEYUP);
  return SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT)) == Inputs.size();
}

// Straight into the window's queue. The receiver's key state does not change,
// so this serves keys without Ctrl or Shift only.
bool PostKeys(HWND Window, const std::vector<WORD>& Keys) {
  bool Posted = true;
  for (WORD Key : Keys) {
    const LPARAM Scan = static_cast<LPARAM>(MapVirtualKeyW(Key, MAPVK_VK_TO_VSC)) << 16;
    Posted &= PostMessageW(Window, WM_KEYDOWN, Key, 1 | Scan) != 0;
  }
  for (auto It = Keys.rbegin(); It != Keys.rend(); ++It) {
    const LPARAM Scan = static_cast<LPARAM>(MapVirtualKeyW(*It, MAPVK_VK_TO_VSC)) << 16;
    Posted &= PostMessageW(Window, WM_KEYUP, *It, 1 | Scan | (1LL << 30) | (1LL << 31)) != 0;
  }
  return Posted;
}

// ---- answers while the program works

// Sends WM_NULL to Window every 10 ms from its own thread until stopped and
// keeps the slowest answer. A message unanswered for 10 s counts as 10 s.
class TPinger {
public:
  explicit TPinger(HWND Window)
      : FStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)), FThread([this, Window] { Run(Window); }) {}
  ~TPinger() { Stop(); }
  TPinger(const TPinger&) = delete;
  TPinger& operator=(const TPinger&) = delete;

  void Stop() {
    SetEvent(FStop);
    if (FThread.joinable()) FThread.join();
    if (FStop) CloseHandle(FStop);
    FStop = nullptr;
  }
  double WorstMs() const { return FWorst; }
  int Count() const { return FCount; }
  int Late() const { return FLate; }

private:
  void Run(HWND Window) {
    do {
      DWORD_PTR Result;
      const double T0 = Now();
      SendMessageTimeoutW(Window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &Result);
      const double Ms = (Now() - T0) * 1000;
      FWorst = std::max(FWorst.load(), Ms);
      ++FCount;
      if (Ms > 100) ++FLate;
    } while (WaitForSingleObject(FStop, 10) == WAIT_TIMEOUT);
  }

  HANDLE FStop;
  std::atomic<double> FWorst{0};
  std::atomic<int> FCount{0}, FLate{0};
  std::thread FThread;
};

// ---- memory

struct TMemory {
  double WorkingSet = 0, PeakWorkingSet = 0, Private = 0, PeakCommit = 0;  // bytes
};

TMemory MemoryOf(DWORD Pid) {
  TMemory M;
  HANDLE Process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Pid);
  if (!Process) return M;
  PROCESS_MEMORY_COUNTERS_EX C{};
  C.cb = sizeof C;
  if (GetProcessMemoryInfo(Process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&C), sizeof C)) {
    M.WorkingSet = static_cast<double>(C.WorkingSetSize);
    M.PeakWorkingSet = static_cast<double>(C.PeakWorkingSetSize);
    // Wine leaves PrivateUsage at zero for another process; the commit charge
    // it fills in is the same figure there.
    M.Private = static_cast<double>(C.PrivateUsage ? C.PrivateUsage : C.PagefileUsage);
    M.PeakCommit = static_cast<double>(C.PeakPagefileUsage);
  }
  CloseHandle(Process);
  return M;
}

// ---- one run of the program

struct TProgramRun {
  bool Done = false;
  double Seconds = 0;
  double CleanSeconds = 0;  // the preview's Shred, when asked for
  double WorstMs = 0;
  int Pings = 0, Late = 0;
  TMemory Before, After;
  std::uint64_t Left = 0;
  std::string Problem;  // why there is no figure
  std::string LogTail;  // the log's first lines (the newest), when there is a problem
};

// This process's environment with TMP and TEMP set to Temp, sorted by name
// as Windows expects of a block it is handed.
std::wstring EnvironmentWith(const std::wstring& Temp) {
  std::vector<std::wstring> Vars;
  wchar_t* Block = GetEnvironmentStringsW();
  for (const wchar_t* Var = Block; *Var; Var += std::wcslen(Var) + 1) {
    const std::wstring Entry = Var;
    const std::wstring Name = Entry.substr(0, Entry.find(L'=', 1));
    if (!_wcsicmp(Name.c_str(), L"TMP") || !_wcsicmp(Name.c_str(), L"TEMP")) continue;
    Vars.push_back(Entry);
  }
  FreeEnvironmentStringsW(Block);
  Vars.push_back(L"TMP=" + Temp);
  Vars.push_back(L"TEMP=" + Temp);
  std::sort(Vars.begin(), Vars.end(), [](const std::wstring& A, const std::wstring& B) {
    return CompareStringOrdinal(A.c_str(), static_cast<int>(A.find(L'=', 1)), B.c_str(),
                                static_cast<int>(B.find(L'=', 1)), TRUE) == CSTR_LESS_THAN;
  });
  std::wstring Result;
  for (const std::wstring& Var : Vars) Result.append(Var).push_back(L'\0');
  Result.push_back(L'\0');
  return Result;
}

// Asks the program to close: its other windows (a dialog, a message box)
// first, then the main window; ends it when it does not go within 30 s.
bool CloseProgram(HANDLE Process, DWORD Pid, HWND Main) {
  for (HWND Window : WindowsOf(Pid, nullptr))
    if (Window != Main) PostMessageW(Window, WM_CLOSE, 0, 0);
  PostMessageW(Main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(Process, 30000) == WAIT_OBJECT_0) return true;
  TerminateProcess(Process, 1);
  WaitForSingleObject(Process, 10000);
  return false;
}

TProgramRun RunProgram(const TConfig& Config, const std::wstring& Temp) {
  TProgramRun Run;
  std::wstring Environment = EnvironmentWith(Temp);
  std::wstring Line = L"\"" + Config.Exe + L"\"";
  const std::wstring Folder = Config.Exe.substr(0, Config.Exe.find_last_of(L'\\'));
  STARTUPINFOW Startup{sizeof Startup};
  PROCESS_INFORMATION Info{};
  if (!CreateProcessW(Config.Exe.c_str(), Line.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, Environment.data(), Folder.c_str(), &Startup, &Info)) {
    Run.Problem = "cannot start the program (error " + std::to_string(GetLastError()) + ")";
    return Run;
  }
  CloseHandle(Info.hThread);
  TTarget T{Info.dwProcessId, nullptr, nullptr};

  // The main window: visible, captioned "Vellumix", with the log pane.
  const bool Found = WaitUntil(
      [&] {
        for (HWND Window : WindowsOf(T.Pid, L"Vellumix"))
          if (HWND Log = FindWindowExW(Window, nullptr, L"Edit", nullptr)) {
            T.Main = Window;
            T.Log = Log;
            return true;
          }
        return WaitForSingleObject(Info.hProcess, 0) == WAIT_OBJECT_0;
      },
      20);
  if (!Found || !T.Main) {
    Run.Problem = Found ? "the program ended before its window showed" : "no main window within 20 s";
    if (!Found) TerminateProcess(Info.hProcess, 1);
    CloseHandle(Info.hProcess);
    return Run;
  }
  if (!Settled(T.Main) || (SetForegroundWindow(T.Main),
                           !WaitUntil([&] { return GetForegroundWindow() == T.Main; }, 10))) {
    Run.Problem = "the main window did not come to the foreground";
    CloseProgram(Info.hProcess, T.Pid, T.Main);
    CloseHandle(Info.hProcess);
    return Run;
  }

  TDone Done = DoneCondition(Config);
  const std::vector<WORD> Keys = KeysOf(Config.Command);
  Run.Before = MemoryOf(T.Pid);
  {
    TPinger Pinger(T.Main);
    const double T0 = Now();
    const bool Sent = Config.Post ? PostKeys(T.Main, Keys) : SendKeys(Keys);
    if (!Sent) Run.Problem = "the key could not be sent (error " + std::to_string(GetLastError()) + ")";
    else Run.Done = WaitUntil([&] { return Done(T); }, Config.Timeout);
    Run.Seconds = Now() - T0;
    if (Run.Done && Config.ThenShred) {
      // Enter presses the preview's default button, Shred.
      const double T1 = Now();
      Run.Done = SendKeys({VK_RETURN}) &&
                 WaitUntil([&] { return LogLine([](const std::string& Line) {
                                          return SentenceOf(Line).rfind(RemovedStart, 0) == 0;
                                        })(T); },
                           Config.Timeout);
      Run.CleanSeconds = Now() - T1;
    }
    Pinger.Stop();
    Run.WorstMs = Pinger.WorstMs();
    Run.Pings = Pinger.Count();
    Run.Late = Pinger.Late();
  }
  Run.After = MemoryOf(T.Pid);
  if (!Run.Done && Run.Problem.empty()) {
    Run.Problem = "not done within " + std::to_string(static_cast<int>(Config.Timeout)) + " s";
    const std::vector<std::string> Lines = LinesOf(TextOf(T.Log));
    for (std::size_t I = 0; I < Lines.size() && I < 5; ++I) Run.LogTail += "    log: " + Lines[I] + "\n";
  }
  Run.Left = CountEntries(Temp);
  if (!CloseProgram(Info.hProcess, T.Pid, T.Main) && Run.Problem.empty())
    Run.Problem = "the program did not close within 30 s and was ended";
  CloseHandle(Info.hProcess);
  return Run;
}

// ---- the command line

bool ParseArguments(TConfig& Config) {
  int Count = 0;
  wchar_t** Args = CommandLineToArgvW(GetCommandLineW(), &Count);
  bool Valid = true;
  for (int I = 1; I < Count && Valid; ++I) {
    const std::wstring Arg = Args[I];
    auto Next = [&]() -> std::wstring {
      if (I + 1 >= Count) {
        Valid = false;
        return {};
      }
      return Args[++I];
    };
    if (Arg == L"--folders") Config.Folders = _wtoi(Next().c_str());
    else if (Arg == L"--files") Config.Files = _wtoi(Next().c_str());
    else if (Arg == L"--repeat") Config.Repeat = _wtoi(Next().c_str());
    else if (Arg == L"--timeout") Config.Timeout = _wtof(Next().c_str());
    else if (Arg == L"--scratch") Config.Scratch = Next();
    else if (Arg == L"--shred") Config.Command = TCommand::Shred;
    else if (Arg == L"--preview") Config.Command = TCommand::Preview;
    else if (Arg == L"--removed") Config.Line = TDoneLine::Removed;
    else if (Arg == L"--then-shred") Config.ThenShred = true;
    else if (Arg == L"--post") Config.Post = true;
    else if (Arg == L"--keep-recent") Config.KeepRecent = true;
    else if (!Arg.empty() && Arg[0] != L'-') Config.Exe = Arg;
    else Valid = false;
  }
  LocalFree(Args);
  if (Config.Folders < 1 || Config.Files < 0 || Config.Repeat < 1 || Config.Timeout <= 0) Valid = false;
  return Valid;
}

std::wstring FullPathOf(const std::wstring& Path) {
  wchar_t Full[32768];
  const DWORD Len = GetFullPathNameW(Path.c_str(), 32768, Full, nullptr);
  return Len && Len < 32768 ? std::wstring(Full, Len) : Path;
}

// ---- the report

std::string RunList(const std::vector<double>& Values) {
  std::string Text;
  char Buffer[32];
  for (double V : Values) {
    std::snprintf(Buffer, sizeof Buffer, "%s%.3f", Text.empty() ? "" : " ", V);
    Text += Buffer;
  }
  return "(" + Text + ")";
}

// One line: the median, the runs, the ratios, and what the tree held afterwards.
void Report(const char* What, const std::vector<double>& Seconds, double Entries, double Floor,
            const char* CountName, std::uint64_t Counted, double Walk = 0) {
  const double S = Median(Seconds);
  std::printf("%-32s %8.3f s %-24s %7.1f us/entry", What, S, RunList(Seconds).c_str(), S / Entries * 1e6);
  if (Floor > 0) std::printf("  %6.2fx the floor", S / Floor);
  if (Walk > 0) std::printf("  %6.2fx the bare walk", S / Walk);
  std::printf("  %s %llu\n", CountName, static_cast<unsigned long long>(Counted));
  std::fflush(stdout);
}

}  // namespace

int main() {
  TConfig Config;
  if (!ParseArguments(Config)) {
    std::printf(
        "usage: program_bench.exe [vellumix.exe] [options]\n"
        "  --folders N --files M   the tree: N folders of M files (100 x 200)\n"
        "  --repeat R              runs per measurement (3); the median is shown\n"
        "  --shred                 send F10 (Shred) instead of Ctrl+Shift+T\n"
        "  --preview               send F9 and wait for the Preview window's totals\n"
        "  --removed               done at a log line \"Removed ...\"\n"
        "  --post                  post WM_KEYDOWN/WM_KEYUP instead of SendInput (no Ctrl/Shift)\n"
        "  --keep-recent           the age rule on (it keeps nothing: the tree is 30 days old)\n"
        "  --then-shred            with --preview: then Enter (its Shred), until the \"Removed\" line\n"
        "  --scratch DIR           where the trees go (program_bench.scratch in the user's temporary folder)\n"
        "  --timeout S             longest wait for the program to finish (600)\n");
    return 2;
  }
  const std::wstring Here = ModuleFolder();
  if (Config.Exe.empty()) {
    // Beside this program, or in the build folder above bench\.
    Config.Exe = Here + L"\\vellumix.exe";
    if (!Exists(Config.Exe)) Config.Exe = Here.substr(0, Here.find_last_of(L'\\')) + L"\\vellumix.exe";
  }
  Config.Exe = FullPathOf(Config.Exe);
  if (!Exists(Config.Exe)) {
    std::printf("no program at %s\n", Narrow(Config.Exe).c_str());
    return 2;
  }
  // The program keeps one copy running; a second start would only wake the first.
  if (HANDLE Other = OpenMutexW(SYNCHRONIZE, FALSE, L"Vellumix")) {
    CloseHandle(Other);
    std::printf("Vellumix is running in this prefix: close it first\n");
    return 2;
  }
  // In the user's own temporary folder: the program sweeps no other.
  Config.Scratch =
      FullPathOf(Config.Scratch.empty() ? Widen(TempFolder()) + L"\\program_bench.scratch" : Config.Scratch);
  // Ours alone: whatever a previous run left there goes.
  if (Exists(Config.Scratch)) PlainDelete(Long(Config.Scratch));
  if (!CreateDirectoryW(Long(Config.Scratch).c_str(), nullptr)) {
    std::printf("cannot create %s\n", Narrow(Config.Scratch).c_str());
    return 2;
  }

  const double Entries = Config.Folders * (Config.Files + 1.0);
  std::printf("tree: %d folders x %d files = %.0f entries, 300 bytes a file, 30 days old; %d runs each\n",
              Config.Folders, Config.Files, Entries, Config.Repeat);
  std::printf("trees in %s\n", Narrow(Config.Scratch).c_str());
  std::printf("program %s: %s by %s, done at %s\n", Narrow(Config.Exe).c_str(), KeyName(Config.Command),
              Config.Post ? "PostMessage" : "SendInput",
              Config.Command == TCommand::Preview ? "the Preview window's totals"
              : Config.Line == TDoneLine::Removed ? "a log line \"Removed ...\""
                                                  : "the log line \"Succeeded in delete temporary files.\"");
  std::fflush(stdout);

  int Status = 0;
  try {
    TSettings Settings(Config.KeepRecent);
    std::vector<double> Floor, Rd, Walk, Program;
    std::uint64_t FloorLeft = 0, RdLeft = 0, Walked = 0, ProgramLeft = 0;
    std::vector<TProgramRun> Runs;
    // One run of every measurement after another, so that a slow spell of the
    // machine falls on all of them alike.
    for (int R = 1; R <= Config.Repeat; ++R) {
      const std::wstring Suffix = std::to_wstring(R);
      const std::wstring FloorTree = Config.Scratch + L"\\floor" + Suffix;
      MakeTree(FloorTree, Config.Folders, Config.Files);
      Floor.push_back(TimePlainDelete(FloorTree));
      FloorLeft = std::max(FloorLeft, CountEntries(FloorTree));

      const std::wstring RdTree = Config.Scratch + L"\\rd" + Suffix;
      MakeTree(RdTree, Config.Folders, Config.Files);
      Rd.push_back(TimeRd(RdTree));
      RdLeft = std::max(RdLeft, CountEntries(RdTree));

      const std::wstring WalkTree = Config.Scratch + L"\\walk" + Suffix;
      MakeTree(WalkTree, Config.Folders, Config.Files);
      Walk.push_back(TimeWalk(WalkTree, Walked));
      PlainDelete(Long(WalkTree));

      const std::wstring Temp = Config.Scratch + L"\\temp" + Suffix;
      MakeTree(Temp, Config.Folders, Config.Files);
      Runs.push_back(RunProgram(Config, Temp));
      const TProgramRun& Run = Runs.back();
      if (Run.Problem.empty()) {
        Program.push_back(Run.Seconds);
        ProgramLeft = std::max(ProgramLeft, Run.Left);
      } else {
        std::printf("run %d: %s (%.3f s, %llu entries left)\n%s", R, Run.Problem.c_str(), Run.Seconds,
                    static_cast<unsigned long long>(Run.Left), Run.LogTail.c_str());
        Status = 1;
      }
      PlainDelete(Long(Temp));
      std::fflush(stdout);
    }

    const double FloorMedian = Median(Floor), WalkMedian = Median(Walk);
    Report("plain find-and-delete (floor)", Floor, Entries, 0, "left", FloorLeft);
    Report("cmd /c rd /s /q", Rd, Entries, FloorMedian, "left", RdLeft);
    Report("find walk, nothing deleted", Walk, Entries, FloorMedian, "found", Walked);
    if (!Program.empty()) {
      const std::string What = std::string("program, ") + KeyName(Config.Command);
      Report(What.c_str(), Program, Entries, FloorMedian, "left", ProgramLeft,
             Config.Command == TCommand::Preview ? WalkMedian : 0);
      if (Config.ThenShred) {
        std::vector<double> Clean;
        for (const TProgramRun& Run : Runs)
          if (Run.Problem.empty()) Clean.push_back(Run.CleanSeconds);
        Report("then its Shred (Enter)", Clean, Entries, FloorMedian, "left", ProgramLeft);
      }
    }
    // The machine may be shared: a round's references and program run close
    // together in time, so their own ratio is the steadier figure.
    std::vector<double> Paired, PairedWalk;
    for (std::size_t I = 0; I < Runs.size(); ++I)
      if (Runs[I].Problem.empty()) {
        Paired.push_back(Runs[I].Seconds / Floor[I]);
        PairedWalk.push_back(Runs[I].Seconds / Walk[I]);
      }
    if (!Paired.empty()) {
      std::printf("%-32s %8.2fx the floor of the same round %s", "", Median(Paired), RunList(Paired).c_str());
      if (Config.Command == TCommand::Preview)
        std::printf(", %.2fx its bare walk %s", Median(PairedWalk), RunList(PairedWalk).c_str());
      std::printf("\n");
    }
    double Worst = 0;
    for (const TProgramRun& Run : Runs)
      if (Run.Done) Worst = std::max(Worst, Run.WorstMs);
    if (!Program.empty())
      std::printf("%-32s %8.1f ms the slowest answer to WM_NULL (every 10 ms) in all runs%s\n", "", Worst,
                  Worst > 100 ? ": above 100 ms" : "");
    for (std::size_t I = 0; I < Runs.size(); ++I) {
      const TProgramRun& Run = Runs[I];
      if (!Run.Done) continue;
      std::printf("  run %zu: worst answer to WM_NULL %.1f ms (%d of %d over 100 ms)%s\n", I + 1,
                  Run.WorstMs, Run.Late, Run.Pings, Run.WorstMs > 100 ? "  ABOVE 100 ms" : "");
      std::printf(
          "         memory: working set %.1f MB before, peak %.1f MB (%+.0f bytes/entry); "
          "private %.1f MB before, %.1f MB after (%+.0f bytes/entry), peak commit %.1f MB (%+.0f bytes/entry)\n",
          Run.Before.WorkingSet / 1048576, Run.After.PeakWorkingSet / 1048576,
          (Run.After.PeakWorkingSet - Run.Before.WorkingSet) / Entries, Run.Before.Private / 1048576,
          Run.After.Private / 1048576, (Run.After.Private - Run.Before.Private) / Entries,
          Run.After.PeakCommit / 1048576, (Run.After.PeakCommit - Run.Before.Private) / Entries);
    }
  } catch (const std::exception& E) {
    std::printf("%s\n", E.what());
    Status = 2;
  }
  PlainDelete(Long(Config.Scratch));
  return Status;
}
