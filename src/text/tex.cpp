// TeX mode: texmod, texopt, texval and the reader that draws a string as TeX mathematics.
#include <cmath>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "tavero_api.h"
#include "text/run.h"

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

void texval(double xval, const char* ckey) {
  Context* ctx = enter(R::texval);
  if (!ctx) return;
  int key = lookup_keyword(*ctx, "EXP +H1BR+H2BR+VBRA+OPER+WBRA", 6, ckey);
  if (!key) return;
  if (!std::isfinite(xval) || (key == 4 && xval < 0) || (key != 4 && xval <= 0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  TexSettings& t = ctx->text.tex;
  double* slot[6] = {&t.exp_factor, &t.h1br, &t.h2br, &t.vbra, &t.oper, &t.wbra};
  *slot[key - 1] = xval;
}

int tex_run(TextRun& run, const CodeString& cs) {
  for (int c : cs.codes) run.put(c);
  return 0;
}

}  // namespace tavero
