// TeX mode: texmod, texopt, texval, and the engine's entry that draws or measures a string as
// TeX mathematics.
#include <cmath>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "tavero_api.h"
#include "text/run.h"
#include "text/tex.h"

namespace tavero {

void texmod(const char* copt) {
  Context* ctx = enter(R::texmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (k) ctx->text.tex.on = k - 1;
}

void texopt(const char* copt, const char* ckey) {
  Context* ctx = enter(R::texopt);
  if (!ctx) return;
  int key = lookup_keyword(*ctx, "LIMI+ITAL+BRAC", 3, ckey);
  if (!key) return;
  TexSettings& t = ctx->text.tex;
  if (key == 3) {
    int k = lookup_keyword(*ctx, "STAN+VECT", 2, copt);
    if (k) t.vector_brackets = k - 1;
    return;
  }
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (!k) return;
  (key == 1 ? t.limits : t.italic) = k - 1;
}

// EXP: height factor of exponents and indices; H1BR: factor on the height that a grown bracket
// encloses; H2BR: its least height in units of the font's own bracket; VBRA: margin above and
// below a bracket in character heights; OPER: height factor of big operators; WBRA: width
// factor of brackets. Values above 100 make no sense for any of them and are refused.
void texval(double xval, const char* ckey) {
  Context* ctx = enter(R::texval);
  if (!ctx) return;
  int key = lookup_keyword(*ctx, "EXP +H1BR+H2BR+VBRA+OPER+WBRA", 6, ckey);
  if (!key) return;
  if (!std::isfinite(xval) || xval > 100 || (key == 4 && xval < 0) || (key != 4 && xval <= 0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  TexSettings& t = ctx->text.tex;
  double* slot[6] = {&t.exp_factor, &t.h1br, &t.h2br, &t.vbra, &t.oper, &t.wbra};
  *slot[key - 1] = xval;
}

int tex_run(TextRun& run, const CodeString& cs) {
  Context& ctx = run.ctx;
  const TextState& ts = run.ts;
  const ColorState& c = ctx.color;
  tex::Setup s;
  s.height = run.hstart;
  s.alphabet = run.base_alphabet;
  s.code_table = ts.code_table;
  s.tex_char = ts.tex_ch;
  s.italic = ts.tex.italic != 0;
  s.limits = ts.tex.limits != 0;
  s.exp_factor = ts.tex.exp_factor;
  auto plain = [](int ch) { return ch != '^' && ch != '_' && ch != '{' && ch != '}' && ch != '\\'; };
  if (ts.mix_on && plain(ts.exp_ch) && plain(ts.ind_ch) && plain(ts.res_ch)) {
    s.mix = true;
    s.exp_char = ts.exp_ch;
    s.ind_char = ts.ind_ch;
    s.res_char = ts.res_ch;
    s.mix_exp = ts.exp_factor;
  }
  if (ts.shift_on)
    for (const ShiftAlphabet& sh : ts.shift)
      if (sh.alphabet >= kStan && sh.alphabet <= kRuss && s.shifts < 6) {
        s.shift[s.shifts][0] = sh.alphabet;
        s.shift[s.shifts][1] = sh.shin;
        s.shift[s.shifts][2] = sh.shout;
        ++s.shifts;
      }
  s.oper = ts.tex.oper;
  s.ctx = &ctx;
  const int named[9] = {kNamedBlac, kNamedRed,  kNamedGree, kNamedBlue, kNamedCyan,
                        kNamedYell, kNamedOran, kNamedMage, kNamedWhit};
  for (int i = 0; i < 9; ++i) s.colours[i] = c.named[named[i]];
  s.colours[9] = c.foreground;
  s.colours[10] = c.background;
  tex::Tree tree;
  const int err = tex::parse(s, cs.codes, tree);
  if (err) {
    // the measuring pass reports; the drawing pass of the same string never gets here
    if (!run.draw) {
      set_custom_message(ctx, tex::error_text(err));
      warn_code(ctx, err);
    }
    return err;
  }
  tex::layout_and_draw(run, tree);
  return 0;
}

}  // namespace tavero
