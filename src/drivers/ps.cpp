// The PostScript and EPS driver: header with DSC comments, the fixed prolog of short
// procedures, the page placement, then the plot as procedure calls with integer device
// coordinates, and the trailer. The settings psmode and psmeta live here too.
#include "drivers/ps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "core/clock.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/vecout.h"
#include "tavero_api.h"
#include "text/fastfmt.h"

namespace tavero {

namespace {

constexpr double kPtPerUnit = 0.1417322835;  // 72 / 508: device units of 0.05 mm -> points

// The prolog, written unchanged into every file (83 lines).
const char kProlog[] =
R"PS(/cm {0.1417322835 mul} def /rgb {255 div} def /lc 1 string def
/u  { /y exch cm def /x exch cm def newpath  x y moveto } def
/d  { /y exch cm def /x exch cm def x y lineto } def
/p  { stroke } def
/e { /b exch rgb def /g exch rgb def
 /r exch rgb def /v exch cm def /w exch cm def /y exch cm def
 /x exch cm def gsave r g b setrgbcolor newpath x y moveto
 w y lineto w v lineto x v lineto closepath fill grestore } def
/f { /b exch rgb def /g exch rgb def
 /r exch rgb def r g b setrgbcolor } def
/clp {/v exch cm def /w exch cm def /y exch cm def
 /x exch cm def newpath x y moveto
 w y lineto w v lineto x v lineto closepath clip } def
/text { /c1 exch def /a exch def /y exch cm def /x exch cm def
 /Name exch def gsave x y moveto x y translate a rotate c1 0 gt
 { Name stringwidth 2 div neg exch 2 div neg exch rmoveto }
 {} ifelse Name show grestore } def /font { /h exch def
 /s exch def s findfont h scalefont setfont } def
/font2 { /h2 exch def /h1 exch def /s exch def s findfont
 [h2 0 0 h1 0 0] makefont setfont } def
/c { /a exch def /y exch cm def /x exch cm def /i exch def
 gsave x y moveto x y translate a rotate lc 0 i put lc
 stringwidth 2 div neg exch 2 div neg exch rmoveto lc show
 grestore } def
/sec { /b exch rgb def /g exch rgb def /r exch rgb def
 /a2 exch def /a exch def /r2 exch cm def /r1 exch cm def
 /y exch cm def /x exch cm def gsave r g b setrgbcolor newpath
 x y r1 a a2 arc x y r2 a2 a arcn closepath fill grestore } def
/tri { /y3 exch cm def /x3 exch cm def /y2 exch cm def
 /x2 exch cm def /y1 exch cm def /x1 exch cm def
 gsave newpath x1 y1 moveto
 x2 y2 lineto x3 y3 lineto closepath fill grestore } def
/Reencsmalldict 12 dict def
/ReEncodeSmall
{ Reencsmalldict begin
  /NewCodesAndNames exch def
  /NewFontName exch def
  /BaseFontName exch def
  /BaseFontDict
  BaseFontName findfont def
  /NewFont BaseFontDict
  maxlength dict def
  BaseFontDict
  { exch dup /FID ne
    { dup /Encoding eq
      { exch dup length array copy
        NewFont 3 1 roll put
      }
      { exch NewFont 3 1 roll put
      } ifelse
      }
      {pop pop} ifelse
    } forall
    NewFont
    /FontName NewFontName put
    NewCodesAndNames aload pop
    NewCodesAndNames
    length 2 idiv
    { NewFont /Encoding get
    3 1 roll put  } repeat
    NewFontName NewFont
    definefont pop end } def
 /GermanVec [ 8#177 /Adieresis
 8#200 /Odieresis 8#201 /Udieresis 8#202 /adieresis
 8#203 /odieresis 8#204 /udieresis 8#205 /germandbls
 8#206 /Aring     8#207 /Oslash    8#210 /AE
 8#211 /aring     8#212 /oslash    8#213 /ae
 8#214 /Ntilde    8#215 /ntilde    8#216 /Ccedilla
 8#217 /ccedilla  8#220 /Edieresis 8#221 /Idieresis
 8#222 /edieresis 8#223 /idieresis 8#224 /Aacute
 8#225 /Eacute    8#226 /Iacute    8#227 /Oacute
 8#230 /Uacute    8#231 /aacute    8#232 /eacute
 8#233 /iacute    8#234 /oacute    8#235 /uacute
 8#236 /Agrave    8#237 /Egrave    8#240 /Igrave
 8#241 /Ograve    8#242 /Ugrave    8#243 /agrave
 8#244 /egrave    8#245 /igrave    8#246 /ograve
 8#247 /ugrave      8#250 /Acircumflex 8#251 /Ecircumflex
 8#252 /Icircumflex 8#253 /Ocircumflex 8#254 /Ucircumflex
 8#255 /acircumflex 8#256 /ecircumflex 8#257 /icircumflex
 8#260 /ocircumflex 8#261 /ucircumflex 8#262 /Atilde
 8#263 /atilde 8#264 /Otilde 8#265 /otilde 8#266 /Yacute
 8#267 /yacute 8#270 /ydieresis
 8#271 /exclamdown 8#272 /questiondown ] def
)PS";

struct FontInfo {
  const char* name;
  int ascender;
};

const FontInfo kFonts[kPsFontCount] = {
    {"Times-Roman", 683},
    {"Times-Bold", 676},
    {"Times-Italic", 683},
    {"Times-BoldItalic", 699},
    {"Helvetica", 718},
    {"Helvetica-Bold", 718},
    {"Helvetica-Oblique", 718},
    {"Helvetica-BoldOblique", 718},
    {"Helvetica-Narrow", 718},
    {"Helvetica-Narrow-Bold", 718},
    {"Helvetica-Narrow-Oblique", 718},
    {"Helvetica-Narrow-BoldOblique", 718},
    {"NewCenturySchlbk-Roman", 737},
    {"NewCenturySchlbk-Italic", 737},
    {"NewCenturySchlbk-Bold", 737},
    {"NewCenturySchlbk-BoldItalic", 737},
    {"ZapfChancery-MediumItalic", 748},
    {"ZapfDingbats", 685},
    {"Courier", 629},
    {"Courier-Bold", 626},
    {"Courier-Oblique", 629},
    {"Courier-BoldOblique", 626},
    {"AvantGarde-Book", 740},
    {"AvantGarde-Demi", 740},
    {"AvantGarde-BookOblique", 740},
    {"AvantGarde-DemiOblique", 740},
    {"Bookman-Light", 717},
    {"Bookman-LightItalic", 717},
    {"Bookman-Demi", 725},
    {"Bookman-DemiItalic", 732},
    {"Palatino-Roman", 726},
    {"Palatino-Italic", 733},
    {"Palatino-Bold", 720},
    {"Palatino-BoldItalic", 726},
    {"Symbol", 685},
};

// --- number text without printf

// Integer right-aligned in `width` characters ("%*d").
void put_int_w(std::string& s, long long v, int width) {
  char b[fastfmt::kMaxIntLen + 2];
  int n = static_cast<int>(fastfmt::append_int(b, v) - b);
  if (n < width) s.append(static_cast<size_t>(width - n), ' ');
  s.append(b, static_cast<size_t>(n));
}

// Fixed decimals right-aligned in `width` characters ("%*.*f").
void put_fixed_w(std::string& s, double v, int decimals, int width) {
  char b[fastfmt::kMaxFixedLen];
  int n = static_cast<int>(fastfmt::append_fixed(b, v, decimals) - b);
  if (n < width) s.append(static_cast<size_t>(width - n), ' ');
  s.append(b, static_cast<size_t>(n));
}

// vecout::to_int (floor(v + 0.5), clamped to +-2e9) without the library floor: every
// coordinate of a path goes through it.
inline long long round_unit(double v) {
  if (!(v >= -2e9 && v <= 2e9)) return vecout::to_int(v);
  const double t = v + 0.5;
  long long i = static_cast<long long>(t);
  if (static_cast<double>(i) > t) --i;
  return i;
}

// Conversion toward zero ("(int) v"), kept in the int range for absurd page options.
inline long long trunc_unit(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<long long>(std::clamp(v, -2e9, 2e9));
}

// Appends "v " to a text buffer.
inline char* put_int_sp(char* p, long long v) {
  p = fastfmt::append_int(p, v);
  *p++ = ' ';
  return p;
}

// Sutherland-Hodgman against one side of a rectangle: keeps points with sign * (coord - edge)
// >= 0 on axis 0 (x) or 1 (y). The even-odd interior inside the rectangle is unchanged.
void clip_side(std::vector<double>& x, std::vector<double>& y, int axis, double edge,
               double sign) {
  std::vector<double> ox, oy;
  size_t n = x.size();
  ox.reserve(n + 4);
  oy.reserve(n + 4);
  for (size_t i = 0; i < n; ++i) {
    size_t j = i == 0 ? n - 1 : i - 1;
    double ci = axis == 0 ? x[i] : y[i], cj = axis == 0 ? x[j] : y[j];
    bool in_i = sign * (ci - edge) >= 0, in_j = sign * (cj - edge) >= 0;
    if (in_i != in_j) {
      double t = (edge - cj) / (ci - cj);
      double ix = x[j] + t * (x[i] - x[j]), iy = y[j] + t * (y[i] - y[j]);
      if (axis == 0) ix = edge; else iy = edge;
      ox.push_back(ix);
      oy.push_back(iy);
    }
    if (in_i) {
      ox.push_back(x[i]);
      oy.push_back(y[i]);
    }
  }
  x.swap(ox);
  y.swap(oy);
}

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

// ------------------------------------------------------------------------------------------
// the font table

int ps_font_index(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < kPsFontCount; ++i) {
    const char* a = kFonts[i].name;
    const char* b = name;
    while (*a && *b && upper(*a) == upper(*b)) {
      ++a;
      ++b;
    }
    if (!*a && !*b) return i;
  }
  return -1;
}

const char* ps_font_name(int index) {
  return index >= 0 && index < kPsFontCount ? kFonts[index].name : kFonts[0].name;
}

int ps_font_ascender(int index) {
  return index >= 0 && index < kPsFontCount ? kFonts[index].ascender : kFonts[0].ascender;
}

// ------------------------------------------------------------------------------------------
// open: scale, mapping, header, prolog, placement, background

PostScriptDriver::PostScriptDriver(Context& ctx)
    : Driver(ctx), out_(ctx.core.plot_file), lines_(out_, 80) {}

bool PostScriptDriver::open() {
  try {
    write_header();
  } catch (const std::bad_alloc&) {
    warn_code(ctx_, kMsgNoMemory);
    return false;
  }
  np_ = 0;
  line_width_ = 5.0;
  return true;
}

void PostScriptDriver::write_header() {
  const CoreState& c = ctx_.core;
  DeviceState& d = ctx_.dev;
  code_ = c.device;
  eps_ = code_ == 503;
  single_ = ctx_.drv.ps_single != 0;
  double W = std::max(c.page_w, 1), H = std::max(c.page_h, 1);
  turned_ = c.page_w > c.page_h && c.page_mode != 2;

  // paper area in device units, turned with the page
  double pw = 3900, ph = 5600;
  if (c.hw_page_set) {
    pw = 2.0 * c.hw_page_w;
    ph = 2.0 * c.hw_page_h;
  }
  if (turned_) std::swap(pw, ph);
  double s = std::min(pw / W, ph / H);
  if (c.scale_mode == 0) s = std::min(s, 2.0 * vecout::unit_scale(ctx_));
  d.scale = s;
  d.map = turned_ ? DeviceMap{0, s, 0, s, 0, 0, false} : DeviceMap{s, 0, 0, 0, -s, s * H, false};
  d.colour_depth = 24;

  // a scale written as 0.000000 or with hundreds of digits would break the program
  double k = std::isfinite(c.hw_scale) ? std::clamp(c.hw_scale, 1e-6, 1e6) : 1.0;
  double ox = 150, oy = 200;
  if (c.hw_origin_set) {
    ox = 2.0 * c.hw_origin_x;
    oy = 2.0 * c.hw_origin_y;
  }
  double ext_x = turned_ ? H : W, ext_y = turned_ ? W : H;

  std::string h;
  h.reserve(8192);
  h += eps_ ? "%!PS-Adobe-3.0 EPSF-3.0\n" : "%!PS-Adobe-2.0\n";
  h += "%%BoundingBox: ";
  vecout::put_int(h, trunc_unit(ox * kPtPerUnit));
  h += ' ';
  vecout::put_int(h, trunc_unit(oy * kPtPerUnit));
  h += ' ';
  vecout::put_int(h, trunc_unit((ext_x * s * k + ox) * kPtPerUnit + 1));
  h += ' ';
  vecout::put_int(h, trunc_unit((ext_y * s * k + oy) * kPtPerUnit + 1));
  h += "\n%%Creator: TAVERO ";
  vecout::put_version(h);
  h += turned_ ? " L\n" : " P\n";
  DateTime now = now_local();
  char date[16], clock[16];
  format_date(now, date);
  format_time(now, clock);
  h += "%%CreationDate: ";
  h += date;
  h += " , ";
  h += clock;
  h += '\n';
  if (!ctx_.drv.psmeta.empty()) {
    h += ctx_.drv.psmeta;
    h += '\n';
  }
  if (!eps_ && !single_) h += "%%Pages: (atend)\n";
  h += "%%EndComments\n";
  h += single_ ? "%%Page: 1 1\n2 setlinecap 2 setlinejoin\n" : "%%BeginProlog\n";
  h += kProlog;
  if (!single_ && !eps_) h += "%%EndProlog\n%%Page: 1 1\ninitgraphics\n";
  if (c.hw_origin_set) {
    put_int_w(h, trunc_unit(ox), 5);
    h += " cm ";
    put_int_w(h, trunc_unit(oy), 5);
    h += " cm translate ";
  } else {
    h += "  150 cm   200 cm translate ";
  }
  put_fixed_w(h, k, 6, 10);
  if (k >= 99.9999995) h += ' ';  // a full field would run into the next number
  put_fixed_w(h, k, 6, 10);
  h += " scale\n";
  if (!single_ && eps_) h += "%%EndProlog\n%%Page: 1 1\n";
  if (code_ != 501 && ctx_.core.eff_screen_mode != 2) {
    // the page black before anything is drawn
    if (turned_) {
      h += "0 0 ";
      vecout::put_int(h, round_unit(H * s));
      h += ' ';
      vecout::put_int(h, round_unit(W * s));
      h += " 0 0 0 e \n";
    } else {
      h += "0 ";
      vecout::put_int(h, round_unit(H * s));
      h += ' ';
      vecout::put_int(h, round_unit(W * s));
      h += " 0 0 0 0 e \n";
    }
  } else if (!eps_) {
    h += "erasepage\n";
  }
  if (!single_) h += "2 setlinecap 2 setlinejoin\n";
  out_.put(h);
}

// ------------------------------------------------------------------------------------------
// pages and the trailer

void PostScriptDriver::write_page_fill(const DeviceColor& col) {
  const CoreState& c = ctx_.core;
  double s = ctx_.dev.scale;
  double W = std::max(c.page_w, 1), H = std::max(c.page_h, 1);
  char b[160];
  char* p = b;
  if (turned_) {
    p = put_int_sp(p, 0);
    p = put_int_sp(p, 0);
    p = put_int_sp(p, round_unit(H * s));
    p = put_int_sp(p, round_unit(W * s));
  } else {
    p = put_int_sp(p, 0);
    p = put_int_sp(p, round_unit(H * s));
    p = put_int_sp(p, round_unit(W * s));
    p = put_int_sp(p, 0);
  }
  write(b, static_cast<int>(p - b));
  write_color(col, "e ");
}

void PostScriptDriver::new_page() {
  close_recording();
  if (eps_) return;
  end_path();
  write("copypage ");
  lines_.end_line();
  std::string t = "%%Page: 1 ";
  vecout::put_int(t, ctx_.core.page_counter);
  t += ' ';
  write(t.data(), static_cast<int>(t.size()));
  lines_.end_line();
  if ((code_ == 502 || code_ == 504) && ctx_.core.eff_screen_mode != 2) {
    // copypage keeps the old page: the fill must reach beyond a clipping window
    if (clip_on_) write("initclip ");
    write_page_fill(resolve_color(ctx_, 0));
    if (clip_on_) write_clip();
  } else {
    write("erasepage ");
  }
  lines_.end_line();
  t.clear();
  vecout::put_int(t, ctx_.line.cap);
  t += " setlinecap ";
  vecout::put_int(t, ctx_.line.join);
  t += " setlinejoin ";
  // the width in force, so that the new page draws like the last one
  vecout::put_fixed(t, std::max(line_width_, 5.0), 2);
  t += " cm setlinewidth ";
  write(t.data(), static_cast<int>(t.size()));
  lines_.end_line();
  set_color(resolve_color(ctx_, ctx_.color.current));
}

bool PostScriptDriver::finish() {
  close_recording();
  end_path();
  if (single_) {
    write("showpage ");
  } else {
    write("gsave showpage grestore ");
    if (!eps_) {
      lines_.end_line();
      write("%%Trailer ");
      lines_.end_line();
      std::string t = "%%Pages: ";
      put_int_w(t, ctx_.core.page_counter, 8);
      t += ' ';
      write(t.data(), static_cast<int>(t.size()));
      lines_.end_line();
      write("%%EOF ");
    }
  }
  lines_.finish();
  out_.drain();
  return true;
}

void PostScriptDriver::abandon() {
  np_ = 0;
  out_.memory().clear();
}

// ------------------------------------------------------------------------------------------
// the path writer: move / draw / end, 100 points per path, repeated points dropped

void PostScriptDriver::polyline(const double* x, const double* y, int n) {
  if (n <= 0) return;
  pen_move(static_cast<int>(round_unit(x[0])), static_cast<int>(round_unit(y[0])));
  for (int i = 1; i < n; ++i)
    pen_draw(static_cast<int>(round_unit(x[i])), static_cast<int>(round_unit(y[i])));
}

void PostScriptDriver::pen_move(int x, int y) {
  if (np_ > 0) write_path();
  px_[0] = x;
  py_[0] = y;
  np_ = 1;
}

void PostScriptDriver::pen_draw(int x, int y) {
  if (np_ == 0) {
    px_[0] = last_x_;
    py_[0] = last_y_;
    np_ = 1;
  }
  if (np_ > 1 && x == px_[np_ - 1] && y == py_[np_ - 1]) return;
  px_[np_] = x;
  py_[np_] = y;
  if (++np_ == kPathMax) {
    write_path();
    px_[0] = x;
    py_[0] = y;
    np_ = 1;
  }
}

void PostScriptDriver::end_path() {
  if (np_ == 0) return;
  write_path();
  last_x_ = px_[np_ - 1];
  last_y_ = py_[np_ - 1];
  np_ = 0;
}

void PostScriptDriver::write_path() {
  if (np_ < 2) return;  // a lone move draws nothing
  char b[kPathMax * 28 + 8];
  char* p = b;
  if (np_ == 2 && px_[0] == px_[1] && py_[0] == py_[1]) {
    // a dot: stretched 4 units so that it shows
    p = put_int_sp(p, px_[0] - 2LL);
    p = put_int_sp(p, py_[0]);
    std::memcpy(p, "u ", 2);
    p += 2;
    p = put_int_sp(p, px_[1] + 2LL);
    p = put_int_sp(p, py_[1]);
    std::memcpy(p, "d p ", 4);
    p += 4;
  } else {
    p = put_int_sp(p, px_[0]);
    p = put_int_sp(p, py_[0]);
    std::memcpy(p, "u ", 2);
    p += 2;
    for (int i = 1; i < np_; ++i) {
      p = put_int_sp(p, px_[i]);
      p = put_int_sp(p, py_[i]);
      std::memcpy(p, "d ", 2);
      p += 2;
    }
    std::memcpy(p, "p ", 2);
    p += 2;
  }
  write(b, static_cast<int>(p - b));
}

// ------------------------------------------------------------------------------------------
// attributes

void PostScriptDriver::write_color(const DeviceColor& c, const char* op) {
  char b[64];
  char* p = b;
  p = put_int_sp(p, c.r);
  p = put_int_sp(p, c.g);
  p = put_int_sp(p, c.b);
  size_t n = std::strlen(op);
  std::memcpy(p, op, n);
  p += n;
  write(b, static_cast<int>(p - b));
}

void PostScriptDriver::set_color(const DeviceColor& c) {
  close_recording();
  end_path();
  write_color(c, "f ");
}

bool PostScriptDriver::set_line_width(int w, double fraction) {
  close_recording();
  end_path();
  bool hw = ctx_.line.hw_line != 0;
  double lw = 5.0;
  if (hw) lw = fraction < 0.99 ? 5.0 * fraction : std::max(2.0 * w, 5.0);
  lw *= ctx_.core.scale_factor;
  line_width_ = lw;
  std::string t;
  vecout::put_fixed(t, lw, 2);
  t += " cm setlinewidth ";
  write(t.data(), static_cast<int>(t.size()));
  return hw;
}

void PostScriptDriver::set_line_cap(int cap) {
  close_recording();
  end_path();
  std::string t;
  vecout::put_int(t, cap);
  t += " setlinecap ";
  write(t.data(), static_cast<int>(t.size()));
}

void PostScriptDriver::set_line_join(int join) {
  close_recording();
  end_path();
  std::string t;
  vecout::put_int(t, join);
  t += " setlinejoin ";
  write(t.data(), static_cast<int>(t.size()));
}

void PostScriptDriver::set_miter_limit(double limit) {
  close_recording();
  end_path();
  double pw = std::abs(ctx_.line.pen_width);
  long long m = round_unit(std::max(2.0 * pw, 5.0) * limit);
  // PostScript refuses a miter limit below 1: 8 units (1.13) is the least ever written
  if (m < 8) m = 8;
  std::string t;
  vecout::put_int(t, m);
  t += " cm setmiterlimit ";
  write(t.data(), static_cast<int>(t.size()));
}

void PostScriptDriver::set_clip(bool on, const int* rect) {
  close_recording();
  end_path();
  clip_on_ = on && rect;
  if (!clip_on_) {
    write("initclip ");
    return;
  }
  double x1, y1, x2, y2;
  to_device(ctx_, rect[0], rect[1], x1, y1);
  to_device(ctx_, rect[2], rect[3], x2, y2);
  clip_[0] = round_unit(x1);
  clip_[1] = round_unit(y1);
  clip_[2] = round_unit(x2);
  clip_[3] = round_unit(y2);
  write_clip();
}

void PostScriptDriver::write_clip() {
  char b[112];
  char* p = b;
  std::memcpy(p, "initclip ", 9);
  p += 9;
  p = put_int_sp(p, clip_[0]);
  p = put_int_sp(p, clip_[1]);
  p = put_int_sp(p, clip_[2]);
  p = fastfmt::append_int(p, clip_[3]);
  std::memcpy(p, " clp ", 5);
  p += 5;
  write(b, static_cast<int>(p - b));
}

// ------------------------------------------------------------------------------------------
// fills

bool PostScriptDriver::fill_rect(double x1, double y1, double x2, double y2,
                                 const DeviceColor& c) {
  close_recording();
  end_path();
  double dx1, dy1, dx2, dy2;
  to_device(ctx_, x1, y1, dx1, dy1);
  to_device(ctx_, x2, y2, dx2, dy2);
  long long X1 = round_unit(dx1), Y1 = round_unit(dy1);
  long long X2 = round_unit(dx2), Y2 = round_unit(dy2);
  // a rectangle of no width still shows as a thin bar
  if (X1 == X2) {
    X1 -= 2;
    X2 += 2;
  }
  if (Y1 == Y2) {
    Y1 -= 2;
    Y2 += 2;
  }
  char b[96];
  char* p = b;
  p = put_int_sp(p, X1);
  p = put_int_sp(p, Y1);
  p = put_int_sp(p, X2);
  p = put_int_sp(p, Y2);
  write(b, static_cast<int>(p - b));
  write_color(c, "e ");
  return true;
}

bool PostScriptDriver::fill_polygon(const double* x, const double* y, int n) {
  if (n < 3) return false;
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) return false;
  end_path();
  // The device keeps no clip for the page itself: a polygon reaching outside the clipping
  // window is cut to it here, so nothing lands outside the page or the EPS box.
  const int* w = ctx_.line.clip;
  double cx1, cy1, cx2, cy2;
  to_device(ctx_, w[0], w[1], cx1, cy1);
  to_device(ctx_, w[2], w[3], cx2, cy2);
  double lox = std::min(cx1, cx2), hix = std::max(cx1, cx2);
  double loy = std::min(cy1, cy2), hiy = std::max(cy1, cy2);
  bool inside = true;
  for (int i = 0; i < n && inside; ++i)
    inside = x[i] >= lox && x[i] <= hix && y[i] >= loy && y[i] <= hiy;
  std::vector<double> vx, vy;
  const double* px = x;
  const double* py = y;
  int m = n;
  if (!inside) {
    try {
      vx.assign(x, x + n);
      vy.assign(y, y + n);
      clip_side(vx, vy, 0, lox, 1);
      if (!vx.empty()) clip_side(vx, vy, 0, hix, -1);
      if (!vx.empty()) clip_side(vx, vy, 1, loy, 1);
      if (!vx.empty()) clip_side(vx, vy, 1, hiy, -1);
    } catch (const std::bad_alloc&) {
      warn_code(ctx_, kMsgNoMemory);
      return true;
    }
    if (vx.size() < 3) return true;  // nothing of it inside the window
    px = vx.data();
    py = vy.data();
    m = static_cast<int>(vx.size());
  }
  char b[64];
  char* p = b;
  long long x0 = round_unit(px[0]), y0 = round_unit(py[0]);
  p = put_int_sp(p, x0);
  p = put_int_sp(p, y0);
  std::memcpy(p, "u ", 2);
  p += 2;
  write(b, static_cast<int>(p - b));
  for (int i = 1; i <= m; ++i) {
    p = b;
    p = put_int_sp(p, i < m ? round_unit(px[i]) : x0);
    p = put_int_sp(p, i < m ? round_unit(py[i]) : y0);
    std::memcpy(p, "d ", 2);
    p += 2;
    write(b, static_cast<int>(p - b));
  }
  write("eofill ");
  return true;
}

// ------------------------------------------------------------------------------------------
// device text

double PostScriptDriver::page_angle_to_device(double angle) const {
  return turned_ ? angle + 90.0 : angle;
}

// Lines still buffered in the core go out first, so text keeps its place in the drawing order.
void PostScriptDriver::sync() {
  close_recording();
  qqflsh(ctx_);
  emit_flush(ctx_);
  end_path();
}

bool PostScriptDriver::hw_char(int code, double x, double y, double angle) {
  if (code < 0 || code > 255) return false;
  sync();
  char b[96];
  char* p = b;
  p = put_int_sp(p, code);
  p = put_int_sp(p, round_unit(x));
  p = put_int_sp(p, round_unit(y));
  p = put_int_sp(p, round_unit(page_angle_to_device(angle)));
  std::memcpy(p, "c ", 2);
  p += 2;
  write(b, static_cast<int>(p - b));
  return true;
}

void PostScriptDriver::select_font(int index, double size, double width_size) {
  sync();
  const char* name = ps_font_name(index);
  std::string t;
  t += '(';
  t += name;
  t += ") (";
  t += name;
  t += "-German) GermanVec ReEncodeSmall (";
  t += name;
  t += "-German) ";
  vecout::put_fixed(t, size, 1);
  if (width_size > 0 && width_size != size) {
    t += ' ';
    vecout::put_fixed(t, width_size, 1);
    t += " font2 ";
  } else {
    t += " font ";
  }
  write(t.data(), static_cast<int>(t.size()));
}

void PostScriptDriver::show_text(const char* text, int n, double x, double y, double angle,
                                 bool centred) {
  if (!text || n <= 0) return;
  sync();
  // The string is one word for the line writer: blanks and other bytes outside the printable
  // range become octal escapes; a long string is continued with backslash-newline.
  std::string t = "(";
  int run = 1;
  for (int i = 0; i < n; ++i) {
    unsigned char ch = static_cast<unsigned char>(text[i]);
    if (run >= 72) {
      t += "\\\n";
      run = 0;
    }
    if (ch == '(' || ch == ')' || ch == '\\') {
      t += '\\';
      t += static_cast<char>(ch);
      run += 2;
    } else if (ch <= ' ' || ch >= 127) {
      char e[5] = {'\\', static_cast<char>('0' + (ch >> 6)), static_cast<char>('0' + ((ch >> 3) & 7)),
                   static_cast<char>('0' + (ch & 7)), 0};
      t += e;
      run += 4;
    } else {
      t += static_cast<char>(ch);
      ++run;
    }
  }
  t += ") ";
  vecout::put_int(t, round_unit(x));
  t += ' ';
  vecout::put_int(t, round_unit(y));
  t += ' ';
  vecout::put_int(t, round_unit(page_angle_to_device(angle)));
  t += centred ? " 1 text " : " 0 text ";
  write(t.data(), static_cast<int>(t.size()));
}

// ------------------------------------------------------------------------------------------
// reusable drawings: the first copies are drawn, then one becomes the procedure S<n>, run
// where it was drawn and, for the others, under the translation between the rounded
// reference points (whole device units, so every copy lands on the integers direct drawing
// would write).

namespace {
constexpr int kDirectCopies = 2;
}  // namespace

Reuse PostScriptDriver::begin_reuse(const ReuseOffer& o) {
  if (rec_ || o.n < 1 || o.n > 64) return Reuse::kDraw;
  long long pattern[128];
  const long long rx = round_unit(o.x), ry = round_unit(o.y);
  for (int i = 0; i < o.n; ++i) {
    pattern[2 * i] = round_unit(o.vx[i]) - rx;
    pattern[2 * i + 1] = round_unit(o.vy[i]) - ry;
  }
  ReuseTable::Entry* e = copies_.find(o.key, pattern, 2 * o.n);
  if (!e || !e->usable) return Reuse::kDraw;
  if (e->number) {
    place_copy(*e, rx, ry);
    return Reuse::kPlaced;
  }
  if (++e->seen <= kDirectCopies) return Reuse::kDraw;
  end_path();
  e->number = ++ncopies_;
  e->rx = rx;
  e->ry = ry;
  char b[40];
  char* p = b;
  *p++ = '/';
  *p++ = 'S';
  p = fastfmt::append_int(p, e->number);
  std::memcpy(p, " { ", 3);
  p += 3;
  write(b, static_cast<int>(p - b));
  rec_ = e;
  return Reuse::kRecord;
}

void PostScriptDriver::end_reuse() {
  if (!rec_) return;
  ReuseTable::Entry* e = rec_;
  end_path();
  write("} def ");
  rec_ = nullptr;
  place_copy(*e, e->rx, e->ry);
}

// Anything but lines and fills during a recording ends it; such a drawing is not repeated.
void PostScriptDriver::close_recording() {
  if (!rec_) return;
  rec_->usable = false;
  end_reuse();
}

void PostScriptDriver::place_copy(const ReuseTable::Entry& e, long long rx, long long ry) {
  end_path();
  char b[96];
  char* p = b;
  const bool moved = rx != e.rx || ry != e.ry;
  if (moved) {
    std::memcpy(p, "gsave ", 6);
    p = put_int_sp(p + 6, rx - e.rx);
    std::memcpy(p, "cm ", 3);
    p = put_int_sp(p + 3, ry - e.ry);
    std::memcpy(p, "cm translate ", 13);
    p += 13;
  }
  *p++ = 'S';
  p = fastfmt::append_int(p, e.number);
  *p++ = ' ';
  if (moved) {
    std::memcpy(p, "grestore ", 9);
    p += 9;
  }
  write(b, static_cast<int>(p - b));
}

Driver* make_ps_driver(Context& ctx) { return new PostScriptDriver(ctx); }

// ------------------------------------------------------------------------------------------
// settings: psmode, psmeta

void psmode(const char* copt) {
  Context* ctx = enter(R::psmode);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+GREE+ITAL+BOTH+MULT+SING", 6, copt);
  if (!k) return;
  // alphabets and page structure are both fixed once the file is open
  if (ctx->core.level != 0) {
    warn_number(*ctx, kMsgIncorrectLevel, ctx->core.level);
    return;
  }
  if (k <= 4)
    ctx->drv.psmode = k - 1;
  else
    ctx->drv.ps_single = k - 5;
}

void psmeta(const char* ckey, const char* cstr) {
  Context* ctx = enter(R::psmeta);
  if (!ctx) return;
  if (!lookup_keyword(*ctx, "INFO", 1, ckey)) return;
  try {
    std::string line = cstr ? cstr : "";
    // one header line: line breaks would end the comment and run the rest as code
    for (char& ch : line)
      if (ch == '\n' || ch == '\r') ch = ' ';
    // a header line is a comment; text without the comment mark gets one
    std::string stored;
    if (!line.empty() && line[0] != '%') stored.push_back('%');
    stored += line;
    ctx->drv.psmeta = std::move(stored);
  } catch (const std::bad_alloc&) {
    ctx->drv.psmeta.clear();
    warn_code(*ctx, kMsgNoMemory);
  }
}

}  // namespace tavero
