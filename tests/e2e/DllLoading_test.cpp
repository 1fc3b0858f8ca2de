// The program takes no DLL from its own folder: its import table names only
// DLLs Windows always loads from the system folder, and the ones it loads
// itself come from there too, even with look-alikes planted beside it.
#include "support/Fixtures.h"
#include "support/Program.h"
#include "support/Windows.h"
#include "win/Handle.h"
#include "win/Registry.h"
#include "win/Shell.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <set>

namespace {

std::string Lower(std::string Text) {
  std::transform(Text.begin(), Text.end(), Text.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Text;
}

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void UnmapView(const void* View) noexcept { UnmapViewOfFile(View); }
using TFileView = TUnique<handle_traits::NullIsInvalid<const void*, UnmapView>>;

// The DLL names of an executable's import and delay-import directories, read
// from the file as it lies on disk. Empty when the file is not a 64-bit image.
std::vector<std::string> ImportedDlls(const std::string& Exe) {
  TFileHandle File(CreateFileA(Exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!File) return {};
  LARGE_INTEGER Size;
  GetFileSizeEx(File.get(), &Size);
  TKernelHandle Mapping(CreateFileMappingA(File.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!Mapping) return {};
  TFileView View(MapViewOfFile(Mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!View) return {};
  const auto* Base = static_cast<const BYTE*>(View.get());
  const auto End = static_cast<size_t>(Size.QuadPart);

  const auto* Dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base);
  if (End < sizeof *Dos || Dos->e_magic != IMAGE_DOS_SIGNATURE ||
      static_cast<size_t>(Dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > End)
    return {};
  const auto* Nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(Base + Dos->e_lfanew);
  if (Nt->Signature != IMAGE_NT_SIGNATURE || Nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
    return {};
  const IMAGE_SECTION_HEADER* Sections = IMAGE_FIRST_SECTION(Nt);
  // The file offset of a virtual address; 0 when no section holds it.
  auto Offset = [&](DWORD Rva) -> size_t {
    for (WORD I = 0; I < Nt->FileHeader.NumberOfSections; ++I) {
      const IMAGE_SECTION_HEADER& S = Sections[I];
      if (Rva >= S.VirtualAddress && Rva < S.VirtualAddress + std::max(S.Misc.VirtualSize, S.SizeOfRawData)) {
        size_t At = Rva - S.VirtualAddress + S.PointerToRawData;
        return At < End ? At : 0;
      }
    }
    return 0;
  };
  auto NameAt = [&](DWORD Rva) {
    size_t At = Offset(Rva);
    if (!At) return std::string("<bad name>");
    const char* Name = reinterpret_cast<const char*>(Base + At);
    return std::string(Name, strnlen(Name, End - At));
  };

  std::vector<std::string> Names;
  const auto& Dirs = Nt->OptionalHeader.DataDirectory;
  if (DWORD Rva = Dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress) {
    for (size_t At = Offset(Rva); At && At + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= End;
         At += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
      const auto* Entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Base + At);
      if (!Entry->Name) break;  // the all-zero entry ends the table
      Names.push_back(NameAt(Entry->Name));
    }
  }
  if (DWORD Rva = Dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress) {
    for (size_t At = Offset(Rva); At && At + sizeof(IMAGE_DELAYLOAD_DESCRIPTOR) <= End;
         At += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR)) {
      const auto* Entry = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(Base + At);
      if (!Entry->DllNameRVA) break;
      Names.push_back(NameAt(Entry->DllNameRVA));
    }
  }
  return Names;
}

TEST(ImportTable, NamesOnlyDllsTheSystemAlwaysTakesFromItsFolder) {
  // The known DLLs, comctl32, which the manifest's side-by-side entry binds,
  // and ntdll, which every process has mapped before its first instruction.
  const std::set<std::string> Known = {
      "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll",  "shlwapi.dll", "ole32.dll",
      "oleaut32.dll", "comdlg32.dll", "imm32.dll",    "msvcrt.dll",   "comctl32.dll", "ntdll.dll"};
  const std::vector<std::string> Names = ImportedDlls(BuildFolder() + "vellumix.exe");
  ASSERT_FALSE(Names.empty()) << "no import table read";
  std::string All;
  for (const std::string& Name : Names) All += Name + " ";
  EXPECT_NE(std::find(Names.begin(), Names.end(), "KERNEL32.dll"), Names.end()) << All;
  for (const std::string& Name : Names) EXPECT_TRUE(Known.contains(Lower(Name))) << Name << " in: " << All;
}

// The full path of a module of another process; empty when it has none of that name.
std::string ModulePath(DWORD Pid, const std::string& Name) {
  TKernelHandle Snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, Pid));
  if (Snapshot.get() == INVALID_HANDLE_VALUE) return "<no snapshot>";
  MODULEENTRY32 Module{sizeof Module};
  for (BOOL More = Module32First(Snapshot.get(), &Module); More; More = Module32Next(Snapshot.get(), &Module))
    if (Lower(Module.szModule) == Name) return Lower(Module.szExePath);
  return "";
}

std::string SystemFolder() {
  char Path[MAX_PATH];
  UINT Len = GetSystemDirectoryA(Path, MAX_PATH);
  return Lower(std::string(Path, Len)) + "\\";
}

class PlantedDlls : public ::testing::Test {
protected:
  // The program's copy and the stand-ins lie in a folder of their own: beside
  // the test runners the stand-ins would be loaded by the runners.
  const std::string Folder = TempFolder() + "\\vellumix-planted\\";
  static constexpr char WineOverrides[] = "Software\\Wine\\AppDefaults\\vellumix.exe\\DllOverrides";

  void SetUp() override {
    if (GetDriveTypeA("R:\\") != DRIVE_CDROM)
      GTEST_SKIP() << "the test prefix has no CD-ROM drive R: (made by scripts/test)";
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vellumix");
    RemoveFolder();
    // Wine takes its own winmm and wininet even where a DLL of that name lies
    // in the search path, unless told to prefer native ones. The program's
    // DLL overrides in Wine's registry tell it; WINEDLLOVERRIDES would too,
    // but set here it does not reach the loader of a program this runner starts.
    TRegistry Wine;
    ASSERT_TRUE(Wine.OpenKey(WineOverrides, true));
    Wine.WriteString("winmm", "native,builtin");
    Wine.WriteString("wininet", "native,builtin");
    ASSERT_TRUE(CreateDirectoryA(Folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((Folder + "control").c_str(), nullptr));
  }
  void TearDown() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, WineOverrides);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\vellumix.exe");  // if empty
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vellumix");
    RemoveDirectoryA(HomePath("cdrom-r").c_str());
    RemoveFolder();
  }
  void RemoveFolder() const {
    for (const char* Name : {"vellumix.exe", "winmm.dll", "wininet.dll", "winmm.dll.loaded",
                             "wininet.dll.loaded", "control\\standin.dll", "control\\standin.dll.loaded"})
      DeleteFileA((Folder + Name).c_str());
    RemoveDirectoryA((Folder + "control").c_str());
    RemoveDirectoryA(Folder.c_str());
  }
  static std::string StandIn(const char* Name) { return BuildFolder() + "tests\\standin\\" + Name; }
};

TEST_F(PlantedDlls, NeitherLoadedByTheProgram) {
  ASSERT_TRUE(CopyFileA((BuildFolder() + "vellumix.exe").c_str(), (Folder + "vellumix.exe").c_str(), FALSE));
  for (const char* Name : {"winmm.dll", "wininet.dll"})
    ASSERT_TRUE(CopyFileA(StandIn(Name).c_str(), (Folder + Name).c_str(), FALSE)) << Name;

  // The stand-ins leave their mark when loaded: shown on a copy under a name
  // that no system DLL has.
  const std::string Control = Folder + "control\\standin.dll";
  ASSERT_TRUE(CopyFileA(StandIn("winmm.dll").c_str(), Control.c_str(), FALSE));
  {
    TModule Loaded(LoadLibraryA(Control.c_str()));
    ASSERT_TRUE(Loaded);
  }
  ASSERT_TRUE(Exists(Control + ".loaded"));

  // A start that needs no greeting, with the tray eject on and a disc in R:.
  {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey("Software\\Vellumix", true));
    Reg.WriteString("FirstTime", "1");
    for (const char* Name : SettingSwitches) Reg.WriteBool(Name, std::string(Name) == "EjectCdrom");
  }
  ASSERT_TRUE(CreateDirectoryA(HomePath("cdrom-r").c_str(), nullptr));

  TProgram P(Folder + "vellumix.exe");
  HWND Main = P.WaitWindow("TMainForm");
  ASSERT_TRUE(Main);
  ASSERT_TRUE(P.Settled(Main));
  // The URL-cache functions were looked for at start, in the system's WinINet.
  EXPECT_EQ(ModulePath(P.Pid(), "wininet.dll"), SystemFolder() + "wininet.dll");

  // Windows ends the session: the tray is opened through MCI.
  DWORD_PTR Answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(Main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &Answer));
  EXPECT_EQ(Answer, 1u);
  EXPECT_NE(WindowText(GetDlgItem(Main, 600)).find("Eject CD-"), std::string::npos)  // the log pane
      << WindowText(GetDlgItem(Main, 600));
  const std::string Winmm = ModulePath(P.Pid(), "winmm.dll");
  EXPECT_EQ(Winmm, SystemFolder() + "winmm.dll");

  PostMessageA(Main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(P.WaitExit());
  EXPECT_FALSE(Exists(Folder + "winmm.dll.loaded"));
  EXPECT_FALSE(Exists(Folder + "wininet.dll.loaded"));
}

}  // namespace
