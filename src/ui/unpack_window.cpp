#include "ui/unpack_window.h"

#include "platform/window.h"

namespace {

const int kUnpackBar = 1;
// Progress bar positions: the bar's range is 16 bits on older systems.
const int kUnpackSteps = 1000;

OsWindow g_unpackWindow = 0;

}  // namespace

void ShowUnpackProgress(uint32_t done, uint32_t total) {
  if (g_unpackWindow == 0) {
    WindowSpec shape;
    shape.title = "Setup";
    shape.width = 320;
    shape.height = 48;
    g_unpackWindow = OsOpenWindow(shape);
    if (g_unpackWindow == 0) return;
    OsAddControl(g_unpackWindow, PlaceControl(kUnpackBar, kControlProgress, 16, 14, 288, 20, ""));
    OsSetProgressMax(g_unpackWindow, kUnpackBar, kUnpackSteps);
    OsShowWindow(g_unpackWindow);
  }
  const uint64_t step = total == 0 ? 0 : uint64_t(done) * kUnpackSteps / total;
  OsSetProgress(g_unpackWindow, kUnpackBar, int(step > kUnpackSteps ? kUnpackSteps : step));
  OsDrainEvents();
}

void CloseUnpackProgress() {
  if (g_unpackWindow == 0) return;
  OsCloseWindow(g_unpackWindow);
  g_unpackWindow = 0;
}

bool UnpackProgressShown() { return g_unpackWindow != 0; }
