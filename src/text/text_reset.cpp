// Parameter reset of the text subsystem: everything back to its creation defaults at tavini
// (the height scaled to the unit of the page), and the text names of reset.
#include <cmath>
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

namespace {

int default_height(const Context& ctx) {
  double u = ctx.core.unit_factor > 0 ? ctx.core.unit_factor : 1.0;
  int h = static_cast<int>(std::lround(36.0 / u));
  return h < 1 ? 1 : h;
}

}  // namespace

void reset_text(Context& ctx) {
  ctx.text = TextState{};
  ctx.text.height = default_height(ctx);
}

bool reset_named_text(Context& ctx, const char* key) {
  TextState& ts = ctx.text;
  const TextState d{};
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("ANGL")) {
    ts.angle = d.angle;
    ts.sin_a = d.sin_a;
    ts.cos_a = d.cos_a;
  } else if (is("HEIG")) {
    ts.height = default_height(ctx);
  } else if (is("CHAA")) {
    ts.shear = d.shear;
    ts.shear_deg = d.shear_deg;
  } else if (is("CHAS")) {
    ts.spacing = d.spacing;
  } else if (is("CHAW")) {
    ts.width_factor = d.width_factor;
  } else if (is("FIXS")) {
    ts.fixed = d.fixed;
    ts.fixed_factor = d.fixed_factor;
  } else if (is("BASA")) {
    ts.base_alphabet = ts.alphabet = d.base_alphabet;
  } else if (is("EUSH")) {
    std::memcpy(ts.national, d.national, sizeof ts.national);
    ts.national_on = 0;
  } else if (is("MIXA")) {
    ts.mix_on = 0;
    ts.shift_on = 0;
  } else if (is("NEWM")) {
    ts.exp_ch = d.exp_ch;
    ts.ind_ch = d.ind_ch;
    ts.res_ch = d.res_ch;
  } else if (is("SETE")) {
    ts.exp_factor = d.exp_factor;
  } else if (is("SETB")) {
    ts.base_factor = d.base_factor;
  } else if (is("SMXA")) {
    for (ShiftAlphabet& s : ts.shift) s = ShiftAlphabet{};
    ts.shift_on = 0;
  } else if (is("NUMF")) {
    ts.num.format = d.num.format;
  } else if (is("NUMO")) {
    ts.num.mode = d.num.mode;
  } else if (is("FRME")) {
    ts.frame = d.frame;
  } else if (is("SHDC")) {
    ts.shdcha = d.shdcha;
  } else if (is("LINS")) {
    ts.line_spacing = d.line_spacing;
  } else {
    return false;
  }
  return true;
}

}  // namespace tavero
