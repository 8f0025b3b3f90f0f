// Label texts of every label type, and the calendar behind date labels and the date routines.
#include <cmath>
#include <cstring>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "core/strutil.h"
#include "text/numfmt.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Calendar: proleptic Gregorian dates <-> days from 1970-01-01.

long long days_from_civil(int y, int m, int d) {
  long long yy = static_cast<long long>(y) - (m <= 2 ? 1 : 0);
  long long era = (yy >= 0 ? yy : yy - 399) / 400;
  long long yoe = yy - era * 400;
  long long mp = (m + 9) % 12;
  long long doy = (153 * mp + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(long long z, int& y, int& m, int& d) {
  z += 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

bool valid_date(int d, int m, int y) {
  if (m < 1 || m > 12 || d < 1 || y < -9999 || y > 99999) return false;
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d > kDays[m - 1]) return false;
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return !(m == 2 && d == 29 && !leap);
}

// Without basdat the day numbers count from 1 January 1970.
long long label_day(const Context& ctx, double v) {
  double day = std::floor(v + 1e-9);
  if (!(std::fabs(day) < 1e9)) day = 0;
  return ctx.axes.base_day + static_cast<long long>(day);
}

namespace {

// ------------------------------------------------------------------------------------------
// Month and day names; '!' shifts the following letter to its accented form.

const char* const kMonths[3][12] = {
    {"January", "February", "March", "April", "May", "June", "July", "August", "September",
     "October", "November", "December"},
    {"Januar", "Februar", "M!arz", "April", "Mai", "Juni", "Juli", "August", "September",
     "Oktober", "November", "Dezember"},
    {"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto", "Septiembre",
     "Octubre", "Noviembre", "Diciembre"}};
const char* const kDays[3][7] = {
    {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"},
    {"Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"},
    {"Lunes", "Martes", "Mi!ercoles", "Jueves", "Viernes", "S!abado", "Domingo"}};

// Appends the first n letters of a name; a shift and its letter count as one.
void append_letters(char* dst, const char* name, int n, int cap) {
  int len = static_cast<int>(std::strlen(dst));
  for (int k = 0; *name && k < n && len < cap - 2; ++k) {
    if (*name == '!' && name[1]) dst[len++] = *name++;
    dst[len++] = *name++;
  }
  dst[len] = 0;
}

void append_number(char* dst, long long v, int width, int cap) {
  char tmp[24];
  int_to_text(v, tmp, sizeof tmp, width, 1);
  append_bounded(dst, tmp, cap - 1);
}

void date_text(const Context& ctx, const DateLabelFormat& f, double v, LabelText& out) {
  int y, m, d;
  long long z = label_day(ctx, v);
  civil_from_days(z, y, m, d);
  int lang = f.lang < 3 ? f.lang : 0;
  long long wd = ((z + 3) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  const int cap = static_cast<int>(sizeof out.s);
  char part[3][40] = {"", "", ""};  // day, month, year
  bool named = false;
  switch (f.day) {
    case 0:
    case 4:
      append_letters(part[0], kDays[lang][wd], f.day == 0 ? 3 : 40, 40);
      append_bounded(part[0], " ", 39);
      append_number(part[0], d, 2, 40);
      named = true;
      break;
    case 1: append_number(part[0], d, 0, 40); break;
    case 3: append_number(part[0], d, 2, 40); break;
    default: break;
  }
  switch (f.month) {
    case 0: append_letters(part[1], kMonths[lang][m - 1], 3, 40); named = true; break;
    case 1: append_number(part[1], m, 0, 40); break;
    case 3: append_number(part[1], m, 2, 40); break;
    case 4: append_letters(part[1], kMonths[lang][m - 1], 40, 40); named = true; break;
    case 5: append_letters(part[1], kMonths[lang][m - 1], 1, 40); named = true; break;
    default: break;
  }
  if (f.year == 0) append_number(part[2], y, 4, 40);
  else if (f.year == 1) append_number(part[2], ((y % 100) + 100) % 100, 2, 40);
  // DMY DYM MDY MYD YDM YMD as indices into part[]
  static const int kOrder[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  // a separator between names reads better as a blank unless the caller chose one
  char sep[2] = {named && !f.sep_given ? ' ' : f.sep, 0};
  out.s[0] = 0;
  for (int i = 0; i < 3; ++i) {
    const char* p = part[kOrder[f.order < 6 ? f.order : 0][i]];
    if (!*p) continue;
    if (out.s[0] && sep[0]) append_bounded(out.s, sep, cap - 1);
    append_bounded(out.s, p, cap - 1);
  }
  if (f.upper) to_upper(out.s);
  out.form = -1;
  out.lang = named ? lang : 0;
}

void two_digits(char* dst, long long v, int cap) { append_number(dst, v, 2, cap); }

void time_text(const Context& ctx, int type, double t, LabelText& out) {
  const int cap = static_cast<int>(sizeof out.s);
  if (!std::isfinite(t)) t = 0;
  t = std::fmod(t, 86400.0);
  long long s = static_cast<long long>(t < 0 ? -std::floor(-t + 0.5) : std::floor(t + 0.5));
  s %= 86400;
  if (s < 0) s += 86400;
  const char* colon = ctx.axes.timopt ? ":" : "";
  out.s[0] = 0;
  long long h = s / 3600, rem = s % 3600;
  if (type == kLabHour) {
    append_number(out.s, ((s + 1800) / 3600) % 24, 0, cap);
  } else if (type == kLabSeco) {
    two_digits(out.s, h, cap);
    append_bounded(out.s, colon, cap - 1);
    two_digits(out.s, rem / 60, cap);
    append_bounded(out.s, colon, cap - 1);
    two_digits(out.s, rem % 60, cap);
  } else {
    long long mi = (rem + 30) / 60;
    if (mi == 60) {
      mi = 0;
      h = (h + 1) % 24;
    }
    two_digits(out.s, h, cap);
    append_bounded(out.s, colon, cap - 1);
    two_digits(out.s, mi, cap);
  }
  out.form = -1;
}

void map_text(Context& ctx, int axis, int type, double d, int ndig, LabelText& out) {
  const int cap = static_cast<int>(sizeof out.s);
  if (!std::isfinite(d)) d = 0;
  if (axis == 1) {
    if (d > 90) d = 180 - d;
    else if (d < -90) d = -180 - d;
  } else if (d > 180 || d < -180) {
    if (std::fabs(d) < 1e6) {
      while (d > 180) d -= 360;
      while (d < -180) d += 360;
    } else {
      d = std::fmod(d + 180, 360.0);
      d += d < 0 ? 180 : -180;
    }
  }
  char exp, res;
  label_shift_chars(ctx, exp, res);
  char num[kNumberBufLen];
  build_number(label_number_state(ctx), NumForm::Float, type == kLabDMap ? d : std::fabs(d), ndig,
               exp, res, num, sizeof num);
  copy_bounded(out.s, num, cap - 1);
  if (type != kLabMapN) {
    char deg[4] = {exp, 'o', res, 0};
    append_bounded(out.s, deg, cap - 1);
  }
  if (std::fabs(d) >= 0.001) {
    char letter = axis == 1 ? (d > 0 ? 'N' : 'S') : (d > 0 ? 'E' : 'W');
    if (type == kLabLMap) letter = static_cast<char>(letter - 'A' + 'a');
    char tail[3] = {' ', letter, 0};
    append_bounded(out.s, tail, cap - 1);
  }
  out.form = type == kLabMapN ? static_cast<int>(NumForm::Float) : static_cast<int>(NumForm::Exp);
}

void number_text(Context& ctx, NumForm form, double x, int ndig, LabelText& out) {
  char exp, res;
  label_shift_chars(ctx, exp, res);
  char num[kNumberBufLen];
  build_number(label_number_state(ctx), form, x, ndig, exp, res, num, sizeof num);
  copy_bounded(out.s, num, static_cast<int>(sizeof out.s) - 1);
  out.form = static_cast<int>(form);
}

inline double pow10(double v) { return std::pow(10.0, v); }

}  // namespace

void label_text(Context& ctx, int axis, const AxisScale& sc, double v, int index, int ndig,
                LabelText& out) {
  const AxisParams& p = ctx.axes.ax[axis];
  out = LabelText{};
  if (ndig == -2) ndig = auto_digits(sc.org, sc.step);
  if (ndig < -1) ndig = -1;
  if (ndig > 100) ndig = 100;
  int type = p.label;
  if (type == kLabMyLab) {
    if (index >= 0 && index < p.nmylab) {
      copy_bounded(out.s, p.mylab[index], static_cast<int>(sizeof out.s) - 1);
      return;
    }
    type = kLabFloat;
  }
  double x = sc.log ? pow10(v) : v;
  switch (type) {
    case kLabNone:
      return;
    case kLabDate:
      date_text(ctx, p.date, x, out);
      return;
    case kLabTime:
    case kLabHour:
    case kLabSeco:
      time_text(ctx, type, x, out);
      return;
    case kLabMap:
    case kLabDMap:
    case kLabLMap:
    case kLabMapN:
      map_text(ctx, axis, type, x, ndig, out);
      return;
    case kLabExp:
    case kLabFExp:
    case kLabXExp: {
      if (!sc.log && std::fabs(x) < 1e-7 && std::fabs(x) < std::fabs(sc.step) / 2) x = 0.0;
      NumForm f = type == kLabExp ? NumForm::Exp : type == kLabFExp ? NumForm::FExp : NumForm::XExp;
      number_text(ctx, f, x, ndig, out);
      return;
    }
    case kLabLog:
    case kLabCLog:
      if (sc.log) number_text(ctx, NumForm::Log, v, ndig, out);
      else number_text(ctx, NumForm::Float, v, ndig, out);
      return;
    case kLabELog:
      number_text(ctx, NumForm::Float, v, ndig, out);
      return;
    default:
      number_text(ctx, NumForm::Float, x, ndig, out);
      return;
  }
}

int axis_label_text(Context& ctx, int axis, double value, char* buf, int cap) {
  if (!buf || cap < 1) return 0;
  buf[0] = 0;
  if (axis < 0 || axis > 2) return 0;
  const AxisScale& sc = ctx.axes.sc[axis];
  int index = -1;
  if (std::fabs(sc.step) > 0) {
    double k = (value - sc.org) / sc.step;
    if (std::fabs(k - std::floor(k + 0.5)) < 1e-6) index = static_cast<int>(std::floor(k + 0.5));
  }
  LabelText t;
  label_text(ctx, axis, sc, value, index, ctx.axes.ax[axis].digits, t);
  return copy_bounded(buf, t.s, cap - 1);
}

int auto_digits(double org, double step) {
  auto whole = [](double x) {
    return std::fabs(x - std::floor(x + 0.5)) <= 1e-7 * std::fmax(1.0, std::fabs(x));
  };
  double p = 1;
  for (int k = 0; k <= 8; ++k, p *= 10)
    if (whole(org * p) && whole(step * p)) return k == 0 ? -1 : k;
  return 8;
}

}  // namespace tavero
