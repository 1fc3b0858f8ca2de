// The preview window through the main window: what it shows, and that its
// Shred removes exactly that, as far as it still matches.
#include "app/Preview.h"

#include "app/SweepFixture.h"
#include "catalogue/BrowserProfiles.h"

#include <sqlite3.h>

namespace {

const std::string TypedUrls = "Software\\Microsoft\\Internet Explorer\\TypedURLs";

class PreviewTest : public SweepTest {
protected:
  void TearDown() override {
    TPreviewDlg::OnStarting = nullptr;
    TPreviewDlg::OnComputed = nullptr;
    SweepTest::TearDown();
  }
  // The row of the selected item whose path ends with Name; -1 when none.
  static int RowOf(TPreviewDlg& D, const std::string& Name) {
    for (int Row = 0; Row < D.EntryRows(); ++Row)
      if (Narrow(D.EntryPath(Row)).ends_with(Name)) return Row;
    return -1;
  }
};

TEST_F(PreviewTest, ItsShredRemovesExactlyWhatWasShownAndStillMatches) {
  Switches({"DelTempFiles", "DelLocationBar"});
  for (const char* Name : {"a.txt", "grown.txt", "unticked.txt", "sub\\b.txt"}) Temp.File(Name, "12345");
  TMainForm& F = CreateForm();
  {
    TRegistry Reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKey(TypedUrls, true));
    Reg.WriteString("url1", "http://one.example/");
    Reg.WriteString("url2", "http://two.example/");
  }
  bool Shown = false;
  TPreviewDlg::OnComputed = [&](TPreviewDlg& D) {
    Shown = true;
    EXPECT_FALSE(F.Idle());
    ASSERT_EQ(D.Plans().size(), 2u);
    EXPECT_STREQ(D.Plans()[0].Item->Id, "system.temp") << "the run's order: the sweeps first";
    EXPECT_STREQ(D.Plans()[1].Item->Id, "ie.typed_urls");
    EXPECT_EQ(D.TotalsText(), "4 files (20 bytes); 2 registry values.");
    D.SelectItem(0);
    EXPECT_EQ(D.EntryRows(), 5);  // four files and a folder
    const int Unticked = RowOf(D, "\\unticked.txt");
    ASSERT_GE(Unticked, 0);
    D.TickEntry(Unticked, false);
    EXPECT_EQ(D.TotalsText(), "3 files (15 bytes); 2 registry values.");
    D.SortEntries(0);
    EXPECT_TRUE(Narrow(D.EntryPath(0)).ends_with("\\a.txt")) << Narrow(D.EntryPath(0));
    // Between the preview and its Shred: a file grows, one appears, a value changes.
    std::ofstream(Temp["grown.txt"], std::ios::app) << "6";
    Temp.File("added.txt", "new");
    TRegistry Reg(HKEY_CURRENT_USER);
    ASSERT_TRUE(Reg.OpenKey(TypedUrls, false));
    Reg.WriteString("url2", "http://changed.example/");
    PostMessageA(D.Handle(), WM_COMMAND, IDOK, 0);
  };
  SendMessageA(F.Handle(), WM_COMMAND, IDC_PREVIEW, 0);
  ASSERT_TRUE(Shown);
  for (const char* Gone : {"a.txt", "sub"}) EXPECT_FALSE(Exists(Temp[Gone])) << Gone;
  for (const char* Stays : {"grown.txt", "unticked.txt", "added.txt"}) EXPECT_TRUE(Exists(Temp[Stays])) << Stays;
  EXPECT_EQ(ValueNamesOf(TypedUrls), std::vector<std::string>{"url2"});
  EXPECT_THAT(Line(0), EndsWith(" Removed 2 files (10 bytes) and 1 registry value; 2 entries stayed (changed).  "));
  EXPECT_TRUE(F.Idle());
}

TEST_F(PreviewTest, EscStopsTheComputingAndCloseRemovesNothing) {
  Switches({"DelTempFiles"});
  for (int I = 0; I < 50; ++I) Temp.File(NumberedName(I), "content");
  TMainForm& F = CreateForm();
  TPreviewDlg::OnStarting = [](TPreviewDlg& D) {
    // The worker waits after ten entries: Esc comes while it computes.
    D.Progress.HoldAfter(10);
    PostMessageA(D.Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
  };
  bool Shown = false;
  TPreviewDlg::OnComputed = [&](TPreviewDlg& D) {
    Shown = true;
    EXPECT_TRUE(D.Stopped());
    D.SelectItem(0);
    EXPECT_EQ(D.EntryRows(), 10);
    EXPECT_THAT(D.TotalsText(), HasSubstr("Stopped before the end"));
    PostMessageA(D.Handle(), WM_COMMAND, IDCANCEL, 0);
  };
  F.PreviewActionExecute();
  ASSERT_TRUE(Shown);
  for (int I = 0; I < 50; ++I) EXPECT_EQ(ReadAll(Temp[NumberedName(I)]), "content");
  for (const std::string& L : F.Action->Messages) EXPECT_EQ(L.find("Removed"), std::string::npos) << L;
  EXPECT_TRUE(F.Idle());
}

TEST_F(PreviewTest, ExportWritesEveryEntryAsUtf8Csv) {
  Switches({"DelTempFiles"});
  Temp.File("\xE4\xB8\xAD.txt", "12345");
  Temp.File("a,b.txt", "1");
  TMainForm& F = CreateForm();
  static std::string Target;
  Target = Outside["preview.csv"];
  TPreviewDlg::AskExportName = [](HWND) { return Widen(Target); };
  TPreviewDlg::OnComputed = [](TPreviewDlg& D) {
    SendMessageA(D.Handle(), WM_COMMAND, IDC_PREVIEWEXPORT, 0);
    PostMessageA(D.Handle(), WM_COMMAND, IDCANCEL, 0);
  };
  F.PreviewActionExecute();
  const std::string Csv = ReadAll(Target);
  EXPECT_TRUE(Csv.starts_with("\xEF\xBB\xBFItem,Kind,Path,Size,Modified,Included\r\n")) << Csv;
  EXPECT_THAT(Csv, HasSubstr("system.temp,file," + Temp["\xE4\xB8\xAD.txt"] + ",5,"));
  EXPECT_THAT(Csv, HasSubstr(",\"" + Temp.Path() + "\\a,b.txt\",1,"));
  EXPECT_TRUE(Exists(Temp["\xE4\xB8\xAD.txt"])) << "closing the preview removes nothing";
}

// A cell that begins as a formula stays text in a spreadsheet. Such a cell
// comes from names others chose: Firefox profiles named in profiles.ini,
// which the history's rows are named after. A file named like a formula
// begins no cell (its path does), and its path is written as it is.
TEST_F(PreviewTest, ExportKeepsCellsThatBeginAsFormulasText) {
  Switches({"DelTempFiles"});
  Key.SetDword("firefox.history", 1, "Software\\Vellumix\\Items");
  Temp.File("=HYPERLINK(1).txt", "1");
  const std::string Roaming = Outside.Folder("Roaming"), Local = Outside.Folder("Local");
  SetBrowserBaseFolders(Roaming, Local);
  struct TReset {
    ~TReset() { SetBrowserBaseFolders("", ""); }
  } Reset;
  const char* const Names[] = {"=HYPERLINK(\"https://x.example/\",\"x\")", "@SUM(1)", "-1+1"};
  std::string Ini;
  for (std::size_t N = 0; N < std::size(Names); ++N) {
    const std::string Folder = "Profiles\\p" + std::to_string(N);
    Ini += "[Profile" + std::to_string(N) + "]\r\nName=" + Names[N] + "\r\nIsRelative=1\r\nPath=" + Folder + "\r\n";
    const std::string Places = Outside.Folder("Roaming\\Mozilla\\Firefox\\" + Folder) + "\\places.sqlite";
    sqlite3* Db = nullptr;
    ASSERT_EQ(sqlite3_open(Places.c_str(), &Db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(Db, "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, foreign_count INTEGER NOT NULL);"
                               "CREATE TABLE moz_historyvisits(id INTEGER PRIMARY KEY, place_id INTEGER);"
                               "INSERT INTO moz_places VALUES(1, 'https://a.example/', 0);"
                               "INSERT INTO moz_historyvisits VALUES(1, 1);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(Db);
  }
  Outside.File("Roaming\\Mozilla\\Firefox\\profiles.ini", Ini);
  TMainForm& F = CreateForm();
  static std::string Target;
  Target = Outside["preview.csv"];
  TPreviewDlg::AskExportName = [](HWND) { return Widen(Target); };
  TPreviewDlg::OnComputed = [](TPreviewDlg& D) {
    SendMessageA(D.Handle(), WM_COMMAND, IDC_PREVIEWEXPORT, 0);
    PostMessageA(D.Handle(), WM_COMMAND, IDCANCEL, 0);
  };
  F.PreviewActionExecute();
  const std::string Csv = ReadAll(Target);
  EXPECT_THAT(Csv, HasSubstr("\r\nsystem.temp,file," + Temp["=HYPERLINK(1).txt"] + ",1,"));
  EXPECT_THAT(Csv, HasSubstr("\r\nfirefox.history,database rows,\"'=HYPERLINK(\"\"https://x.example/\"\",\"\"x\"\"): "
                             "places.sqlite \xE2\x80\x94 "));
  EXPECT_THAT(Csv, HasSubstr("\r\nfirefox.history,database rows,\"'@SUM(1): places.sqlite \xE2\x80\x94 "));
  EXPECT_THAT(Csv, HasSubstr("\r\nfirefox.history,database rows,\"'-1+1: places.sqlite \xE2\x80\x94 "));
}

TEST_F(PreviewTest, WithNothingChosenItSaysHowToChoose) {
  Switches({});
  TMainForm& F = CreateForm();
  bool Shown = false;
  TPreviewDlg::OnComputed = [&](TPreviewDlg&) { Shown = true; };
  F.PreviewActionExecute();
  EXPECT_FALSE(Shown);
  EXPECT_THAT(Line(0), EndsWith(std::string(" ") + NothingChosen + "  "));
}

}  // namespace
