// Services of the text engine for the other subsystems (axis labels and names, titles,
// legends, numbers). Strings are in the current code table; positions in plot coordinates
// relative to the origin shift.
#pragma once
#include "core/context.h"

namespace tavero {

// Draws a string with the current attributes, its upper left corner at (x, y) before rotation
// (the messag engine, without justification).
void text_draw(Context& ctx, const char* s, double x, double y);
// Length of a string in plot units with the current attributes (nlmess).
double text_length(Context& ctx, const char* s);
// Draws / measures with a given height and angle; the current height and angle are restored.
void text_draw_at(Context& ctx, const char* s, double x, double y, int height, double angle);
double text_length_at(Context& ctx, const char* s, int height);
// Current character height in plot units.
int text_height(const Context& ctx);
// Formats a number like `number` does (digits -1..100; numfmt/numode settings) into buf.
int text_format_number(Context& ctx, double v, int ndig, char* buf, int cap);

// A number string made by text_format_number must be drawn and measured in the number's
// drawing mode (exponent characters on, equal-width digits, the MATH shift of XEXP):
// either inside a NumberTextScope, or with the two calls below that do it all.
void text_draw_number(Context& ctx, double v, int ndig, double x, double y, int height, double angle);
double text_length_number(Context& ctx, double v, int ndig, int height);

class NumberTextScope {
 public:
  explicit NumberTextScope(Context& ctx);               // the form of numfmt
  NumberTextScope(Context& ctx, NumForm form);
  ~NumberTextScope();
  NumberTextScope(const NumberTextScope&) = delete;
  NumberTextScope& operator=(const NumberTextScope&) = delete;

 private:
  TextState& ts_;
  int fixed_, mix_, shift_on_, tex_on_;
  double fixed_factor_;
  ShiftAlphabet shift0_;
};

}  // namespace tavero
