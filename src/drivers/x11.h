// Screen windows on X11: what the core needs of the window layer.
#pragma once
#include "core/context.h"

namespace tavero {

// Pixel size of the screen of the X display ($DISPLAY); false when there is none.
bool screen_size(int& width, int& height);
// Whether an X display can be reached.
bool display_available();
// The message box of window applications: a plain modal window with the text (lines split
// at "\n") that closes on a key, a click or its close button. False when there is no display
// (the caller prints the text on the console instead).
bool show_message_box(const char* title, const char* text);
// reset(name) for the window settings: "WIND" and "WINS" (geometry), "WINM" (wait mode).
bool reset_named_screen(Context& ctx, const char* key);

}  // namespace tavero
