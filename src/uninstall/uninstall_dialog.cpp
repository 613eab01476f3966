#include "uninstall/uninstall_dialog.h"

#include <string>

#include "platform/window.h"

namespace {

bool Build(OsWindow window, const UninstallData& data) {
  const std::string* t = data.texts;
  std::string program = data.progName;
  if (!data.version.empty()) program += "   " + t[kUnVersion] + " " + data.version;
  ControlSpec name = PlaceControl(kUnDialogProgram, kControlText, 20, 40, 340, 18, program);
  name.font = OsCreateFont("MS Shell Dlg", 10, 700);
  ControlSpec delAll = PlaceControl(kUnDialogDelAll, kControlCheckBox, 20, 116, 340, 20, t[kUnDelAll]);
  delAll.hidden = data.noDelAll || !data.madeProgDir;
  ControlSpec status = PlaceControl(kUnDialogStatus, kControlText, 20, 146, 340, 16, t[kUnStatus]);
  status.hidden = true;
  return OsAddControl(window, PlaceControl(kUnDialogInfo, kControlText, 20, 16, 340, 16, t[kUnUninstInfo])) &&
         OsAddControl(window, name) &&
         OsAddControl(window, PlaceControl(kUnDialogMsg, kControlText, 20, 72, 340, 36, t[kUnMsg])) &&
         OsAddControl(window, delAll) && OsAddControl(window, status) &&
         OsAddControl(window, PlaceControl(kUnDialogOk, kControlButton, 190, 174, 80, 24, t[kUnOk])) &&
         OsAddControl(window, PlaceControl(kUnDialogCancel, kControlButton, 280, 174, 80, 24, t[kUnCancel]));
}

bool Clicked(const OsEvent& event, int id) { return event.kind == kEventControl && event.control == id && event.detail == kDetailClicked; }

}  // namespace

bool RunUninstallDialog(const UninstallData& data, const std::function<void(bool deleteAll)>& remove) {
  WindowSpec frame;
  frame.title = " " + data.texts[kUnTitel];
  frame.width = 380;
  frame.height = 212;
  frame.systemMenu = true;
  OsWindow window = OsOpenWindow(frame);
  if (window == 0) return false;
  if (!Build(window, data)) {
    OsCloseWindow(window);
    return false;
  }
  OsSetDefaultButton(window, kUnDialogOk);
  OsSetCancelControl(window, kUnDialogCancel);
  OsShowWindow(window);

  bool removed = false;
  OsEvent event;
  while (OsWaitEvent(&event)) {
    if (event.window != window) continue;
    if (event.kind == kEventClose || Clicked(event, kUnDialogCancel)) break;
    if (!Clicked(event, kUnDialogOk)) continue;
    if (removed) break;  // Ready
    bool deleteAll = !data.noDelAll && data.madeProgDir && OsGetState(window, kUnDialogDelAll) == 1;
    for (int id : {kUnDialogDelAll, kUnDialogOk, kUnDialogCancel}) OsEnableControl(window, id, false);
    OsDrainEvents();
    remove(deleteAll);
    removed = true;
    OsDrainEvents();
    OsShowControl(window, kUnDialogCancel, false);
    OsSetCancelControl(window, 0);
    OsSetText(window, kUnDialogOk, data.texts[kUnReady]);
    OsShowControl(window, kUnDialogStatus, true);
    OsEnableControl(window, kUnDialogOk, true);
    OsSetFocus(window, kUnDialogOk);
  }
  OsCloseWindow(window);
  return removed;
}
