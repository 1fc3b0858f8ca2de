// The main window's Options command, the shred-all question, the help
// commands and the About box.

#include "app/UMain.h"

#include "catalogue/Catalogue.h"
#include "settings/Policy.h"

#include "actions/ActionUnit.h"
#include "base/WebPages.h"
#include "settings/Uconfirmshredall.h"
#include "version.h"
#include "win/Shell.h"
#include "win/ShellOpen.h"

namespace {

// The local page beside the program when it is installed, the web page otherwise.
// Looked for on every command: the files may come and go while the program runs.
void OpenHelpPage(HWND Owner, const char* File, const char* Url) {
  std::string Local = ExeFolder() + File;
  ShellOpenOrSay(Owner, FileExists(Local) ? Local : Url);
}

}  // namespace

void TMainForm::OptionActionExecute() {
  if (OptionDlg) {
    SetForegroundWindow(OptionDlg->Handle());
    return;
  }
  TOptionDlg::THost Host;
  Host.Option = Option.get();
  Host.SetAutorun = [](bool Enable, bool RunAtStart) { SetAutorun(Enable, RunAtStart); };
  Host.Timer = &Timer;
  Host.HelpCommand = [this] { HelpContents1Execute(); };
  // The browsers found here and Windows' traces, each with its stored switch.
  for (const TItem& Item : Catalogue()) {
    if (Item.Group != TGroup::Browsers && Item.Group != TGroup::Windows) continue;
    if (Item.Present && !Item.Present()) continue;
    TItemBox Box;
    Box.Id = Item.Id;
    Box.Page = Item.Group == TGroup::Browsers ? 0 : 1;
    Box.Section = Item.Section ? Item.Section : "";
    // The browser's name heads its boxes: "Google Chrome: History" shows as "History".
    const std::string Label = Item.Label;
    Box.Label = Item.Section && Label.starts_with(std::string(Item.Section) + ": ")
                    ? Label.substr(std::string(Item.Section).size() + 2)
                    : Label;
    Box.Hint = Item.Hint;
    Box.On = ItemChosen(Item, *Option);
    if (ItemPolicy(Item.Id) != TPolicy::NotSet || SelectionLocked()) {
      // The user's own switch stays stored for when the policy goes.
      Box.Locked = true;
      Box.Why = "Set by your administrator";
    } else if (Item.Admin && !Elevated()) {
      Box.Locked = true;
      Box.Why = "Needs an administrator: start Vellumix as an administrator to clear it.";
    }
    Host.Items.push_back(std::move(Box));
  }
  TOptionDlg Dialog(std::move(Host));
  OptionDlg = &Dialog;
  // Also when the dialog failed: forget it, and let the menu and the taskbar
  // button follow the settings.
  struct TAfter {
    TMainForm* Form;
    ~TAfter() {
      Form->OptionDlg = nullptr;
      Form->UpdateMenuChecks();
      Form->ApplyTaskbarRule();
    }
  } After{this};
  Dialog.ShowModal(Handle());
}

int TMainForm::OpenConfirmShredAll() {
  if (!ConfirmShredAllWanted()) return IDYES;
  TDlgConfirmShredAll Dialog;
  return Dialog.ShowModal(Handle());
}

void TMainForm::HelpContents1Execute() { OpenHelpPage(Handle(), ManualFile, ManualUrl); }

void TMainForm::mnuFAQClick() { OpenHelpPage(Handle(), FaqFile, FaqUrl); }

void TMainForm::mnuHomePageClick() { ShellOpenOrSay(Handle(), HomePageUrl); }

void TMainForm::mnuAboutClick() {
  if (AboutBox) {
    SetForegroundWindow(AboutBox->Handle());
    return;
  }
  TAboutBox Box;
  Box.Version = "Version " VELLUMIX_VERSION_SHORT;
  AboutBox = &Box;
  struct TForget {
    TAboutBox*& Box;
    ~TForget() { Box = nullptr; }
  } Forget{AboutBox};
  Box.ShowModal(Handle());
}

// While the options dialog is open, its Blinder box follows the companion
// being switched on or off elsewhere. The messages go on to their windows.
void TMainForm::BlinderMessage(const MSG& Msg) {
  if (!OptionDlg || Msg.message < 0xC000) return;
  static const UINT Enable = RegisterWindowMessageA("Enable Blinder");
  static const UINT Disable = RegisterWindowMessageA("Disable Blinder");
  if (Msg.message == Enable)
    OptionDlg->BlinderEnabled(true);
  else if (Msg.message == Disable)
    OptionDlg->BlinderEnabled(false);
}
