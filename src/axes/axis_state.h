// Fields of the context record owned by the axis systems, with their creation defaults: the
// parameters of axes, labels, names and titles, and the scaling of the active axis system.
#pragma once
#include <cstdint>

#include "axes/colorbar.h"

namespace tavero {

struct Context;

inline constexpr int kAxisNameLen = 132;
inline constexpr int kMyLabCount = 100;
inline constexpr int kMyLabLen = 32;

// Label types in the order of the keyword list of `labels`.
enum LabelType : int {
  kLabNone = 0, kLabFloat, kLabExp, kLabLog, kLabCLog, kLabELog, kLabMap, kLabDMap, kLabLMap,
  kLabTime, kLabHour, kLabSeco, kLabMyLab, kLabFExp, kLabDate, kLabMapN, kLabXExp
};

// Kinds of the axis system that opened level 2 or 3.
enum AxisKind : int { kKindNone = -1, kKindGraf = 0, kKindPolar = 1, kKindMap = 2, kKind3d = 3,
                      kKindSmith = 4 };

// The scaling of one axis of the active axis system.
struct AxisScale {
  double a = 0, e = 1, org = 0, step = 1;  // exponents of ten on logarithmic axes
  double f = 1;                            // plot units per scaling unit: (len - 1) / (e - a)
  double start = 0;                        // plot position of a (x: left end, y: lower end)
  int len = 2;
  int log = 0;
  double ulo = 0, uhi = 1;                 // limits in user units, ascending
  int months = 0;                          // month pattern of a date axis (0 = day steps)
};

// Layout of date labels (`labmod`).
struct DateLabelFormat {
  uint8_t year = 0;     // FULL SHOR NONE
  uint8_t day = 3;      // NAME SHOR NONE FULL LONG
  uint8_t month = 3;    // NAME SHOR NONE FULL LONG TINY
  uint8_t lang = 0;     // ENGL GERM SPAN
  uint8_t order = 0;    // DMY DYM MDY MYD YDM YMD
  uint8_t upper = 0;    // NONE UPPE
  char sep = '.';
  uint8_t sep_given = 0;
  uint8_t step = 0;     // 0 automatic; 1.. DAYS MONT QUAR HALF YEAR DMON DYEA QYEA
};

// Parameters of one axis (X, Y, Z).
struct AxisParams {
  int ticks = 2;
  uint8_t ticpos = 0;     // LABE REVE CENT
  uint8_t ticmod = 0;     // NONE DAYS MONT QUAR HALF YEAR DMON HOUR
  int label = kLabFloat;
  int digits = 1;
  int labdis = 24;
  uint8_t labtyp = 0;     // HORI VERT
  uint8_t labjus = 0;     // AUTO LEFT RIGH OUTW INWA
  uint8_t labpos = 0;     // INTE EXTE ALIG
  uint8_t labpos_polar = 0;  // AUTO INSI OUTS LEFT ABOV RIGH BELO CENT
  char name[kAxisNameLen + 1] = "";
  int namdis = 30;
  uint8_t namjus = 0;     // CENT LEFT RIGH
  uint8_t axends = 0;     // NONE NOFI NOLA NOEN ENDS FIRS LAST
  int clr_line = -1, clr_tick = -1, clr_label = -1, clr_name = -1;
  char mylab[kMyLabCount][kMyLabLen + 1] = {};
  int nmylab = 0;
  DateLabelFormat date;
  int log = 0;            // axsscl / scale
  int auto_on = 0;        // setscl
  double dmin = 0, dmax = 0;
  uint8_t noline = 0;
};

struct AxisState {
  AxisParams ax[3];
  // --- global axis parameters
  int ticlen_major = 24, ticlen_minor = 16;
  uint8_t logtic = 0;                     // AUTO FULL
  uint8_t setgrf[4] = {4, 4, 2, 2};       // lower X, left Y, upper X, right Y: NONE..NAME
  int hname = 36;
  uint8_t rvynam = 0, timopt = 0, rgtlab = 0;
  uint8_t expzlb = 0;                     // NONE FIRS BOTH
  // --- titles
  char title[4][kAxisNameLen + 1] = {};
  uint8_t title_underline[4] = {};
  uint8_t titjus = 0, titpos = 0;
  int htitle = 0;
  // --- layout of the next axis system
  int len[3] = {2, 2, 2};
  int pos_x = 0, pos_y = 0;               // lower left corner
  int org_x = 0, org_y = 0;               // origin of a crossed system (axsorg)
  uint8_t pos_is_origin = 0;              // axsorg was given after axspos
  uint8_t form = 0;                       // RECT CROS (Smith charts: IMPE ADMI)
  int frame = 1;
  int frame_color = -1;
  int background = -1;
  uint8_t nofill = 0;                     // no background fill of the axis area
  ColorBar bar;                           // colour bar of colour axis systems
  uint8_t nograf = 0, ax2grf = 0, center = 0, nochek = 0;
  int grace = -1;
  uint8_t neglog_on = 0;
  double neglog = 0;                      // log10 of the replacement value
  int autres_x = 0, autres_y = 0;
  uint8_t autres_on = 0;
  uint8_t polmod_pos = 0, polmod_dir = 0; // RIGH TOP LEFT BOTT; ANTI CLOC
  // --- labels of bars, pies and contours, kept here for the charts and contours
  int bar_label = 0, pie_label = 1, con_label = 0;   // pies show percentages by default
  int bar_digits = 1, pie_data_digits = 1, pie_percent_digits = 1, con_digits = 1;
  int bar_labpos = 0, bar_labtyp = 0, pie_labtyp = 0;
  int con_labdis = 500;            // distance of contour labels along the line
  int bar_label_color = -1, pie_label_color = -1, con_label_color = -1;
  // --- the active axis system
  int kind = kKindNone;
  AxisScale sc[3];
  int crossed = 0;
  double cross_x = 0, cross_y = 0;        // plot position of the user origin (crossed systems)
  double polar_cx = 0, polar_cy = 0, polar_r = 0, polar_f = 1;
  double polar_a0 = 0;                    // angle of 0 in radians (polmod position)
  int polar_dir = 1;                      // +1 anticlockwise, -1 clockwise
  int smith_admittance = 0;
  // Conversion of another axis-system kind (maps): installed by the routine that opens it.
  void (*convert)(Context& ctx, double xu, double yu, double& xp, double& yp) = nullptr;
  void (*invert)(Context& ctx, double xp, double yp, double& xu, double& yu) = nullptr;
  // --- dates (kept across tavini: basdat may be called before it)
  int base_set = 0;
  long long base_day = 0;                 // days from 1970-01-01 of the base date
};

}  // namespace tavero
