// The wizard window: one 480 x 335 window holding every control of the five
// pages, made from one table in creation order, with the texts of the
// language table. Which page shows when, and what the controls do, is the
// wizard flow's (app/wizard_flow); this module only builds and fills.
#pragma once
#include <string>

#include "platform/window.h"

// Control ids of the wizard window, in creation order.
enum WizardControl : int {
  kWizardWelcomePanel = 1,
  kWizardWelcomeTitle,
  kWizardWelcomeText,
  kWizardWelcomeNotice,
  kWizardSidePicture,
  kWizardHeaderPanel,
  kWizardHeaderTitle,
  kWizardHeaderMessage,
  kWizardHeaderIcon,
  kWizardLicencePanel,
  kWizardLicenceText,
  kWizardAccept,
  kWizardRefuse,
  kWizardSettingsPanel,
  kWizardInstallDirLabel,
  kWizardInstallDirField,
  kWizardInstallDirChange,
  kWizardStartMenuLabel,
  kWizardStartMenuField,
  kWizardStartMenuChange,
  kWizardNoStartMenu,
  kWizardDesktop,
  kWizardInfoPanel,
  kWizardInfoText,
  kWizardInstallPanel,
  kWizardInstallTitle,
  kWizardInstallMessage,
  kWizardStatusLine,
  kWizardStartProgram,
  kWizardInstallLog,
  kWizardProgress,
  kWizardHomepage,
  kWizardBack,
  kWizardNext,
  kWizardInstall,
  kWizardCancel,
  kWizardFinish,
  kWizardSeparator,  // added by the flow once the pages are filled
};

// Opens the wizard window titled " " + windowTitle with every control at its
// place, font and initial visibility, registers the start-program box's
// colours (black on white) and shows the window. 0 when the window or any
// control cannot be made; nothing is left open then.
OsWindow BuildWizardWindow(const std::string& windowTitle);

// Fills a rich text viewer from a file: as rich text when the extension,
// upper-cased, is "RTF", else as plain text. A file that cannot be opened
// leaves the viewer as it was (false).
bool LoadTextFile(OsWindow window, int control, const std::string& path);

// The etched line between the pages and the buttons: 0, 300, 483, 2.
bool AddWizardSeparator(OsWindow window);

// The header band's title and message.
void SetWizardHeader(OsWindow window, const std::string& title, const std::string& message);

// Forgets the fonts, so the next build creates them anew (tests that reset
// the window toolkit between runs).
void ResetWizardWindow();
