// The text engine inside the text subsystem: decoding a string into codes, running the codes
// through alphabets, shift characters, instructions and fonts, measuring and drawing.
#pragma once
#include <vector>

#include "core/context.h"

namespace tavero {

// The codes of one string after decoding, national shifts and dropping trailing blanks.
struct CodeString {
  std::vector<int> codes;
  bool ok = true;   // false: a decoding error was reported, nothing may be drawn
};

// Decodes s with the code table and the national shifts; reports the errors.
CodeString decode_text(Context& ctx, const char* s);

// Extent of a string in text space (x along the text, y up from the base line).
struct TextExtent {
  double length = 0;           // as nlmess, not rounded
  double top = 0, bottom = 0;  // highest and lowest point reached by raised/lowered text
  double end = 0;              // advance at the end, the last gap included
  double last_gap = 0;
};

// Measures the codes with the current attributes (no drawing, no warnings of position).
TextExtent measure_codes(Context& ctx, const CodeString& cs);
// Draws the codes with their base line starting at (bx, by) (plot units, origin not added);
// the text cursor of the record is left after the last character, its gap included.
TextExtent draw_codes(Context& ctx, const CodeString& cs, double bx, double by);

// The messag engine: the upper left corner at (x, y), or 999/999 to continue; with page
// warnings, frame and background.
void place_text(Context& ctx, const char* s, double x, double y);
// The length that nlmess reports (rounded half away from zero).
int text_length_rounded(Context& ctx, const char* s);

// Reloads what an active device font needs after the height, the angle or the width factor
// changed (PostScript: the size of the selected font).
void device_font_changed(Context& ctx);

// Selects the stroke font number as current font (the device font is given up).
void select_stroke_font(Context& ctx, int font);

// TeX mode and instruction codes work on the state of the string being drawn.
class TextRun;
// Draws or measures a whole string in TeX mode; 0 on success, else a message was reported.
int tex_run(TextRun& run, const CodeString& cs);

}  // namespace tavero
