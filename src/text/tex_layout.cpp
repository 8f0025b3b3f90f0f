// TeX mode: layout of the box tree (sizes bottom-up) and its drawing through the text run.
// Glyph extents come from the stroke font data; structures (fraction lines, root signs,
// accents, grown brackets) are drawn as lines in text space.
#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "core/context.h"
#include "draw/pipeline.h"
#include "text/fontdata/fontdata.h"
#include "text/tex.h"

namespace tavero::tex {

namespace fd = fontdata;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Extent {
  double asc = 0, desc = 0;
};

// Lowest and highest y of a glyph in grid units (hi < lo: no strokes), kept per alphabet: every
// string in TeX mode asks for them several times.
void glyph_rows(const fd::Alphabet& a, int code, double& lo, double& hi) {
  thread_local std::unordered_map<const fd::Alphabet*, std::vector<float>> cache;
  std::vector<float>& rows = cache[&a];
  if (rows.empty()) rows.assign(2 * static_cast<size_t>(a.n_chars + 1), std::nanf(""));
  float* r = &rows[2 * static_cast<size_t>(code - 32)];
  if (std::isnan(r[0])) {
    double l = 1e9, h = -1e9;
    fd::for_each_piece(a, code, [&](const fd::Piece& p) {
      const double oy = p.off_y * fd::offset_scale(a);
      for (int i = 0; i < p.count; ++i) {
        const double y = fd::point_at(a, p.first + i).y + oy;
        l = std::min(l, y);
        h = std::max(h, y);
      }
    });
    r[0] = static_cast<float>(l);
    r[1] = static_cast<float>(h);
  }
  lo = r[0];
  hi = r[1];
}

class Layout {
 public:
  Layout(TextRun& run, Tree& t) : run_(run), t_(t), tex_(run.ts.tex) {
    font_ = fd::stroke_font(run.ts.font);
    if (!font_) font_ = fd::stroke_font(1);
  }

  void run() {
    if (t_.root < 0) return;
    size(t_.root);
    const Node& r = t_.nodes[t_.root];
    if (run_.draw) draw(t_.root, 0, 0);
    run_.h = run_.hstart;
    run_.s = 0;
    run_.italic = false;
    run_.u = r.w;
    run_.maxlen = std::max(0.0, r.ink());
    run_.last_gap = r.tg;
    run_.top = std::max(0.0, r.asc);
    // descenders of ordinary letters stay inside the box of plain text
    run_.bottom = std::min(0.0, -r.desc + 0.25 * (run_.hstart - 1));
    run_.any_char = true;
  }

 private:
  // --- glyph metrics

  const fd::Alphabet* alphabet_for(int alph, int& code) const {
    const fd::Alphabet* a = font_->alphabets[std::clamp(alph, 1, 6) - 1];
    if (!a) a = font_->alphabets[0];
    if (code < 32 || code > 31 + a->n_chars) code = 32;
    if (code != 32 && a->index[a->records[code - 33]] <= 1) {
      const fd::Alphabet* stan = font_->alphabets[0];
      if (a != stan && code <= 31 + stan->n_chars && stan->index[stan->records[code - 33]] > 1) return stan;
      code = 32;
    }
    return a;
  }

  // Vertical extent of a glyph at height h (plot units).
  Extent glyph_extent(int alph, int code, int h) const {
    Extent e;
    const fd::Alphabet* a = alphabet_for(alph, code);
    if (code == 32) return e;
    double lo, hi;
    glyph_rows(*a, code, lo, hi);
    if (lo > hi) return e;
    const double ys = (h - 1.0) / a->grid_h;
    e.asc = std::max(0.0, hi * ys);
    e.desc = std::max(0.0, -lo * ys);
    return e;
  }

  double advance(int alph, int code, int h, double& gap) {
    run_.h = h;
    return run_.advance_of(alph, code, &gap);
  }

  // The math axis: the middle of the plus sign.
  double axis(int h) const {
    Extent e = glyph_extent(3, '+', h);
    if (e.asc <= 0) return 0.45 * (h - 1);
    return (e.asc - e.desc) / 2;
  }

  // Extent of the font's own bracket beside text of height h ('(' for brackets it lacks).
  Extent natural_bracket(int c, int h) const {
    Extent e = glyph_extent(1, c > 32 && c < 127 && c != 'd' ? c : '(', h);
    if (e.asc + e.desc < 0.5 * (h - 1)) e = glyph_extent(1, '(', h);
    if (e.asc + e.desc <= 0) e.asc = h - 1, e.desc = 0.3 * (h - 1);
    return e;
  }

  double bracket_width(int c, double hb, int h) const {
    const double f = tex_.wbra;
    switch (c) {
      case 0:
      case '.': return 0;
      case '|': return 0.2 * h;
      case 'd': return 0.35 * h;
      case '/': return f * (0.1 * h + 0.25 * hb);
      case '<':
      case '>': return f * (0.15 * h + 0.15 * hb);
      case '{':
      case '}': return f * (0.3 * h + 0.05 * hb);
      default: return f * (0.22 * h + 0.04 * hb);
    }
  }

  // --- sizes

  void size(int i) {
    Node& n = t_.nodes[i];
    switch (n.kind) {
      case Kind::kGlyph:
      case Kind::kMirrored: {
        double gap;
        n.w = advance(n.alph, n.code, n.h, gap);
        n.tg = gap;
        Extent e = glyph_extent(n.alph, n.code, n.h);
        if (n.op) n.shift = axis(n.hc > 0 ? n.hc : n.h) - (e.asc - e.desc) / 2;
        n.asc = e.asc + n.shift;
        n.desc = e.desc - n.shift;
        break;
      }
      case Kind::kSpace:
        n.w = n.space;
        break;
      case Kind::kList: {
        double x = 0;
        for (int k : n.kids) {
          size(k);
          const Node& c = t_.nodes[k];
          x += c.w;
          n.asc = std::max(n.asc, c.asc);
          n.desc = std::max(n.desc, c.desc);
          n.tg = c.tg;
        }
        n.w = x;
        break;
      }
      case Kind::kScripts:
        size_scripts(n, i);
        break;
      case Kind::kFrac: {
        size(n.a);
        size(n.b);
        Node& f = t_.nodes[i];
        const Node &N = t_.nodes[f.a], &D = t_.nodes[f.b];
        const double hc = f.h, ax = axis(f.h), gap = 0.12 * hc, pad = 0.15 * hc;
        const double inner = std::max(N.ink(), D.ink());
        f.w = inner + 2 * pad;
        f.tg = 0;
        f.ax = pad + (inner - N.ink()) / 2;
        f.av = ax + gap + N.desc;
        f.bx = pad + (inner - D.ink()) / 2;
        f.bv = ax - gap - D.asc;
        f.asc = f.av + N.asc;
        f.desc = std::max(0.0, D.desc - f.bv);
        f.shift = ax;
        break;
      }
      case Kind::kRoot:
        size_root(i);
        break;
      case Kind::kAccent:
        size_accent(i);
        break;
      case Kind::kDelim:
        size_delim(i);
        break;
      case Kind::kNegated: {
        size(n.a);
        Node& g = t_.nodes[i];
        const Node& b = t_.nodes[g.a];
        double gap;
        const double sw = advance(3, '/', g.h, gap) - gap;
        Extent e = glyph_extent(3, '/', g.h);
        g.bx = (b.ink() - sw) / 2;
        g.bv = (b.asc - b.desc) / 2 - (e.asc - e.desc) / 2;
        g.w = std::max(b.w, sw + gap);
        g.tg = b.w >= sw + gap ? b.tg : gap;
        g.asc = std::max(b.asc, g.bv + e.asc);
        g.desc = std::max(b.desc, e.desc - g.bv);
        break;
      }
      case Kind::kShifted: {
        size(n.a);
        Node& m = t_.nodes[i];
        const Node& c = t_.nodes[m.a];
        // as the plain engine: raised by the outer height, lowered by the inner one
        m.av = m.accent > 0 ? m.h * run_.ts.base_factor : -c.h * run_.ts.base_factor;
        m.w = c.w;
        m.tg = c.tg;
        m.asc = std::max(0.0, m.av + c.asc);
        m.desc = std::max(0.0, c.desc - m.av);
        break;
      }
      case Kind::kCircled: {
        const double r = 0.5 * (n.h - 1);
        n.ax = 0.05 * n.h + r;                 // centre
        n.av = 0.5 * (n.h - 1);
        n.w = 2 * r + 0.1 * n.h + 0.2 * n.h;
        n.tg = 0.2 * n.h;
        n.asc = n.av + r;
        n.desc = std::max(0.0, r - n.av);
        break;
      }
    }
  }

  void size_scripts(Node& n0, int i) {
    if (n0.a >= 0) size(n0.a);
    if (n0.b >= 0) size(n0.b);
    if (n0.c >= 0) size(n0.c);
    Node& n = t_.nodes[i];
    Node none;
    const Node& B = n.a >= 0 ? t_.nodes[n.a] : none;
    const Node* P = n.b >= 0 ? &t_.nodes[n.b] : nullptr;
    const Node* Q = n.c >= 0 ? &t_.nodes[n.c] : nullptr;
    const double hc = n.h;
    const int lim = B.limits;
    if (B.op && lim == 1) {
      const double gap = 0.12 * hc;
      double inner = B.ink();
      if (P) inner = std::max(inner, P->ink());
      if (Q) inner = std::max(inner, Q->ink());
      n.ax = (inner - B.ink()) / 2;
      n.av = 0;
      n.asc = B.asc;
      n.desc = B.desc;
      if (P) {
        n.bx = (inner - P->ink()) / 2;
        n.bv = B.asc + gap + P->desc;
        n.asc = std::max(n.asc, n.bv + P->asc);
      }
      if (Q) {
        n.cx = (inner - Q->ink()) / 2;
        n.cv = -(B.desc + gap + Q->asc);
        n.desc = std::max(n.desc, -n.cv + Q->desc);
      }
      n.w = inner + B.tg;
      n.tg = B.tg;
      return;
    }
    const bool tall = n.a >= 0 && (B.kind != Kind::kGlyph || B.op);
    double up = 0, down = 0;
    if (P) {
      up = std::max(0.5 * hc, P->desc + 0.25 * hc);
      if (tall) up = std::max(up, B.asc - 0.5 * P->asc);
    }
    if (Q) {
      down = std::max(0.3 * hc, Q->asc - 0.55 * hc);
      if (tall) down = std::max(down, B.desc - 0.3 * Q->asc);
    }
    if (P && Q) {
      const double clear = (up - P->desc) - (Q->asc - down);
      if (clear < 0.15 * hc) down += 0.15 * hc - clear;
    }
    n.ax = n.av = 0;
    n.bx = n.cx = B.w;
    n.bv = up;
    n.cv = -down;
    n.asc = B.asc;
    n.desc = B.desc;
    double sw = 0, stg = 0;
    if (P) {
      n.asc = std::max(n.asc, up + P->asc);
      n.desc = std::max(n.desc, P->desc - up);
      sw = P->w;
      stg = P->tg;
    }
    if (Q) {
      n.desc = std::max(n.desc, down + Q->desc);
      if (Q->w > sw) {
        sw = Q->w;
        stg = Q->tg;
      }
    }
    n.w = B.w + sw;
    n.tg = stg;
  }

  void size_root(int i) {
    Node& n0 = t_.nodes[i];
    size(n0.a);
    if (n0.b >= 0) size(n0.b);
    Node& n = t_.nodes[i];
    const Node& B = t_.nodes[n.a];
    const double hc = n.h, extra = 0.15 * hc;
    const double top = std::max(B.asc, 0.7 * (hc - 1)) + extra;
    const double bot = std::max(B.desc, 0.1 * hc);
    const double H = top + bot;
    const double sw = 0.45 * hc + 0.05 * H;
    double x0 = 0;
    n.asc = top;
    if (n.b >= 0) {
      const Node& I = t_.nodes[n.b];
      x0 = std::max(0.0, I.ink() - 0.5 * sw);
      n.bx = x0 + 0.5 * sw - I.ink();
      n.bv = -bot + 0.5 * H + I.desc + 0.05 * hc;
      n.asc = std::max(n.asc, n.bv + I.asc);
    }
    n.cx = x0;                               // start of the sign
    n.cv = sw;                               // its width
    n.shift = bot;
    n.ax = x0 + sw + 0.1 * hc;
    n.av = 0;
    const double end = n.ax + B.ink() + 0.15 * hc;
    n.space = end;                           // end of the bar
    n.tg = 0.15 * hc;
    n.w = end + n.tg;
    n.desc = bot;
  }

  void size_accent(int i) {
    Node& n0 = t_.nodes[i];
    size(n0.a);
    Node& n = t_.nodes[i];
    const Node& B = t_.nodes[n.a];
    const double hc = n.h;
    n.w = B.w;
    n.tg = B.tg;
    n.asc = B.asc;
    n.desc = B.desc;
    switch (n.accent) {
      case kOverline: n.asc = B.asc + 0.2 * hc; break;
      case kUnderline: n.desc = B.desc + 0.2 * hc; break;
      case kHat: n.asc = B.asc + 0.4 * hc; break;
      case kTilde: n.asc = B.asc + 0.35 * hc; break;
      case kDot: n.asc = B.asc + 0.3 * hc; break;
      case kVec: n.asc = B.asc + 0.3 * hc; break;
    }
  }

  void size_delim(int i) {
    Node& n0 = t_.nodes[i];
    if (n0.a >= 0) size(n0.a);
    Node& n = t_.nodes[i];
    const double hc = n.h;
    double top, bot, hb, body_w = 0;
    if (n.a >= 0) {
      const Node& C = t_.nodes[n.a];
      top = C.asc;
      bot = C.desc;
      if (C.kids.empty() && C.kind == Kind::kList) top = 0.7 * (hc - 1), bot = 0;
      // never smaller than the bracket of the font beside ordinary text
      const Extent nat = natural_bracket(n.left > 0 && n.left != '.' ? n.left : n.right, n.h);
      const double grown = tex_.h1br * (top + bot) + 0.2 * hc, least = tex_.h2br * (nat.asc + nat.desc);
      const double mid = grown > least ? (top - bot) / 2 : (nat.asc - nat.desc) / 2;
      hb = std::max(grown, least) + 2 * tex_.vbra * hc;
      n.av = mid - hb / 2;
      n.bv = mid + hb / 2;
      body_w = C.ink();
    } else {
      hb = n.big * (hc - 1) + 2 * tex_.vbra * hc;
      const double mid = axis(n.h);
      n.av = mid - hb / 2;
      n.bv = mid + hb / 2;
    }
    const double pad = 0.08 * hc;
    const double bl = bracket_width(n.left, hb, n.h), br = bracket_width(n.right, hb, n.h);
    double x = pad;
    n.bx = x;                                 // left bracket
    x += bl + (bl > 0 ? pad : 0);
    n.ax = x;                                 // body
    x += body_w + (n.a >= 0 ? pad : 0);
    n.cx = x;                                 // right bracket
    x += br;
    n.tg = 0.15 * hc;
    n.w = x + n.tg;
    n.asc = std::max(n.bv, n.a >= 0 ? t_.nodes[n.a].asc : 0.0);
    n.desc = std::max(-n.av, n.a >= 0 ? t_.nodes[n.a].desc : 0.0);
  }

  // --- drawing

  void colour(int c) {
    const int want = c < 0 ? run_.colour_start : c;
    if (run_.ctx.color.current != want) {
      qqsclr(run_.ctx, want);
      run_.colour_changed = true;
    }
  }

  void line(double u1, double v1, double u2, double v2) { run_.line(u1, v1, u2, v2); }

  void polyline(const double* u, const double* v, int n) {
    if (!run_.draw || n < 2) return;
    double x, y;
    run_.to_page(u[0], v[0], x, y);
    qqstrt(run_.ctx, x, y);
    for (int k = 1; k < n; ++k) {
      run_.to_page(u[k], v[k], x, y);
      qqconn(run_.ctx, x, y);
    }
  }

  void glyph_at(int alph, int code, int h, bool italic, double u, double v) {
    run_.u = u;
    run_.s = v;
    run_.h = h;
    run_.italic = italic;
    run_.glyph(alph, code);
    run_.italic = false;
  }

  void draw(int i, double u, double v) {
    const Node& n = t_.nodes[i];
    switch (n.kind) {
      case Kind::kGlyph:
        colour(n.colour);
        glyph_at(n.alph, n.code, n.h, n.italic, u, v + n.shift);
        break;
      case Kind::kMirrored: {
        colour(n.colour);
        const double wf = run_.wf;
        run_.wf = -wf;   // x scale negated: the glyph runs leftwards from its right end
        glyph_at(n.alph, n.code, n.h, false, u + n.ink(), v);
        run_.wf = wf;
        break;
      }
      case Kind::kSpace:
        break;
      case Kind::kList: {
        double x = u;
        for (int k : n.kids) {
          draw(k, x, v);
          x += t_.nodes[k].w;
        }
        break;
      }
      case Kind::kScripts:
        if (n.a >= 0) draw(n.a, u + n.ax, v + n.av);
        if (n.b >= 0) draw(n.b, u + n.bx, v + n.bv);
        if (n.c >= 0) draw(n.c, u + n.cx, v + n.cv);
        break;
      case Kind::kFrac: {
        draw(n.a, u + n.ax, v + n.av);
        draw(n.b, u + n.bx, v + n.bv);
        colour(n.colour);
        const double pad = 0.15 * n.h;
        line(u + pad / 2, v + n.shift, u + n.w - pad / 2, v + n.shift);
        break;
      }
      case Kind::kRoot:
        draw_root(n, u, v);
        break;
      case Kind::kAccent:
        draw(n.a, u, v);
        colour(n.colour);
        draw_accent(n, u, v);
        break;
      case Kind::kDelim:
        if (n.a >= 0) draw(n.a, u + n.ax, v);
        colour(n.colour);
        draw_bracket(n.left, u + n.bx, v + n.av, v + n.bv, n.h);
        draw_bracket(n.right, u + n.cx, v + n.av, v + n.bv, n.h);
        break;
      case Kind::kShifted:
        draw(n.a, u, v + n.av);
        break;
      case Kind::kNegated:
        draw(n.a, u, v);
        colour(n.colour);
        glyph_at(3, '/', n.h, false, u + n.bx, v + n.bv);
        break;
      case Kind::kCircled: {
        colour(n.colour);
        const double r = 0.5 * (n.h - 1), cx = u + n.ax, cy = v + n.av;
        double pu[41], pv[41];
        for (int k = 0; k <= 40; ++k) {
          pu[k] = cx + r * std::cos(2 * kPi * k / 40);
          pv[k] = cy + r * std::sin(2 * kPi * k / 40);
        }
        polyline(pu, pv, 41);
        const int hs = std::max(1, static_cast<int>(std::lround(0.55 * n.h)));
        double gap;
        const double w = advance(n.alph, n.code, hs, gap) - gap;
        Extent e = glyph_extent(n.alph, n.code, hs);
        glyph_at(n.alph, n.code, hs, false, cx - w / 2, cy - (e.asc - e.desc) / 2);
        break;
      }
    }
  }

  void draw_root(const Node& n, double u, double v) {
    if (n.b >= 0) draw(n.b, u + n.bx, v + n.bv);
    draw(n.a, u + n.ax, v);
    colour(n.colour);
    const double x0 = u + n.cx, sw = n.cv, y0 = v - n.shift, H = sign_height(n);
    const double pu[5] = {x0, x0 + 0.15 * sw, x0 + 0.5 * sw, x0 + sw, u + n.space};
    const double pv[5] = {y0 + 0.4 * H, y0 + 0.5 * H, y0, y0 + H, y0 + H};
    polyline(pu, pv, 5);
  }

  // Height of the root sign from its lower end to the bar.
  double sign_height(const Node& n) const {
    const Node& B = t_.nodes[n.a];
    const double hc = n.h;
    return std::max(B.asc, 0.7 * (hc - 1)) + 0.15 * hc + n.shift;
  }

  void draw_accent(const Node& n, double u, double v) {
    const Node& B = t_.nodes[n.a];
    const double hc = n.h, ink = std::max(B.ink(), 0.0);
    const double cx = u + ink / 2;
    const double ww = std::clamp(ink, 0.5 * hc, 1.2 * hc);
    switch (n.accent) {
      case kOverline: {
        const double y = v + B.asc + 0.15 * hc;
        line(u, y, u + ink, y);
        break;
      }
      case kUnderline: {
        const double y = v - B.desc - 0.15 * hc;
        line(u, y, u + ink, y);
        break;
      }
      case kHat: {
        const double y = v + B.asc + 0.1 * hc;
        const double pu[3] = {cx - ww / 2, cx, cx + ww / 2};
        const double pv[3] = {y, y + 0.25 * hc, y};
        polyline(pu, pv, 3);
        break;
      }
      case kTilde: {
        const double y = v + B.asc + 0.2 * hc;
        double pu[13], pv[13];
        for (int k = 0; k <= 12; ++k) {
          pu[k] = cx - ww / 2 + ww * k / 12;
          pv[k] = y + 0.08 * hc * std::sin(2 * kPi * k / 12);
        }
        polyline(pu, pv, 13);
        break;
      }
      case kDot: {
        const double y = v + B.asc + 0.2 * hc, r = std::max(0.06 * hc, 0.5);
        double pu[9], pv[9];
        for (int k = 0; k <= 8; ++k) {
          pu[k] = cx + r * std::cos(2 * kPi * k / 8);
          pv[k] = y + r * std::sin(2 * kPi * k / 8);
        }
        polyline(pu, pv, 9);
        line(cx - r / 2, y, cx + r / 2, y);
        break;
      }
      case kVec: {
        const double y = v + B.asc + 0.15 * hc, len = std::max(ink, 0.5 * hc);
        const double x1 = u + len, a = 0.2 * hc;
        line(u, y, x1, y);
        line(x1, y, x1 - a, y + 0.5 * a);
        line(x1, y, x1 - a, y - 0.5 * a);
        break;
      }
    }
  }

  // A bracket in the box x .. x + its width, from yb to yt.
  void draw_bracket(int c, double x, double yb, double yt, int h) {
    if (c == 0 || c == '.') return;
    const double hb = yt - yb, w = bracket_width(c, hb, h), mid = (yb + yt) / 2;
    const bool glyph_form = !tex_.vector_brackets && (c == '(' || c == ')' || c == '[' ||
                                                      c == ']' || c == '{' || c == '}' || c == '|');
    if (glyph_form && font_glyph(c, x, yb, yt, w)) return;
    switch (c) {
      case '(':
      case ')': {
        double pu[17], pv[17];
        for (int k = 0; k <= 16; ++k) {
          const double t = kPi * k / 16;
          const double d = w * (1 - 0.85 * std::sin(t));
          pu[k] = c == '(' ? x + d : x + w - d;
          pv[k] = mid + hb / 2 * std::cos(t);
        }
        polyline(pu, pv, 17);
        break;
      }
      case '[':
      case ']': {
        const double a = c == '[' ? x + w : x, b = c == '[' ? x + 0.15 * w : x + 0.85 * w;
        const double pu[4] = {a, b, b, a}, pv[4] = {yt, yt, yb, yb};
        polyline(pu, pv, 4);
        break;
      }
      case '{':
      case '}': {
        const double e = c == '{' ? x + w : x, m = x + 0.5 * w, tip = c == '{' ? x : x + w;
        const double r = std::min(0.1 * hb, 0.5 * w);
        const double pu[7] = {e, m, m, tip, m, m, e};
        const double pv[7] = {yt, yt - r, mid + r, mid, mid - r, yb + r, yb};
        polyline(pu, pv, 7);
        break;
      }
      case '|':
        line(x + w / 2, yb, x + w / 2, yt);
        break;
      case 'd':
        line(x + 0.25 * w, yb, x + 0.25 * w, yt);
        line(x + 0.75 * w, yb, x + 0.75 * w, yt);
        break;
      case '<':
      case '>': {
        const double a = c == '<' ? x + w : x, b = c == '<' ? x : x + w;
        const double pu[3] = {a, b, a}, pv[3] = {yt, mid, yb};
        polyline(pu, pv, 3);
        break;
      }
      case '/':
        line(x, yb, x + w, yt);
        break;
    }
  }

  // The bracket glyph of the STAN alphabet stretched over yb .. yt and squeezed to width w;
  // false when the font has no such glyph.
  bool font_glyph(int c, double x, double yb, double yt, double w) {
    int code = c;
    const fd::Alphabet* a = alphabet_for(1, code);
    if (code == 32) return false;
    double lo, hi;
    glyph_rows(*a, code, lo, hi);
    if (!(hi > lo)) return false;
    const double hb = yt - yb;
    // glyph height hi - lo grid units -> hb: the character height that gives it
    const double hh = hb * a->grid_h / (hi - lo);
    const int h = std::max(2, static_cast<int>(std::lround(hh + 1)));
    const double ys = (h - 1.0) / a->grid_h;
    double gap;
    const double wf = run_.wf;
    run_.h = h;
    const double natural = run_.advance_of(1, code, &gap) - gap;
    if (natural > 0) run_.wf = wf * w / natural;
    glyph_at(1, code, h, false, x, yb - lo * ys);
    run_.wf = wf;
    return true;
  }

  TextRun& run_;
  Tree& t_;
  const TexSettings& tex_;
  const fd::StrokeFont* font_;
};

}  // namespace

void layout_and_draw(TextRun& run, Tree& tree) {
  Layout l(run, tree);
  l.run();
}

}  // namespace tavero::tex
