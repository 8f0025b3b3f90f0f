// How the axis systems reach the text engine: label strings are drawn and measured in boxes
// (upper left corner of the area they cover on the page) at 0, 90 or 270 degrees, with the
// shift characters that their number form needs.
#pragma once
#include "core/context.h"
#include "text/numfmt.h"

namespace tavero {

// Number mode (numode) that label numbers follow.
const NumFormatState& label_number_state(Context& ctx);
// Exponent and reset characters written into label strings.
void label_shift_chars(Context& ctx, char& exp, char& res);
// Length of a label string at the given height; form is a NumForm or -1 for plain text, lang
// as for draw_text_box.
double text_width(Context& ctx, const char* s, int form, int lang, int height);
// Draws s so that it covers the box with upper left corner (bx, by): at angle 0 the box is
// length x height, at 90 (reading upwards) and 270 (downwards) height x length.
// lang 1 or 2 draws German or Spanish names written with '!' shifts.
void draw_text_box(Context& ctx, const char* s, int form, int lang, double bx, double by,
                   int height, int angle);
// The line-spacing factor of titles.
double title_line_spacing(const Context& ctx);

}  // namespace tavero
