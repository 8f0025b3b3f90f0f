// Entry of the IPE driver for the text engine: device-font text as Ipe text objects.
#pragma once
#include "core/context.h"

namespace tavero {

// Writes one character of a standard font as an Ipe label typeset by LaTeX with the Times
// family of the document's preamble: `font` is Times-Roman, -Bold, -Italic or -BoldItalic,
// `size` in points, `hscale` the width factor, (x, y) the start of the baseline in device
// units (points, y upwards), `angle` in degrees counterclockwise, `byte` a WinAnsi code.
// False (the caller strokes the character) unless the open device is IPE and the font and
// character can be written.
bool ipe_show_char(Context& ctx, const char* font, double size, double hscale, double x,
                   double y, double angle, int byte);

}  // namespace tavero
