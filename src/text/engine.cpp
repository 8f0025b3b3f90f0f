// The text engine: strings into codes, codes into glyphs, glyphs into lines and fills.
#include "text/engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "text/codepages.h"
#include "text/fontdata/fontdata.h"
#include "text/run.h"

namespace tavero {

namespace fd = fontdata;

namespace {

constexpr double kItalicSlope = 3.732;   // a slant of 1 / 3.732, 15 degrees
constexpr double kFixedCell = 1.4;
constexpr int kOutlineMax = 200;
constexpr int kOutlineJoins = 40;   // room for the returns to the start between contours

// --- decoding

bool is_national_table(int table) { return table != kCtIso5 && table != kCtKoi8 && table != kCtIso7; }

void apply_national(Context& ctx, std::vector<int>& c) {
  const TextState& ts = ctx.text;
  if (!ts.national_on || !is_national_table(ts.code_table)) return;
  std::vector<int> out;
  out.reserve(c.size());
  for (size_t i = 0; i < c.size(); ++i) {
    int lang = -1;
    for (int k = 0; k < 8; ++k)
      if (ts.national[k] && ts.national[k] == c[i]) lang = k;
    if (lang < 0) {
      out.push_back(c[i]);
      continue;
    }
    if (i + 1 < c.size() && c[i + 1] == c[i]) {  // doubled: the character itself
      out.push_back(c[i]);
      ++i;
      continue;
    }
    int r = i + 1 < c.size() ? national_code(ts.code_table, lang, c[i + 1]) : -1;
    if (r < 0) {
      warn_code(ctx, 18);
      out.push_back(c[i]);
      continue;
    }
    out.push_back(r);
    ++i;
  }
  c.swap(out);
}

}  // namespace

CodeString decode_text(Context& ctx, const char* s) {
  CodeString cs;
  if (!s) return cs;
  if (ctx.text.code_table == kCtUtf8) {
    int buf[kMaxCodes];
    int n = 0;
    DecodeResult r = decode_utf8(s, buf, kMaxCodes, &n);
    if (r != kDecodeOk) {
      warn_text(ctx, 123, r == kDecodeSyntax ? "Syntax error in UTF string" : "Not enough space in array");
      cs.ok = false;
      return cs;
    }
    cs.codes.assign(buf, buf + n);
  } else {
    size_t n = std::strlen(s);
    cs.codes.resize(n);
    for (size_t i = 0; i < n; ++i) cs.codes[i] = static_cast<unsigned char>(s[i]);
  }
  while (!cs.codes.empty() && cs.codes.back() == ' ') cs.codes.pop_back();
  apply_national(ctx, cs.codes);
  return cs;
}

// --- the run of one string

TextRun::TextRun(Context& c, bool d, double x, double y)
    : ctx(c), ts(c.text), draw(d), bx(x), by(y), ca(c.text.cos_a), sa(c.text.sin_a) {
  h = hstart = ts.height;
  alphabet = base_alphabet = ts.base_alphabet;
  wf = ts.width_factor;
  spc = ts.spacing;
  shear = ts.shear;
  fixed = ts.fixed != 0;
  fixfac = ts.fixed_factor;
  colour_start = c.color.current;
}

void TextRun::note_height(double hh) {
  double t = s + hh - 1;
  if (t > top) top = t;
  if (s < bottom) bottom = s;
}

void TextRun::raise() {
  s += h * ts.base_factor;
  int nh = static_cast<int>(std::lround(h * ts.exp_factor));
  h = nh < 1 ? 1 : nh;
}

void TextRun::lower() {
  int nh = static_cast<int>(std::lround(h * ts.exp_factor));
  h = nh < 1 ? 1 : nh;
  s -= h * ts.base_factor;
}

void TextRun::reset_base() {
  s = 0;
  h = hstart;
}

void TextRun::put(int code) {
  if (collecting) {
    const ShiftAlphabet& sh = ts.shift[active_shift];
    if (code == sh.shout) {
      collecting = false;
      active_shift = -1;
      execute_instruction();
      inst.clear();
    } else if (code != ' ') {
      if (inst.size() < 64) inst.push_back(static_cast<char>(code));
    }
    return;
  }
  if (ts.mix_on) {
    if (code == ts.exp_ch) {
      raise();
      return;
    }
    if (code == ts.ind_ch) {
      lower();
      return;
    }
    if (code == ts.res_ch) {
      reset_base();
      return;
    }
  }
  if (ts.shift_on) {
    if (active_shift >= 0 && code == ts.shift[active_shift].shout) {
      alphabet = base_alphabet;
      active_shift = -1;
      return;
    }
    for (int n = 0; n < 6; ++n) {
      const ShiftAlphabet& sh = ts.shift[n];
      if (sh.alphabet && code == sh.shin) {
        active_shift = n;
        if (sh.alphabet == kInst) {
          collecting = true;
          inst.clear();
        } else {
          alphabet = sh.alphabet;
        }
        return;
      }
    }
  }
  character(code);
}

void TextRun::character(int code, int alph) {
  MappedCode m = map_code(ts.code_table, code);
  int a = alph ? alph : alphabet;
  if (m.alphabet) {
    // a national letter of an 8-bit or UTF-8 table lives in the Latin alphabets
    a = (m.alphabet == kStan && (a == kItal || a == kScri)) ? a : m.alphabet;
  }
  glyph(a, m.code);
}

void TextRun::glyph(int alph, int code) {
  if (alph < kStan || alph > kRuss) alph = kStan;
  double width = 0, gap = 0;
  if (!device_glyph(*this, alph, code, width, gap)) stroke_glyph(alph, code, width, gap);
  note_height(h);
  u += width + gap;
  last_gap = gap;
  if (u - gap > maxlen) maxlen = u - gap;
  any_char = true;
}

double TextRun::current_gap() {
  double g = 0;
  advance_of(alphabet, 'x', &g);
  return g;
}

double TextRun::advance_of(int alph, int code, double* gap_out) {
  bool d = draw;
  double su = u, sm = maxlen, sg = last_gap, st = top, sb = bottom;
  draw = false;
  glyph(alph, code);
  double adv = u - su;
  if (gap_out) *gap_out = last_gap;
  draw = d;
  u = su;
  maxlen = sm;
  last_gap = sg;
  top = st;
  bottom = sb;
  return adv;
}

void TextRun::line(double u1, double v1, double u2, double v2) {
  if (!draw) return;
  double x1, y1, x2, y2;
  to_page(u1, v1, x1, y1);
  to_page(u2, v2, x2, y2);
  qqstrt(ctx, x1, y1);
  qqconn(ctx, x2, y2);
}

namespace {

bool empty_glyph(const fd::Alphabet& a, int code) {
  if (code < 33 || code > 31 + a.n_chars) return true;
  return a.index[a.records[code - 33]] <= 1;
}

struct GlyphDraw {
  TextRun& r;
  double xs, ys, slope, x0;   // scales, shear per unit of v, left offset
  double px[kOutlineMax + kOutlineJoins], py[kOutlineMax + kOutlineJoins];
  int np = 0;

  void point(double gx, double gy, double& x, double& y) const {
    double v = gy * ys;
    double uu = gx * xs + slope * v;
    r.to_page(r.u + x0 + uu, v + r.s, x, y);
  }
  void flush_fill() {
    if (np > 2) fill_glyph_polygon(r.ctx, px, py, np);
    np = 0;
  }
};

}  // namespace

void TextRun::stroke_glyph(int alph, int code, double& adv, double& gap) {
  const fd::StrokeFont* f = fd::stroke_font(ts.font);
  if (!f) f = fd::stroke_font(1);
  const fd::Alphabet* a = f->alphabets[alph - 1];
  if (!a) a = f->alphabets[0];
  if (code > 31 + a->n_chars || code < 32) code = 32;
  if (code != 32 && empty_glyph(*a, code)) {
    // punctuation and digits that GREE, RUSS and SCRI do not hold come from STAN
    const fd::Alphabet* stan = f->alphabets[0];
    if (a != stan && !empty_glyph(*stan, code)) {
      a = stan;
    } else {
      code = 32;
    }
  }
  double hh = h - 1;
  double xs = hh * wf / a->grid_w, ys = hh / a->grid_h;
  gap = fixed ? spc * h : (a->gap + spc) * h;
  // The blank S is given in the grid of the font's STAN alphabet; alphabets on another grid
  // (the common ones in fonts 1 and 11..14) take it in proportion, not as S of their own grid.
  const fd::Alphabet* stan = f->alphabets[0];
  int blank = f->blank_width;
  if (stan && a->grid_w != stan->grid_w && stan->grid_w > 0)
    blank = static_cast<int>(std::lround(double(f->blank_width) * a->grid_w / stan->grid_w));
  double w = fd::glyph_width(*a, code, blank) * xs;
  double x0 = 0;
  adv = w;
  if (fixed) {
    double cell = fixfac * kFixedCell * wf * hh;
    x0 = (cell - w) / 2;
    adv = cell;
  }
  if (!draw || code == 32) return;
  double slope = shear + ((a->slanted || italic) ? 1.0 / kItalicSlope : 0.0);
  const double os = fd::offset_scale(*a);
  GlyphDraw g{*this, xs, ys, slope, x0, {}, {}, 0};
  const bool outline = a->storage == fd::Storage::kSplit;
  fd::for_each_piece(*a, code, [&](const fd::Piece& p) {
    if (p.count <= 0 || p.first < 0 || p.first + p.count > a->n_points) return;
    double ox = p.off_x * os, oy = p.off_y * os;
    if (outline) {
      if (p.count + 1 > kOutlineMax) return;
      if (g.np + p.count + 2 > kOutlineMax + kOutlineJoins) g.flush_fill();
      int first = g.np;
      for (int i = 0; i < p.count; ++i) {
        fd::Point q = fd::point_at(*a, p.first + i);
        g.point(q.x + ox, q.y + oy, g.px[g.np], g.py[g.np]);
        ++g.np;
      }
      g.px[g.np] = g.px[first];
      g.py[g.np] = g.py[first];
      ++g.np;
      if (first > 0) {  // back to the polygon's start, so that the joins cancel in pairs
        g.px[g.np] = g.px[0];
        g.py[g.np] = g.py[0];
        ++g.np;
      }
      return;
    }
    double x, y;
    fd::Point q = fd::point_at(*a, p.first);
    g.point(q.x + ox, q.y + oy, x, y);
    qqstrt(ctx, x, y);
    if (p.count == 1) qqconn(ctx, x, y);
    for (int i = 1; i < p.count; ++i) {
      q = fd::point_at(*a, p.first + i);
      g.point(q.x + ox, q.y + oy, x, y);
      qqconn(ctx, x, y);
    }
  });
  if (outline) g.flush_fill();
}

// --- instruction codes

namespace {

struct InstParam {
  enum Kind { kNone, kReset, kNumber, kBad } kind = kNone;
  double value = 0;
  bool integer = true;
};

InstParam parse_param(const std::string& p) {
  InstParam r;
  if (p.empty()) return r;
  if (p.size() == 1 && (p[0] == 'X' || p[0] == 'x')) {
    r.kind = InstParam::kReset;
    return r;
  }
  size_t i = 0;
  bool digits = false;
  int points = 0;
  if (p[0] == '-') i = 1;
  for (; i < p.size(); ++i) {
    if (p[i] >= '0' && p[i] <= '9') {
      digits = true;
    } else if (p[i] == '.') {
      if (++points > 1) break;
    } else {
      break;
    }
  }
  if (i != p.size() || !digits) {
    r.kind = InstParam::kBad;
    return r;
  }
  r.kind = InstParam::kNumber;
  r.value = std::strtod(p.c_str(), nullptr);
  r.integer = points == 0;
  return r;
}

}  // namespace

void TextRun::execute_instruction() {
  if (inst.empty()) return;
  char cmd = inst[0];
  if (cmd >= 'a' && cmd <= 'z') cmd = static_cast<char>(cmd - 'a' + 'A');
  InstParam p = parse_param(inst.substr(1));
  auto bad_param = [&] { warn_code(ctx, 43); };
  auto bad_tab = [&] { warn_code(ctx, 44); };
  auto no_int = [&] { warn_code(ctx, 45); };
  const bool alone = p.kind == InstParam::kNone, reset = p.kind == InstParam::kReset;
  if (p.kind == InstParam::kBad) {
    if (std::strchr("ACDUEIFGPHJLVKMNORSTWYZ", cmd)) {
      no_int();
    } else {
      warn_code(ctx, 46);
    }
    return;
  }
  // a real parameter (alone: dflt); X allowed when `x_ok`
  auto real = [&](double dflt, bool x_ok, double& v) -> int {  // 1 value, 2 reset, 0 error
    if (alone) {
      v = dflt;
      return 1;
    }
    if (reset) {
      if (x_ok) return 2;
      no_int();
      return 0;
    }
    v = p.value;
    return 1;
  };
  auto integer = [&](int dflt, bool x_ok, int& v) -> int {
    if (alone) {
      v = dflt;
      return 1;
    }
    if (reset) {
      if (x_ok) return 2;
      no_int();
      return 0;
    }
    if (!p.integer || std::fabs(p.value) > 1e9) {
      no_int();
      return 0;
    }
    v = static_cast<int>(p.value);
    return 1;
  };
  auto tab = [&](int& t) -> bool {
    int k;
    if (integer(1, false, k) != 1) return false;
    if (k < 1 || k > 20) {
      bad_tab();
      return false;
    }
    t = k - 1;
    return true;
  };
  double v;
  int k, r;
  switch (cmd) {
    case 'A':
      if (real(1, false, v) == 1) u += v * h;
      break;
    case 'C':
      if (integer(1, false, k) == 1) u += k * current_gap();
      break;
    case 'D':
    case 'U':
      r = real(1, true, v);
      if (r == 1) s = (cmd == 'D' ? -v : v) * h;
      if (r == 2) s = 0;
      break;
    case 'E':
    case 'I':
      if (reset) {
        reset_base();
      } else if (!alone) {
        bad_param();
      } else {
        s += cmd == 'E' ? 0.75 * h : -0.35 * h;
        int nh = static_cast<int>(std::lround(0.6 * h));
        h = nh < 1 ? 1 : nh;
      }
      break;
    case 'F':
      if (integer(1, false, k) == 1) {
        if (fixed) {
          u += k * fixfac * kFixedCell * wf * (h - 1);
        } else {
          u += k * (advance_of(alphabet, ' ') - current_gap());
        }
      }
      break;
    case 'G':
      if (tab(k)) u = tabs[k];
      break;
    case 'P':
      if (tab(k)) tabs[k] = u;
      break;
    case 'H':
      r = real(0.6, true, v);
      if (r == 2) {
        h = hstart;
      } else if (r == 1) {
        double nh = v > 0 ? v * h : -v * hstart;
        if (v == 0 || nh > 10000) {
          bad_param();
        } else {
          h = std::max(1, static_cast<int>(std::lround(nh)));
        }
      }
      break;
    case 'J':
    case 'L':
    case 'V':
      if (tab(k)) {
        double from = tabs[k];
        if (cmd == 'V') {
          line(from, s + (h - 1) / 2.0, u, s + (h - 1) / 2.0);
        } else {
          line(from, s - 0.2 * h, u, s - 0.2 * h);
          if (cmd == 'J') line(from, s - 0.35 * h, u, s - 0.35 * h);
        }
      }
      break;
    case 'K':
      r = real(0.8, true, v);
      if (r == 2) {
        fixed = false;
      } else if (r == 1) {
        if (v <= 0) {
          bad_param();
        } else {
          fixed = true;
          fixfac = v;
        }
      }
      break;
    case 'M':
      r = integer(1, true, k);
      if (r == 2) {
        base_alphabet = alphabet = ts.base_alphabet;
      } else if (r == 1) {
        if (k < 1 || k > 6) {
          bad_param();
        } else {
          base_alphabet = alphabet = k;
        }
      }
      break;
    case 'N':
      r = integer(1, true, k);
      if (r == 2) {
        if (draw) qqsclr(ctx, colour_start);
      } else if (r == 1) {
        if (k < 0 || k > 255) {
          bad_param();
        } else if (draw) {
          qqsclr(ctx, k);
          colour_changed = true;
        }
      }
      break;
    case 'O':
      r = real(1, true, v);
      if (r == 1) s += v * h;
      if (r == 2) s = 0;
      break;
    case 'R':
      if (!alone) {
        bad_param();
      } else {
        reset_base();
      }
      break;
    case 'S':
      if (integer(0, false, k) == 1) {
        if (k < 0 || k > 21) {
          bad_param();
        } else {
          double gap = current_gap();
          note_height(h);
          u += h + gap;
          last_gap = gap;
          if (u - gap > maxlen) maxlen = u - gap;
        }
      }
      break;
    case 'T':
      if (integer(0, false, k) == 1) u = k;
      break;
    case 'W':
      r = real(1.0, true, v);
      if (r == 2) {
        wf = ts.width_factor;
      } else if (r == 1) {
        if (!(v > 0 && v < 2)) {
          bad_param();
        } else {
          wf = v;
        }
      }
      break;
    case 'Y':
      r = real(0, true, v);
      if (r == 2) spc = ts.spacing;
      if (r == 1) spc = v;
      break;
    case 'Z':
      r = real(0, true, v);
      if (r == 2) {
        shear = ts.shear;
      } else if (r == 1) {
        if (v < -60 || v > 60) {
          bad_param();
        } else {
          shear = std::fabs(v) < 0.5 ? 0.0 : std::tan(v * ctx.core.deg_factor);
        }
      }
      break;
    default:
      warn_code(ctx, 46);
  }
}

TextExtent TextRun::finish() {
  if (draw && colour_changed) qqsclr(ctx, colour_start);
  TextExtent e;
  e.length = maxlen;
  e.top = top;
  e.bottom = bottom;
  e.end = u;
  e.last_gap = last_gap;
  return e;
}

// --- whole strings

namespace {

TextExtent run_codes(Context& ctx, const CodeString& cs, bool draw, double bx, double by) {
  TextRun run(ctx, draw, bx, by);
  if (!cs.ok) return run.finish();
  if (ctx.text.tex.on) {
    if (draw) {
      // TeX strings are checked in a measuring pass first; a failed string draws nothing
      TextRun probe(ctx, false, bx, by);
      if (tex_run(probe, cs) != 0) return run.finish();
    }
    if (tex_run(run, cs) != 0) return run.finish();
    return run.finish();
  }
  for (int c : cs.codes) run.put(c);
  return run.finish();
}

// Fills a box in text space with the background colour.
void fill_box(Context& ctx, const double* bx, const double* by, int colour) {
  int old = ctx.color.current;
  const TextState& ts = ctx.text;
  if (ts.angle == 0) {
    qqfrec(ctx, bx[0], by[0], bx[2], by[2], colour);
    return;
  }
  qqsclr(ctx, colour);
  FillState saved = ctx.fill;
  set_fill_pattern(ctx, 16);
  qqfpol(ctx, bx, by, 4);
  ctx.fill = saved;
  qqsclr(ctx, old);
}

void page_warning(Context& ctx, const char* what, int x, int y) {
  int ax = x + ctx.core.origin_x, ay = y + ctx.core.origin_y;
  bool xo = ax < 0 || ax > ctx.core.page_w, yo = ay < 0 || ay > ctx.core.page_h;
  if (!xo && !yo) return;
  char t[96];
  std::snprintf(t, sizeof t, "%s (%5d/%5d) out of page", what, x, y);
  warn_text(ctx, xo ? 4 : 5, t);
}

int to_int(double v) {
  if (!(v > -2e9)) return -2000000000;
  if (!(v < 2e9)) return 2000000000;
  return static_cast<int>(v);
}

}  // namespace

TextExtent measure_codes(Context& ctx, const CodeString& cs) { return run_codes(ctx, cs, false, 0, 0); }

TextExtent draw_codes(Context& ctx, const CodeString& cs, double bx, double by) {
  TextExtent e = run_codes(ctx, cs, true, bx, by);
  TextCursor& c = ctx.text.cur;
  c.x = bx + e.end * ctx.text.cos_a;
  c.y = by - e.end * ctx.text.sin_a;
  c.last_gap = e.last_gap;
  c.valid = 1;
  return e;
}

void place_text(Context& ctx, const char* s, double x, double y) {
  TextState& ts = ctx.text;
  CodeString cs = decode_text(ctx, s);
  if (!cs.ok) return;
  if (!std::isfinite(x) || !std::isfinite(y)) {
    count_nan(ctx);
    return;
  }
  const bool cont = x == 999 && y == 999;
  const double h1 = ts.height - 1;
  double bx, by;
  if (cont) {
    bx = ts.cur.x;
    by = ts.cur.y;
  } else {
    int ix = to_int(x), iy = to_int(y);
    page_warning(ctx, "Startpoint", ix, iy);
    bx = ix + h1 * ts.sin_a;
    by = iy + h1 * ts.cos_a;
    ts.cur.start_x = ix;
    ts.cur.start_y = iy;
  }
  const bool boxed = ts.frame != 0 || ts.background >= 0;
  TextExtent pre;
  if (boxed) pre = measure_codes(ctx, cs);
  double bxs[5], bys[5];
  if (boxed) {
    double m = (ts.line_spacing - 1) * ts.height / 2;
    if (m < 0) m = 0;
    double u0 = -m, u1 = pre.length + m;
    double v0 = pre.bottom - m - 0.1 * ts.height, v1 = std::max(pre.top, h1) + m;
    TextRun geo(ctx, false, bx, by);
    geo.to_page(u0, v1, bxs[0], bys[0]);
    geo.to_page(u1, v1, bxs[1], bys[1]);
    geo.to_page(u1, v0, bxs[2], bys[2]);
    geo.to_page(u0, v0, bxs[3], bys[3]);
    bxs[4] = bxs[0];
    bys[4] = bys[0];
    if (ts.background >= 0) fill_box(ctx, bxs, bys, ts.background);
  }
  TextExtent e = draw_codes(ctx, cs, bx, by);
  double ex = bx + e.length * ts.cos_a, ey = by - e.length * ts.sin_a;
  page_warning(ctx, "Endpoint", to_int(ex), to_int(ey));
  if (ts.frame != 0) {
    int n = std::abs(ts.frame);
    double dir = ts.frame > 0 ? 1 : -1;
    for (int k = 0; k < n; ++k) {
      // nested outlines, outwards for a positive thickness
      double d = dir * k;
      double fx[5], fy[5];
      TextRun geo(ctx, false, bx, by);
      double m = (ts.line_spacing - 1) * ts.height / 2;
      if (m < 0) m = 0;
      double u0 = -m - d, u1 = pre.length + m + d;
      double v0 = pre.bottom - m - 0.1 * ts.height - d, v1 = std::max(pre.top, h1) + m + d;
      geo.to_page(u0, v1, fx[0], fy[0]);
      geo.to_page(u1, v1, fx[1], fy[1]);
      geo.to_page(u1, v0, fx[2], fy[2]);
      geo.to_page(u0, v0, fx[3], fy[3]);
      qqstrt(ctx, fx[0], fy[0]);
      for (int i = 1; i < 4; ++i) qqconn(ctx, fx[i], fy[i]);
      qqconn(ctx, fx[0], fy[0]);
    }
  }
}

int text_length_rounded(Context& ctx, const char* s) {
  CodeString cs = decode_text(ctx, s);
  if (!cs.ok) return 0;
  double l = measure_codes(ctx, cs).length;
  return static_cast<int>(l < 0 ? -std::floor(-l + 0.5) : std::floor(l + 0.5));
}

}  // namespace tavero
