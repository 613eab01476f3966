// The wizard flow. The pages share one window: pages 1 and 5 are white
// panels beside the side picture, pages 2 to 4 a header band over a sunken
// panel. The licence and information pages exist only when their text is
// not empty, so Next and Back jump over a missing one both ways.
#include "app/wizard_flow.h"

#include <string>

#include "actions/folders.h"
#include "actions/links.h"
#include "app/config.h"
#include "app/elevation.h"
#include "app/finish.h"
#include "app/hooks.h"
#include "app/install.h"
#include "app/setup_state.h"
#include "platform/system.h"
#include "runtime/filesys.h"
#include "runtime/program_runner.h"
#include "runtime/text.h"
#include "ui/dialogs.h"
#include "ui/language.h"
#include "ui/wizard.h"

namespace {

const int kBuiltInHeaderIcon = 1;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A folder picked in a dialog, with the configured last folder name below it
// unless it already ends in that name.
std::string WithFolderName(const std::string& answer, const std::string& name) {
  if (EndsWith(answer, name) || EndsWith(answer, name + "\\")) return answer;
  return AddBackslash(answer) + name;
}

// "licence" or "readme": the ".rtf" file when there is one, else the ".txt".
void LoadPageText(OsWindow window, int viewer, const std::string& base) {
  if (FileExists(base + ".rtf")) {
    LoadTextFile(window, viewer, base + ".rtf");
  } else if (FileExists(base + ".txt")) {
    LoadTextFile(window, viewer, base + ".txt");
  }
}

bool HasText(OsWindow window, int viewer) { return !OsGetText(window, viewer).empty(); }

// Enter presses the page's forward button; Escape is Cancel on pages 1 to 4
// only, so that it never ends the run from the install page. The focus goes
// to the forward button when the control that had it may have gone. While
// the licence is not accepted, Next is disabled and the focus goes to the
// ticked option: an automatic option that gets the focus unticked ticks
// itself and reports a click, which would accept the licence for the user.
void SetPageKeys(const WizardLoop& loop) {
  OsWindow w = loop.window;
  int forward = loop.page == 5 ? kWizardInstall : kWizardNext;
  OsSetDefaultButton(w, forward);
  OsSetCancelControl(w, loop.page == 5 ? 0 : kWizardCancel);
  if (OsControlEnabled(w, forward)) {
    OsSetFocus(w, forward);
  } else {
    OsSetFocus(w, OsGetState(w, kWizardAccept) == 1 ? kWizardAccept : kWizardRefuse);
  }
}

void SetHeader(OsWindow window, TextId title, TextId message) {
  SetWizardHeader(window, Text(title), Text(message));
}

void ShowInstallPage(WizardLoop* loop) {
  OsWindow w = loop->window;
  loop->page = 5;
  OsShowControl(w, kWizardHeaderPanel, false);
  OsShowControl(w, kWizardInfoPanel, false);
  OsShowControl(w, kWizardInstallPanel, true);
  OsShowControl(w, kWizardSidePicture, true);
  OsShowControl(w, kWizardInstall, true);
  OsShowControl(w, kWizardNext, false);
}

void ShowSettingsPage(WizardLoop* loop) {
  loop->page = 3;
  OsShowControl(loop->window, kWizardSettingsPanel, true);
  SetHeader(loop->window, kTextPage03Titel, kTextPage03Msg);
}

void ShowWelcomePage(WizardLoop* loop) {
  OsWindow w = loop->window;
  loop->page = 1;
  OsShowControl(w, kWizardHeaderPanel, false);
  OsShowControl(w, kWizardWelcomePanel, true);
  OsShowControl(w, kWizardSidePicture, true);
  OsShowControl(w, kWizardBack, false);
}

void PageForward(WizardLoop* loop) {
  OsWindow w = loop->window;
  switch (++loop->page) {
    case 2:
      OsShowControl(w, kWizardWelcomePanel, false);
      OsShowControl(w, kWizardSidePicture, false);
      OsShowControl(w, kWizardHeaderPanel, true);
      OsShowControl(w, kWizardBack, true);
      if (HasText(w, kWizardLicenceText)) {
        OsShowControl(w, kWizardLicencePanel, true);
        OsEnableControl(w, kWizardNext, OsGetState(w, kWizardAccept) == 1);
        SetHeader(w, kTextPage02Titel, kTextPage02Msg);
      } else {
        ShowSettingsPage(loop);
      }
      break;
    case 3:
      OsShowControl(w, kWizardLicencePanel, false);
      ShowSettingsPage(loop);
      break;
    case 4:
      OsShowControl(w, kWizardSettingsPanel, false);
      if (HasText(w, kWizardInfoText)) {
        OsShowControl(w, kWizardInfoPanel, true);
        SetHeader(w, kTextPage04Titel, kTextPage04Msg);
      } else {
        ShowInstallPage(loop);
      }
      break;
    case 5:
      ShowInstallPage(loop);
      break;
    default:
      loop->page = 5;
      return;
  }
  SetPageKeys(*loop);
}

void PageBack(WizardLoop* loop) {
  OsWindow w = loop->window;
  switch (--loop->page) {
    case 1:
      OsShowControl(w, kWizardLicencePanel, false);
      ShowWelcomePage(loop);
      OsEnableControl(w, kWizardNext, true);
      break;
    case 2:
      OsShowControl(w, kWizardSettingsPanel, false);
      if (HasText(w, kWizardLicenceText)) {
        OsShowControl(w, kWizardLicencePanel, true);
        SetHeader(w, kTextPage02Titel, kTextPage02Msg);
      } else {
        ShowWelcomePage(loop);
      }
      break;
    case 3:
      OsShowControl(w, kWizardInfoPanel, false);
      ShowSettingsPage(loop);
      break;
    case 4:
      OsShowControl(w, kWizardInstallPanel, false);
      OsShowControl(w, kWizardSidePicture, false);
      OsShowControl(w, kWizardInstall, false);
      OsShowControl(w, kWizardNext, true);
      OsShowControl(w, kWizardCancel, true);
      OsShowControl(w, kWizardHeaderPanel, true);
      if (HasText(w, kWizardInfoText)) {
        OsShowControl(w, kWizardInfoPanel, true);
      } else {
        ShowSettingsPage(loop);
      }
      break;
    default:
      loop->page = 1;
      return;
  }
  SetPageKeys(*loop);
}

// Leaving the installation folder field: the folder gets its "\" and, unless
// it names the program folder somewhere already, the program folder below.
void CompleteInstallFolderField(OsWindow window) {
  const std::string& name = Setup().config.progFolderName;
  std::string field = OsGetText(window, kWizardInstallDirField);
  std::string text = AddBackslash(field);
  if (name.empty() || text.find(name) == std::string::npos) {
    OsSetText(window, kWizardInstallDirField, text + name);
  }
}

// Leaving the start-menu field: empty brings the configured folder back; a
// folder that does not hold the configured one gets it below.
void CompleteStartMenuField(OsWindow window) {
  const std::string& configured = Setup().config.startMenuFolder;
  std::string field = OsGetText(window, kWizardStartMenuField);
  if (field.empty()) {
    OsSetText(window, kWizardStartMenuField, configured);
  } else if (field.find(configured) == std::string::npos) {
    OsSetText(window, kWizardStartMenuField, AddBackslash(field) + configured);
  }
}

void ChangeInstallFolder(OsWindow window) {
  std::string answer = BrowseForFolder(window, Text(kTextRq2Titel), Setup().config.installDir);
  if (answer.empty()) return;
  OsSetText(window, kWizardInstallDirField, WithFolderName(answer, Setup().config.progFolderName));
}

void ChangeStartMenuFolder(OsWindow window) {
  std::string answer = ChooseStartMenuFolder(window, OsGetText(window, kWizardStartMenuField));
  if (answer.empty()) return;
  const std::string& configured = Setup().config.startMenuFolder;
  size_t cut = configured.rfind('\\');
  std::string last = cut == std::string::npos ? configured : configured.substr(cut + 1);
  OsSetText(window, kWizardStartMenuField, WithFolderName(answer, last));
}

void OpenHomepage(OsWindow window) {
  // By its full path: a RunDll32.exe beside the installer (a downloads
  // folder) must never be the one that runs.
  RunProgram(GetFolderPath(kFolderSystem) + kUrlHandlerProgram,
             "Url.dll,FileProtocolHandler " + OsGetText(window, kWizardHomepage), "", 0);
}

void Cancel() {
  RunFlags& flags = Setup().flags;
  TerminateWhileHook(&flags.whileHook);
  flags.start = false;
  flags.reboot = false;
  flags.cancelled = true;
  flags.quit = true;
}

void Finish(OsWindow window) {
  RunFlags& flags = Setup().flags;
  TerminateWhileHook(&flags.whileHook);
  flags.start = OsGetState(window, kWizardStartProgram) == 1;
  flags.quit = true;
}

// A close request keeps the start and reboot flags; the work folder goes at
// once, and the while-hook first, so that nothing in the folder is in use.
void CloseRequested() {
  SetupState& s = Setup();
  TerminateWhileHook(&s.flags.whileHook);
  DeleteWorkFolder(s.paths.workFolder);
  s.flags.quit = true;
}

// The typed folder may need rights the run lacks: an elevated run then
// installs with the wizard's choices, while this wizard waits out of sight.
// True when it did; the run then ends here.
bool HandedOverAtInstall(OsWindow window) {
  SetupState& s = Setup();
  InstallChoices choices = WizardChoices(window, s.config);
  const bool needs = InstallNeedsAdminRights(s.config.elevate, choices.installDir, s.elevation);
  if (!ShouldPromptForRights(needs, &s.elevation)) return false;
  Handover handover = CurrentUserHandover(s.languageFile, s.languageNumber);
  handover.atInstall = true;
  choices.startProgram = s.flags.start;
  handover.choices = choices;
  OsHideWindow(window);
  if (RunElevated(s.paths.workFolder, s.paths.exePath, OsGetCommandLine(), handover, OsDrainEvents,
                  &s.elevation) != kElevationRan) {
    OsShowWindow(window);
    return false;
  }
  TerminateWhileHook(&s.flags.whileHook);
  s.flags.start = false;
  s.flags.reboot = false;
  s.flags.quit = true;
  return true;
}

void Install(WizardLoop* loop) {
  if (HandedOverAtInstall(loop->window)) return;
  RunWizardInstall(loop->window);
  OsSetDefaultButton(loop->window, kWizardFinish);
  OsSetFocus(loop->window, kWizardFinish);
}

void HandleControl(WizardLoop* loop, const OsEvent& event) {
  OsWindow w = loop->window;
  bool lostFocus = event.detail == kDetailLostFocus;
  switch (event.control) {
    case kWizardAccept: OsEnableControl(w, kWizardNext, true); break;
    case kWizardRefuse: OsEnableControl(w, kWizardNext, false); break;
    case kWizardInstallDirField: if (lostFocus) CompleteInstallFolderField(w); break;
    case kWizardInstallDirChange: ChangeInstallFolder(w); break;
    case kWizardNoStartMenu: {
      bool ticked = OsGetState(w, kWizardNoStartMenu) == 1;
      OsEnableControl(w, kWizardStartMenuField, !ticked);
      OsEnableControl(w, kWizardStartMenuChange, !ticked);
      break;
    }
    case kWizardStartMenuChange: ChangeStartMenuFolder(w); break;
    case kWizardStartMenuField: if (lostFocus) CompleteStartMenuField(w); break;
    case kWizardHomepage: OpenHomepage(w); break;
    case kWizardNext: PageForward(loop); break;
    case kWizardBack: PageBack(loop); break;
    case kWizardCancel: Cancel(); break;
    case kWizardInstall: Install(loop); break;
    case kWizardFinish: Finish(w); break;
    default: break;
  }
}

}  // namespace

void PrepareWizard(WizardLoop* loop) {
  SetupState& s = Setup();
  OsWindow w = loop->window;
  loop->page = 1;
  s.flags.quit = false;
  s.flags.cancelled = false;
  // Without a work folder there are no setup files to look for.
  const std::string& work = s.paths.workFolder;
  if (!work.empty()) {
    LoadPageText(w, kWizardLicenceText, work + "licence");
    LoadPageText(w, kWizardInfoText, work + "readme");
  }
  OsSetState(w, kWizardRefuse, 1);
  LoadSettings(s.paths.iniPath, s.options, s.product, &s.config);
  const SetupConfig& config = s.config;
  s.flags.start = config.startProg != 0;
  s.flags.reboot = config.reboot != 0;

  if (config.web.empty()) {
    OsShowControl(w, kWizardHomepage, false);
  } else {
    OsSetText(w, kWizardHomepage, config.web);
  }
  bool exe = IsExeProgram(s.product.progExe);
  if (!config.startMenu) {
    for (int id : {kWizardStartMenuLabel, kWizardStartMenuField, kWizardStartMenuChange, kWizardNoStartMenu}) {
      OsShowControl(w, id, false);
    }
  }
  // A restart ends the run before any program start.
  if (s.flags.reboot || !exe) s.flags.start = false;
  OsSetText(w, kWizardInstallDirField, config.installDir);
  OsSetText(w, kWizardStartMenuField, config.startMenuFolder);
  OsSetState(w, kWizardDesktop, config.desktopDefault != 0 ? 1 : 0);
  if (!exe) OsShowControl(w, kWizardDesktop, false);
  OsSetText(w, kWizardStatusLine, Text(kTextInstallMsg0) + " " + s.product.prgSize);

  OsLoadResourceIcon(w, kWizardHeaderIcon, kBuiltInHeaderIcon);
  if (!work.empty()) {
    OsLoadImage(w, kWizardSidePicture, work + "splash.bmp");
    OsLoadImage(w, kWizardHeaderIcon, work + "header.ico");
  }
  AddWizardSeparator(w);
  s.flags.whileHook = StartWhileHook(work);
  SetPageKeys(*loop);
}

bool RunWizardStep(WizardLoop* loop) {
  OsEvent event;
  if (Setup().flags.quit || !OsWaitEvent(&event)) return false;
  if (event.window == loop->window) {
    if (event.kind == kEventClose) {
      CloseRequested();
    } else {
      HandleControl(loop, event);
    }
  }
  return !Setup().flags.quit;
}

void EndWizard(WizardLoop* loop) {
  OsFreeImage(loop->window, kWizardSidePicture);
  OsFreeImage(loop->window, kWizardHeaderIcon);
  OsCloseWindow(loop->window);
}

void RunWizard(OsWindow window, const InstallChoices* installAtOnce) {
  WizardLoop loop;
  loop.window = window;
  PrepareWizard(&loop);
  if (installAtOnce) {
    ShowWizardChoices(window, *installAtOnce);
    for (int id : {kWizardWelcomePanel, kWizardHeaderPanel, kWizardLicencePanel, kWizardSettingsPanel,
                   kWizardInfoPanel}) {
      OsShowControl(window, id, false);
    }
    OsShowControl(window, kWizardCancel, true);
    ShowInstallPage(&loop);
    SetPageKeys(loop);
    Install(&loop);
  }
  while (RunWizardStep(&loop)) {
  }
  EndWizard(&loop);
}
