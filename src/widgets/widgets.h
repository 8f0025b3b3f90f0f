// What other parts of the library need of the widgets.
#pragma once
#include "core/context.h"

namespace tavero {

// X window id of widget `id` (a draw widget for setxid), showing its dialog when needed;
// 0 after a warning when there is no such widget or no display.
unsigned long widget_window(Context& ctx, int id);

}  // namespace tavero
