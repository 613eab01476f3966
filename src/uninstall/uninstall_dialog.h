// The uninstaller's dialog, on the window toolkit: the record's title, the
// UninstInfo line, the program's name and version, the Msg text, the DelAll
// box (hidden when NoDelAll), OK and Cancel. OK runs the removal with the
// window open; then the Status text shows and the OK button becomes Ready,
// which ends the dialog.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "uninstall/uninstall_data.h"

// Answers false when the user cancelled (Cancel or the close box before OK)
// or the window could not be made; true once remove(deleteAll) has run.
bool RunUninstallDialog(const UninstallData& data, const std::function<void(bool deleteAll)>& remove);

// The question before copied files are deleted, when its list would not fit
// a message box: the text, every file in a scrolled list, OK (yes) and
// Cancel (no) in the record's texts. True for OK; false for Cancel, the
// close box or a window that could not be made.
bool AskAboutFileList(const UninstallData& data, const std::string& question, const std::vector<std::string>& files);

// Control ids, for tests.
enum : int {
  kUnDialogInfo = 1,
  kUnDialogProgram,
  kUnDialogMsg,
  kUnDialogDelAll,
  kUnDialogStatus,
  kUnDialogOk,
  kUnDialogCancel,
  kUnListText = 20,
  kUnListFiles,
  kUnListYes,
  kUnListNo,
};
