// The small window that start-up shows while it expands a large block of
// its own package, before any language file or wizard exists: a title and a
// progress bar, no text to translate and nothing to click.
#pragma once
#include <cstdint>

// Shows the window (opening it on the first call) with done of total; the
// window's events are then drained so it paints.
void ShowUnpackProgress(uint32_t done, uint32_t total);
// Closes the window if it is open.
void CloseUnpackProgress();
// True while the window is open.
bool UnpackProgressShown();
