#include "settings/FormStorage.h"

#include "win/Form.h"
#include "win/Registry.h"
#include "win/Shell.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace {

// Decimal text to int; nullopt unless the whole text (blanks aside) is a number.
std::optional<int> ToInt(const std::string& Text) {
  const char* Start = Text.c_str();
  while (*Start == ' ') ++Start;
  char* End = nullptr;
  long Value = strtol(Start, &End, 10);
  if (End == Start) return std::nullopt;
  while (*End == ' ') ++End;
  if (*End) return std::nullopt;
  return static_cast<int>(Value);
}

std::string Trim(const std::string& Text) {
  auto First = Text.find_first_not_of(' ');
  if (First == std::string::npos) return {};
  return Text.substr(First, Text.find_last_not_of(' ') - First + 1);
}

std::string ValueName(const std::string& Entry) {
  std::string Name = Entry;
  if (auto Dot = Name.find('.'); Dot != std::string::npos) Name[Dot] = '_';
  return Name;
}

std::string PropertyOf(const std::string& Entry) {
  auto Dot = Entry.find('.');
  return Dot == std::string::npos ? std::string() : Entry.substr(Dot + 1);
}

// The stored properties are Booleans: a check box's tick, or a control's enabled state.
bool IsCheckedProperty(const std::string& Entry) {
  return strcasecmp(PropertyOf(Entry).c_str(), "Checked") == 0;
}

bool GetProperty(HWND Control, const std::string& Entry) {
  return IsCheckedProperty(Entry) ? SendMessageA(Control, BM_GETCHECK, 0, 0) == BST_CHECKED
                                  : IsWindowEnabled(Control) != FALSE;
}

void SetProperty(HWND Control, const std::string& Entry, bool On) {
  if (IsCheckedProperty(Entry))
    SendMessageA(Control, BM_SETCHECK, On ? BST_CHECKED : BST_UNCHECKED, 0);
  else if (strcasecmp(PropertyOf(Entry).c_str(), "Enabled") == 0)
    EnableWindow(Control, On);
}

struct TFind {
  int Id;
  HWND Found;
};

BOOL CALLBACK FindById(HWND Window, LPARAM Data) {
  auto* Find = reinterpret_cast<TFind*>(Data);
  if (GetDlgCtrlID(Window) != Find->Id) return TRUE;
  Find->Found = Window;
  return FALSE;
}

// The control with this ID among the window's children, or their children.
HWND FindControl(HWND Window, int Id) {
  if (HWND Direct = GetDlgItem(Window, Id)) return Direct;
  TFind Find{Id, nullptr};
  EnumChildWindows(Window, FindById, reinterpret_cast<LPARAM>(&Find));
  return Find.Found;
}

std::string Format4(int A, int B, int C, int D) {
  char Text[64];
  snprintf(Text, sizeof Text, "%d,%d,%d,%d", A, B, C, D);
  return Text;
}

}  // namespace

void ParseFourInts(const std::string& Text, int (&Values)[4], const int (&Defaults)[4]) {
  std::vector<std::string> Parts;
  std::string Part;
  for (char C : Text + ",") {
    if (C == ',' || C == ' ') {
      if (!Part.empty()) Parts.push_back(Part);
      Part.clear();
    } else {
      Part += C;
    }
  }
  for (int I = 0; I < 4; ++I) {
    std::optional<int> Value = I < static_cast<int>(Parts.size()) ? ToInt(Parts[I]) : std::nullopt;
    Values[I] = Value ? *Value : Defaults[I];
  }
}

std::string TFormPlacement::KeyPath() const {
  std::string Section = IniSection;
  if (Section.empty()) {
    char Name[256] = {};
    GetClassNameA(FWindow, Name, sizeof Name);
    Section = Name;
  }
  return IniFileName + "\\" + Section;
}

void TFormPlacement::Restore() {
  if (!Active) return;
  FSaved = false;
  TRegistry Reg(HKEY_CURRENT_USER);
  Reg.OpenKeyReadOnly(KeyPath());  // a missing key reads like missing values
  // State written by an older version of the window is ignored.
  if (ToInt(Reg.ReadString("FormVersion").value_or("")).value_or(0) >= Version) {
    if (StorePlacement && FForm) RestorePosition(Reg);
    RestoreProps(Reg);
    if (OnRestorePlacement) OnRestorePlacement();
  }
  FRestored = true;
}

void TFormPlacement::RestorePosition(TRegistry& Reg) {
  WINDOWPLACEMENT Place{sizeof Place};
  GetWindowPlacement(FWindow, &Place);

  auto MinMax = Reg.ReadString("MinMaxPos");
  auto Norm = Reg.ReadString("NormPos");
  if (auto Flags = ToInt(Reg.ReadString("Flags").value_or(""))) Place.flags = *Flags;
  int Ppi = ToInt(Reg.ReadString("PixelsPerInch").value_or("")).value_or(ScreenPixelsPerInch());

  if ((MinMax || Norm) && Ppi == ScreenPixelsPerInch()) {
    int MinMaxPos[4];
    ParseFourInts(MinMax.value_or(""), MinMaxPos, {0, 0, 0, 0});
    const RECT& Cur = Place.rcNormalPosition;
    int NormPos[4];
    ParseFourInts(Norm.value_or(""), NormPos, {Cur.left, Cur.top, Cur.right, Cur.bottom});
    RECT Rect{NormPos[0], NormPos[1], NormPos[2], NormPos[3]};
    if (!FForm->Resizable()) {
      Rect.right = Rect.left + (Cur.right - Cur.left);
      Rect.bottom = Rect.top + (Cur.bottom - Cur.top);
    }
    if (Rect.right > Rect.left) {
      // A centred window would be centred again when shown, over the stored place.
      if (FForm->Position == TPosition::poDesktopCenter) FForm->Position = TPosition::poDesigned;
      Place.ptMinPosition = {MinMaxPos[0], MinMaxPos[1]};
      Place.ptMaxPosition = {MinMaxPos[2], MinMaxPos[3]};
      Place.rcNormalPosition = Rect;
      if (!IsWindowVisible(FWindow)) Place.showCmd = SW_HIDE;
      SetWindowPlacement(FWindow, &Place);
    }
  }

  switch (ToInt(Reg.ReadString("ShowCmd").value_or("")).value_or(0)) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      if (FForm->IsMainForm()) {
        FForm->WindowState = TWindowState::wsNormal;
        PostMessageA(Application.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      } else {
        FForm->WindowState = TWindowState::wsMinimized;
      }
      break;
    case SW_SHOWMAXIMIZED:
      FForm->WindowState = TWindowState::wsMaximized;
      break;
    default:
      FForm->WindowState = TWindowState::wsNormal;
  }
}

void TFormPlacement::RestoreProps(TRegistry& Reg) {
  for (const TStoredProp& Prop : StoredProps) {
    auto Text = Reg.ReadString(ValueName(Prop.Entry));
    HWND Control = FindControl(FWindow, Prop.ControlId);
    if (!Text || !Control) continue;
    std::string Value = Trim(*Text);
    bool On;
    if (strcasecmp(Value.c_str(), "True") == 0)
      On = true;
    else if (strcasecmp(Value.c_str(), "False") == 0)
      On = false;
    else
      continue;
    if (GetProperty(Control, Prop.Entry) == On) continue;
    SetProperty(Control, Prop.Entry, On);
    if (OnPropChanged && IsCheckedProperty(Prop.Entry)) OnPropChanged(Prop.ControlId);
  }
}

void TFormPlacement::Save(bool Destroying) {
  if (!Active || !FRestored || !FWindow) return;
  // One attempt per closing: a save that failed on closing is not tried (and
  // reported) again when the window is destroyed.
  FSaved = true;
  TRegistry Reg(HKEY_CURRENT_USER);
  if (!Reg.OpenKey(KeyPath(), true)) return;
  Reg.WriteString("FormVersion", std::to_string(Version));
  if (StorePlacement && FForm) {
    WINDOWPLACEMENT Place{sizeof Place};
    GetWindowPlacement(FWindow, &Place);
    UINT ShowCmd = Place.showCmd;
    if (FForm->IsMainForm() && Application.Minimized()) ShowCmd = SW_SHOWMINIMIZED;
    Reg.WriteString("Flags", std::to_string(Place.flags));
    Reg.WriteString("ShowCmd", std::to_string(ShowCmd));
    Reg.WriteString("PixelsPerInch", std::to_string(ScreenPixelsPerInch()));
    Reg.WriteString("MinMaxPos", Format4(Place.ptMinPosition.x, Place.ptMinPosition.y,
                                         Place.ptMaxPosition.x, Place.ptMaxPosition.y));
    const RECT& R = Place.rcNormalPosition;
    Reg.WriteString("NormPos", Format4(R.left, R.top, R.right, R.bottom));
    Reg.WriteString("Visible", Destroying ? "1" : "0");
  }
  for (const TStoredProp& Prop : StoredProps) {
    HWND Control = FindControl(FWindow, Prop.ControlId);
    if (!Control) continue;
    Reg.WriteString(ValueName(Prop.Entry), GetProperty(Control, Prop.Entry) ? "True" : "False");
  }
  if (OnSavePlacement) OnSavePlacement();
}
