// The text engine as the axis systems use it: number labels are measured and drawn in their
// number form's drawing mode, date names with the national shift of their language.
#include "axes/axis_text.h"

#include <cstring>

#include "text/text.h"

namespace tavero {

namespace {

// While German or Spanish date names are drawn, '!' is the shift of GERM or ACUT.
class NationalScope {
 public:
  NationalScope(Context& ctx, int lang) : ts_(ctx.text), active_(lang == 1 || lang == 2) {
    if (!active_) return;
    std::memcpy(saved_, ts_.national, sizeof saved_);
    saved_on_ = ts_.national_on;
    for (int& c : ts_.national)
      if (c == '!') c = 0;
    ts_.national[lang == 1 ? 0 : 4] = '!';
    ts_.national_on = 1;
  }
  ~NationalScope() {
    if (!active_) return;
    std::memcpy(ts_.national, saved_, sizeof saved_);
    ts_.national_on = saved_on_;
  }
  NationalScope(const NationalScope&) = delete;
  NationalScope& operator=(const NationalScope&) = delete;

 private:
  TextState& ts_;
  bool active_;
  int saved_[8] = {};
  int saved_on_ = 0;
};

}  // namespace

const NumFormatState& label_number_state(Context& ctx) { return ctx.text.num; }

void label_shift_chars(Context& ctx, char& exp, char& res) {
  exp = static_cast<char>(ctx.text.exp_ch);
  res = static_cast<char>(ctx.text.res_ch);
}

double text_width(Context& ctx, const char* s, int form, int lang, int height) {
  if (!s || !*s) return 0;
  NationalScope nat(ctx, lang);
  if (form < 0) return text_length_at(ctx, s, height);
  NumberTextScope scope(ctx, static_cast<NumForm>(form));
  return text_length_at(ctx, s, height);
}

void draw_text_box(Context& ctx, const char* s, int form, int lang, double bx, double by,
                   int height, int angle) {
  if (!s || !*s) return;
  auto draw = [&] {
    NationalScope nat(ctx, lang);
    if (angle == 90) {
      text_draw_at(ctx, s, bx, by + text_length_at(ctx, s, height), height, 90.0);
    } else if (angle == 270) {
      text_draw_at(ctx, s, bx + height, by, height, 270.0);
    } else {
      text_draw_at(ctx, s, bx, by, height, 0.0);
    }
  };
  if (form < 0) {
    draw();
  } else {
    NumberTextScope scope(ctx, static_cast<NumForm>(form));
    draw();
  }
}

double title_line_spacing(const Context& ctx) { return ctx.text.line_spacing; }

}  // namespace tavero
