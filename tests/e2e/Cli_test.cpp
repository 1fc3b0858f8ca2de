// The command line for scripts, end to end: vellumix.exe started with its
// output on a pipe (standard output and error alike), its temporary folder
// pointed at a tree of the test's own.
#include "catalogue/Catalogue.h"
#include "engine/CleanLock.h"
#include "support/Fixtures.h"
#include "support/Program.h"
#include "support/TempTree.h"
#include "support/Utf8.h"
#include "support/Windows.h"
#include "win/Handle.h"
#include "win/Registry.h"
#include "win/Shell.h"
#include "win/WidePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <shlobj.h>
#include <shlwapi.h>

#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace {

constexpr char Settings[] = "Software\\Vellumix";
constexpr char Policies[] = "Software\\Policies\\Vellumix";

// ---- a small reader of the output's JSON Lines: flat objects only, which is
// what the program writes. Strings are unescaped into UTF-8, but for an
// escaped unpaired surrogate, which becomes its own three bytes (as in WTF-8:
// "\udc80" reads "\xED\xB2\x80"), so that a name no UTF-8 can carry still
// compares. Numbers and true/false are kept as written. Nothing for a line
// that is not such an object.
using TObject = std::map<std::string, std::string>;

// A code point, or a lone surrogate, in the generalised UTF-8 above.
void AppendCode(std::string& Text, char32_t Code) {
  if (Code < 0x80) {
    Text += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Text += static_cast<char>(0xC0 | Code >> 6);
    Text += static_cast<char>(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Text += static_cast<char>(0xE0 | Code >> 12);
    Text += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Text += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Text += static_cast<char>(0xF0 | Code >> 18);
    Text += static_cast<char>(0x80 | (Code >> 12 & 0x3F));
    Text += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Text += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

std::optional<std::string> ReadString(std::string_view& Text) {
  if (Text.empty() || Text.front() != '"') return std::nullopt;
  std::string Value;
  char32_t High = 0;  // a high surrogate escape waiting for its low half
  for (std::size_t At = 1; At < Text.size(); ++At) {
    const char C = Text[At];
    const bool Escape = C == '\\' && At + 1 < Text.size();
    if (High && !(Escape && Text[At + 1] == 'u')) {
      AppendCode(Value, High);
      High = 0;
    }
    if (C == '"') {
      Text.remove_prefix(At + 1);
      return Value;
    }
    if (static_cast<unsigned char>(C) < 0x20) return std::nullopt;
    if (C != '\\') {
      Value += C;
      continue;
    }
    if (++At == Text.size()) return std::nullopt;
    switch (Text[At]) {
      case '"': Value += '"'; break;
      case '\\': Value += '\\'; break;
      case '/': Value += '/'; break;
      case 'n': Value += '\n'; break;
      case 'r': Value += '\r'; break;
      case 't': Value += '\t'; break;
      case 'u': {
        if (At + 4 >= Text.size()) return std::nullopt;
        const char32_t Unit = std::stoul(std::string(Text.substr(At + 1, 4)), nullptr, 16);
        At += 4;
        if (High && Unit >= 0xDC00 && Unit < 0xE000) {
          AppendCode(Value, 0x10000 + ((High - 0xD800) << 10) + (Unit - 0xDC00));
          High = 0;
          break;
        }
        if (High) AppendCode(Value, High);
        High = 0;
        if (Unit >= 0xD800 && Unit < 0xDC00) High = Unit;
        else AppendCode(Value, Unit);
        break;
      }
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<TObject> ParseObject(std::string_view Text) {
  if (Text.size() < 2 || Text.front() != '{' || Text.back() != '}') return std::nullopt;
  Text.remove_prefix(1);
  TObject Object;
  while (true) {
    auto Name = ReadString(Text);
    if (!Name || Text.empty() || Text.front() != ':') return std::nullopt;
    Text.remove_prefix(1);
    if (!Text.empty() && Text.front() == '"') {
      auto Value = ReadString(Text);
      if (!Value) return std::nullopt;
      Object[*Name] = *Value;
    } else {
      const std::size_t End = Text.find_first_of(",}");
      const std::string_view Value = Text.substr(0, End);
      const bool Number = !Value.empty() && Value.find_first_not_of("0123456789") == std::string_view::npos;
      if (!Number && Value != "true" && Value != "false") return std::nullopt;
      Object[*Name] = std::string(Value);
      Text.remove_prefix(Value.size());
    }
    if (Text == "}") return Object;
    if (Text.empty() || Text.front() != ',') return std::nullopt;
    Text.remove_prefix(1);
  }
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Found;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);) Found.push_back(Line);
  return Found;
}

// Every line well-formed UTF-8 and an object (the test fails otherwise), in order.
std::vector<TObject> JsonLines(const std::string& Text) {
  std::vector<TObject> Objects;
  for (const std::string& Line : Lines(Text)) {
    EXPECT_TRUE(StrictUtf8(Line)) << "not UTF-8: " << Line;
    auto Object = ParseObject(Line);
    EXPECT_TRUE(Object) << "not a JSON object: " << Line;
    if (Object) Objects.push_back(std::move(*Object));
  }
  return Objects;
}

// ---- running the program

struct TOutcome {
  DWORD Exit = STILL_ACTIVE;
  std::string Output;
};

// An environment block: this process's, with TMP and TEMP set to Temp.
std::wstring EnvironmentWithTemp(const std::string& Temp) {
  std::wstring Block;
  wchar_t* Own = GetEnvironmentStringsW();
  for (const wchar_t* At = Own; *At; At += wcslen(At) + 1) {
    const std::wstring_view Entry = At;
    if (StrCmpNIW(At, L"TMP=", 4) == 0 || StrCmpNIW(At, L"TEMP=", 5) == 0) continue;
    Block.append(Entry).push_back(L'\0');
  }
  FreeEnvironmentStringsW(Own);
  for (const wchar_t* Name : {L"TMP=", L"TEMP="}) Block.append(Name).append(Widen(Temp)).push_back(L'\0');
  Block.push_back(L'\0');
  return Block;
}

// Runs vellumix.exe with Args, its output and errors on one pipe, and reads
// that pipe until the program ends.
TOutcome RunVellumix(const std::string& Args, const std::string& Temp) {
  SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
  HANDLE ReadRaw = nullptr, WriteRaw = nullptr;
  if (!CreatePipe(&ReadRaw, &WriteRaw, &Inherit, 0)) return {};
  TKernelHandle Read(ReadRaw), Write(WriteRaw);
  SetHandleInformation(Read.get(), HANDLE_FLAG_INHERIT, 0);
  const std::wstring Exe = Widen(BuildFolder() + "vellumix.exe");
  std::wstring CommandLine = L"\"" + Exe + L"\" " + Widen(Args);
  std::wstring Environment = EnvironmentWithTemp(Temp);
  STARTUPINFOW Startup{sizeof Startup};
  Startup.dwFlags = STARTF_USESTDHANDLES;
  Startup.hStdOutput = Startup.hStdError = Write.get();
  PROCESS_INFORMATION Info{};
  if (!CreateProcessW(Exe.c_str(), CommandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                      Environment.data(), nullptr, &Startup, &Info))
    return {};
  TKernelHandle Process(Info.hProcess), Thread(Info.hThread);
  Write.reset();  // the pipe ends when the program's copy closes
  TOutcome Outcome;
  char Buffer[4096];
  // Read what is there until the program has ended and its output is all
  // read: under Wine a process it starts (the desktop's, when it is the
  // first to need one) may hold the pipe open long after it.
  const ULONGLONG Deadline = GetTickCount64() + 30000;
  for (bool Ended = false; GetTickCount64() < Deadline;) {
    DWORD Waiting = 0, Got = 0;
    if (!PeekNamedPipe(Read.get(), nullptr, 0, nullptr, &Waiting, nullptr)) break;  // closed: all read
    if (Waiting) {
      if (!ReadFile(Read.get(), Buffer, std::min<DWORD>(Waiting, sizeof Buffer), &Got, nullptr)) break;
      Outcome.Output.append(Buffer, Got);
      continue;
    }
    if (Ended) break;
    Ended = WaitForSingleObject(Process.get(), 20) == WAIT_OBJECT_0;  // then one more look at the pipe
  }
  if (WaitForSingleObject(Process.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(Process.get(), 99);
  GetExitCodeProcess(Process.get(), &Outcome.Exit);
  return Outcome;
}

// Both times of a file or folder thirty days back: older than the temporary
// folder's eight-day rule.
void MakeOld(const std::string& Path) {
  FILETIME Now;
  GetSystemTimeAsFileTime(&Now);
  ULARGE_INTEGER Then{{Now.dwLowDateTime, Now.dwHighDateTime}};
  Then.QuadPart -= 30ULL * 24 * 60 * 60 * 10'000'000;
  const FILETIME Old{Then.LowPart, Then.HighPart};
  TFileHandle File(CreateFileW(WidePath(Path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(File);
  ASSERT_TRUE(SetFileTime(File.get(), &Old, &Old, &Old));
}

bool Exists(const std::string& Path) { return GetFileAttributesW(WidePath(Path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Contains(const std::string& Text, const std::string& Part) { return Text.find(Part) != std::string::npos; }

class CliTest : public ::testing::Test {
protected:
  // The first start's settings (none): the eight-day rule applies.
  void SetUp() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
    SHDeleteKeyA(HKEY_CURRENT_USER, Policies);
  }
  void TearDown() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, Settings);
    SHDeleteKeyA(HKEY_CURRENT_USER, Policies);
  }

  // The child's temporary folder: two old files (one in an old folder), and
  // one of today that the age rule keeps.
  TTempTree Temp{"Cli." + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  void Plant() {
    MakeOld(Temp.File("old.tmp", std::string(100, 'a')));
    MakeOld(Temp.File("sub\\older.tmp", std::string(250, 'b')));
    MakeOld(Temp["sub"]);
    Temp.File("fresh.tmp", "today");
  }
  TOutcome Run(const std::string& Args) { return RunVellumix(Args, Temp.Path()); }
};

TEST_F(CliTest, ListJsonGivesEveryCatalogueIdAsJsonLines) {
  const TOutcome Out = Run("list --json");
  EXPECT_EQ(Out.Exit, 0u);
  const std::vector<TObject> Objects = JsonLines(Out.Output);
  ASSERT_FALSE(Objects.empty());
  std::set<std::string> Listed, Expected;
  for (const TItem& Item : Catalogue()) Expected.insert(Item.Id);
  for (std::size_t At = 0; At + 1 < Objects.size(); ++At) {
    EXPECT_EQ(Objects[At].at("ev"), "item");
    Listed.insert(Objects[At].at("id"));
  }
  EXPECT_EQ(Listed, Expected);
  const TObject& Summary = Objects.back();
  EXPECT_EQ(Summary.at("ev"), "summary");
  EXPECT_EQ(Summary.at("items"), std::to_string(Expected.size()));
  EXPECT_EQ(Summary.at("exit"), "0");
}

TEST_F(CliTest, PreviewCountsWhatTheAgeRuleLetsGoAndCleanRemovesExactlyThat) {
  Plant();
  const TOutcome Preview = Run("preview system.temp --json");
  EXPECT_EQ(Preview.Exit, 0u) << Preview.Output;
  const std::vector<TObject> Objects = JsonLines(Preview.Output);
  ASSERT_FALSE(Objects.empty());
  std::set<std::string> Files;
  for (const TObject& Object : Objects)
    if (Object.at("ev") == "entry" && Object.at("kind") == "file") Files.insert(Object.at("path"));
  EXPECT_EQ(Files, (std::set<std::string>{Temp["old.tmp"], Temp["sub\\older.tmp"]}));
  const TObject& Summary = Objects.back();
  EXPECT_EQ(Summary.at("ev"), "summary");
  EXPECT_EQ(Summary.at("files"), "2");
  EXPECT_EQ(Summary.at("bytes"), "350");
  EXPECT_EQ(Summary.at("exit"), "0");
  EXPECT_TRUE(Exists(Temp["old.tmp"])) << "a preview removes nothing";

  const TOutcome Clean = Run("clean system.temp");
  EXPECT_EQ(Clean.Exit, 0u) << Clean.Output;
  EXPECT_TRUE(Contains(Clean.Output, "Removed 2 files")) << Clean.Output;
  EXPECT_FALSE(Exists(Temp["old.tmp"]));
  EXPECT_FALSE(Exists(Temp["sub"]));
  EXPECT_TRUE(Exists(Temp["fresh.tmp"]));
}

TEST_F(CliTest, AFileInUseStaysIsNamedAndTheExitCodeSaysSo) {
  Plant();
  const std::string Locked = Temp.File("locked.tmp", "held");
  MakeOld(Locked);
  TFileHandle Held(CreateFileW(WidePath(Locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(Held);
  const TOutcome Out = Run("clean system.temp --json");
  EXPECT_EQ(Out.Exit, 1u) << Out.Output;
  const std::vector<TObject> Objects = JsonLines(Out.Output);
  ASSERT_FALSE(Objects.empty());
  bool Named = false;
  for (const TObject& Object : Objects) {
    if (Object.at("ev") != "entry" || Object.at("kind") != "file") continue;
    if (Object.at("path") == Locked) {
      Named = true;
      EXPECT_EQ(Object.at("result"), "stayed");
      EXPECT_EQ(Object.at("why"), "in_use");
    } else {
      EXPECT_EQ(Object.at("result"), "removed") << Object.at("path");
    }
  }
  EXPECT_TRUE(Named) << Out.Output;
  const TObject& Summary = Objects.back();
  EXPECT_EQ(Summary.at("files"), "2");
  EXPECT_EQ(Summary.at("in_use"), "1");
  EXPECT_EQ(Summary.at("exit"), "1");
  EXPECT_TRUE(Exists(Locked));
  EXPECT_FALSE(Exists(Temp["old.tmp"]));
}

TEST_F(CliTest, RefusalsLeaveEverythingAndSayWhy) {
  Plant();
  struct TCase {
    const char* Args;
    DWORD Exit;
    const char* Says;
  };
  // Policy: system.temp forced off; busy: the test holds the clean lock.
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(std::string(Policies) + "\\Items", true));
    Reg.WriteInteger("system.temp", 0);
  }
  TKernelHandle Lock(CreateMutexW(nullptr, TRUE, CleanLockName));
  ASSERT_EQ(GetLastError(), 0u) << "the lock is free before the test";
  const TCase Cases[] = {
      {"preview no.such.item", 2, "Unknown item: no.such.item"},
      {"clean --jsn", 2, "Unknown option: --jsn"},
      {"clean system.temp", 3, "turned off by the administrator's policy"},
      {"clean ie.cache", 5, "Another clean is running"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Args);
    const TOutcome Out = Run(Case.Args);
    EXPECT_EQ(Out.Exit, Case.Exit) << Out.Output;
    EXPECT_TRUE(Contains(Out.Output, Case.Says)) << Out.Output;
    if (Case.Exit == 2) {
      EXPECT_TRUE(Contains(Out.Output, "Usage: vellumix")) << Out.Output;
    }
  }
  ReleaseMutex(Lock.get());
  EXPECT_TRUE(Exists(Temp["old.tmp"]));
  EXPECT_TRUE(Exists(Temp["sub\\older.tmp"]));
}

TEST_F(CliTest, OutReplacesTheFileWholeAndLeavesThePipeEmpty) {
  const std::string File = Temp.File("out\\list.jsonl", std::string(100000, 'x'));
  const TOutcome Out = Run("list --json --out \"" + File + "\"");
  EXPECT_EQ(Out.Exit, 0u) << Out.Output;
  EXPECT_EQ(Out.Output, "");
  std::string Text;
  {
    TFileHandle Read(CreateFileW(WidePath(File).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    ASSERT_TRUE(Read);
    char Buffer[65536];
    for (DWORD Got = 0; ReadFile(Read.get(), Buffer, sizeof Buffer, &Got, nullptr) && Got;) Text.append(Buffer, Got);
  }
  const std::vector<TObject> Objects = JsonLines(Text);
  ASSERT_EQ(Objects.size(), Catalogue().size() + 1);
  EXPECT_EQ(Objects.back().at("ev"), "summary");
  // Nothing left beside it: the temporary file became the file.
  WIN32_FIND_DATAW Found;
  TFindHandle Search(FindFirstFileW(WidePath(Temp["out\\*.tmp"]).c_str(), &Found));
  EXPECT_FALSE(Search);
}

// What is left of a --out target's folder: the names in it, no temporary
// file among them.
std::set<std::string> NamesIn(const std::string& Folder) {
  std::set<std::string> Names;
  WIN32_FIND_DATAW Found;
  TFindHandle Search(FindFirstFileW(WidePath(Folder + "\\*").c_str(), &Found));
  if (Search) do {
      const std::string Name = Narrow(Found.cFileName);
      if (Name != "." && Name != "..") Names.insert(Name);
    } while (FindNextFileW(Search.get(), &Found));
  return Names;
}

std::string Contents(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

// An --out that the rename at the end could not put in place is refused
// before anything runs, with exit code 2, and what stands there stays.
TEST_F(CliTest, OutThatCannotBeReplacedIsRefusedAtOnceAndLeftAlone) {
  const std::string Folder = Temp.Folder("out\\a folder");
  Temp.File("out\\a folder\\kept.txt", "kept");
  const std::string ReadOnly = Temp.File("out\\read-only.jsonl", "old"), Held = Temp.File("out\\held.jsonl", "old");
  ASSERT_TRUE(SetFileAttributesW(WidePath(ReadOnly).c_str(), FILE_ATTRIBUTE_READONLY)) << GetLastError();
  // Held as a program holds a file it reads, sharing reading only.
  TFileHandle Holder(CreateFileW(WidePath(Held).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
  ASSERT_TRUE(Holder);
  const std::set<std::string> Before = NamesIn(Temp["out"]);
  struct TCase {
    std::string Target, Says;
  };
  const TCase Cases[] = {
      {Folder, "Cannot write " + Folder + ": it is a folder."},
      {Folder + "\\", "Cannot write " + Folder + "\\: it is a folder."},
      {ReadOnly, "Cannot write " + ReadOnly + ": it is read-only."},
      {Held, "Cannot write " + Held + ": "},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Target);
    // A backslash before the closing quote is doubled, else it escapes the quote.
    const TOutcome Out = Run("list --json --out \"" + Case.Target + (Case.Target.ends_with('\\') ? "\\\"" : "\""));
    EXPECT_EQ(Out.Exit, 2u) << Out.Output;
    EXPECT_TRUE(Out.Output.starts_with(Case.Says)) << Out.Output << "the refusal comes first, before any item";
  }
  Holder.reset();
  EXPECT_EQ(NamesIn(Temp["out"]), Before) << "no temporary file is left beside them";
  EXPECT_EQ(NamesIn(Folder), std::set<std::string>{"kept.txt"});
  EXPECT_EQ(Contents(ReadOnly), "old");
  EXPECT_EQ(Contents(Held), "old");
  SetFileAttributesW(WidePath(ReadOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file that another program holds while sharing its deletion passes the
// first look, and the rename at the end is what fails: exit code 2 as well,
// the file as it was, the output thrown away.
TEST_F(CliTest, OutThatCannotBePutInPlaceAtTheEndExitsWith2AndKeepsTheFile) {
  const std::string Held = Temp.File("out\\held.jsonl", "old");
  TFileHandle Holder(CreateFileW(WidePath(Held).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
  ASSERT_TRUE(Holder);
  const TOutcome Out = Run("list --json --out \"" + Held + "\"");
  EXPECT_EQ(Out.Exit, 2u) << Out.Output;
  EXPECT_TRUE(Contains(Out.Output, "Cannot write " + Held + ": ")) << Out.Output;
  Holder.reset();
  EXPECT_EQ(Contents(Held), "old");
  EXPECT_EQ(NamesIn(Temp["out"]), std::set<std::string>{"held.jsonl"});
}

// The Firefox of a test, in the user's roaming application data: its
// profiles.ini names one profile, in the test's tree, with Ini's Name line.
// Removed with everything in it when the test ends.
class CliFirefoxTest : public CliTest {
protected:
  const std::string Mozilla = SpecialFolder(CSIDL_APPDATA) + "\\Mozilla";
  std::string Profile;
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(GetFileAttributesA(Mozilla.c_str()), INVALID_FILE_ATTRIBUTES) << "a Firefox the test did not make";
    Made = true;
    ASSERT_EQ(SHCreateDirectoryExA(nullptr, (Mozilla + "\\Firefox").c_str(), nullptr), ERROR_SUCCESS);
    Profile = Temp.Folder("Firefox profile");
    Temp.Folder("Firefox profile\\cache2\\entries");
  }
  void TearDown() override {
    if (Made) RemoveTree(Mozilla);
    CliTest::TearDown();
  }
  void Name(const std::string& Name) {
    std::ofstream(Mozilla + "\\Firefox\\profiles.ini", std::ios::binary)
        << "[Profile0]\r\nName=" << Name << "\r\nIsRelative=0\r\nPath=" << Profile << "\r\nDefault=1\r\n";
  }
  // Makes a file of the profile's cache from the Windows side; false when the
  // file system would not take its name.
  bool CacheFile(const std::wstring& Name) {
    return bool(TFileHandle(CreateFileW((Widen(Profile + "\\cache2\\entries\\") + Name).c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_NEW, 0, nullptr)));
  }
  // The paths of the files a preview of the cache lists.
  std::set<std::string> Listed(const TOutcome& Out) {
    std::set<std::string> Files;
    for (const TObject& Object : JsonLines(Out.Output))
      if (Object.at("ev") == "entry" && Object.at("kind") == "file") Files.insert(Object.at("path"));
    return Files;
  }

private:
  bool Made = false;
};

// A profile named in Latin-1 (as an old editor saves profiles.ini) gives a
// line a strict UTF-8 reader takes, the name read as Windows-1252.
TEST_F(CliFirefoxTest, AProfileNameThatIsNoUtf8ReadsAsWindows1252) {
  Name("Caf\xE9 \x93\x80\x94");
  ASSERT_TRUE(CacheFile(L"a\xD83D\xDE00" L"b"));  // a pair: plain UTF-8
  const TOutcome Listing = Run("preview firefox.cache --json");
  EXPECT_EQ(Listing.Exit, 0u) << Listing.Output;
  EXPECT_EQ(Listed(Listing), std::set<std::string>{Profile + "\\cache2\\entries\\a\xF0\x9F\x98\x80" "b"});
  // The name shows where the profile is named: the note of a profile in use.
  TFileHandle Lock(CreateFileW(WidePath(Profile + "\\parent.lock").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_ALWAYS, 0, nullptr));
  ASSERT_TRUE(Lock);
  const TOutcome Noted = Run("preview firefox.cache --json");
  EXPECT_EQ(Noted.Exit, 0u) << Noted.Output;
  std::vector<std::string> Notes;
  for (const TObject& Object : JsonLines(Noted.Output))
    if (Object.at("ev") == "note") Notes.push_back(Object.at("text"));
  EXPECT_EQ(Notes, std::vector<std::string>{"Skipped Mozilla Firefox's cache (Caf\xC3\xA9 \xE2\x80\x9C\xE2\x82\xAC"
                                            "\xE2\x80\x9D): the browser is running. Close it and try again."});
}

// A file whose name holds an unpaired surrogate is listed under that name,
// escaped, so that the line names that file and no other.
TEST_F(CliFirefoxTest, AFileNameWithAnUnpairedSurrogateKeepsItAsAnEscape) {
  Name("default");
  // Wine keeps file names as UTF-8 on Linux, which cannot carry the
  // surrogate: CreateFileW refuses the name there.
  if (!CacheFile(L"a\xDC80" L"b")) GTEST_SKIP() << "this file system takes no name with an unpaired surrogate";
  ASSERT_TRUE(CacheFile(L"a\xFFFD" L"b"));  // what the surrogate used to be shown as
  const TOutcome Listing = Run("preview firefox.cache --json");
  EXPECT_EQ(Listing.Exit, 0u) << Listing.Output;
  const std::string Entries = Profile + "\\cache2\\entries\\";
  EXPECT_EQ(Listed(Listing), (std::set<std::string>{Entries + "a\xED\xB2\x80" "b", Entries + "a\xEF\xBF\xBD" "b"}));
  EXPECT_TRUE(Contains(Listing.Output, "\\\\a\\udc80b\"")) << Listing.Output;
}

// The window's commands and the command line's clean share one lock: while
// another holds it the window says it is busy, and once it is free a clean
// runs beside the open window instead of being handed to it.
TEST_F(CliTest, RunsBesideAnOpenWindowAndSharesItsLock) {
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Settings, true));
    Reg.WriteString("FirstTime", "1");
    for (const char* Name : SettingSwitches) Reg.WriteBool(Name, std::string(Name) == "KeepTempFiles");
  }
  TProgram Window(BuildFolder() + "vellumix.exe");
  HWND Main = Window.WaitWindow("TMainForm");
  ASSERT_TRUE(Main && Window.Settled(Main));
  constexpr int SpeedBarId = 601, StatusLineId = 603, ShredId = 400;
  HWND Shred = GetDlgItem(GetDlgItem(Main, SpeedBarId), ShredId);
  ASSERT_TRUE(Shred);
  {
    TKernelHandle Lock(CreateMutexW(nullptr, TRUE, CleanLockName));
    SendMessageA(Shred, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] {
      return WindowText(GetDlgItem(Main, StatusLineId)) == "Vellumix is busy: try again when the light is green.";
    })) << WindowText(GetDlgItem(Main, StatusLineId));
    ReleaseMutex(Lock.get());
  }
  Plant();
  const TOutcome Out = Run("clean system.temp --json");
  EXPECT_EQ(Out.Exit, 0u) << Out.Output;
  const std::vector<TObject> Objects = JsonLines(Out.Output);
  ASSERT_FALSE(Objects.empty());
  EXPECT_EQ(Objects.back().at("files"), "2");
  EXPECT_FALSE(Exists(Temp["old.tmp"]));
  EXPECT_TRUE(Window.Running());
}

}  // namespace
