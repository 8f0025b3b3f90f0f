// The engines shared by the contour routines: the grid tracer, the line output with labels and
// the calling frame of every routine that draws contour lines, and the band colours of the
// shaded contours.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/context.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Receivers of traced lines (user coordinates unless a sink says otherwise).

class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void begin_line() = 0;                  // the next point starts a new line
  virtual void point(double x, double y) = 0;
  virtual void end_level() = 0;                   // all lines of the level are done
};

// A function on a rectangular grid (x[i], y[j]) or on a curvilinear one (x[i*ny+j],
// y[i*ny+j]); z[i*ny+j] is the value at node (i, j).
struct Grid {
  const double* x;
  const double* y;
  const double* z;
  int nx, ny;
  bool curvilinear;
  double xat(int i, int j) const { return curvilinear ? x[static_cast<long>(i) * ny + j] : x[i]; }
  double yat(int i, int j) const { return curvilinear ? y[static_cast<long>(i) * ny + j] : y[j]; }
  double zat(int i, int j) const { return z[static_cast<long>(i) * ny + j]; }
};

// Traces every line of level c through the grid into out (begin_line before each line, no
// end_level). plain_crossings: a crossing at t = 0 only for equal end values (conpts).
// False when the edge marks could not be allocated (nothing traced).
bool trace_grid(const Grid& g, double c, LineSink& out, bool plain_crossings = false);

// ------------------------------------------------------------------------------------------
// Line output of drawn contour lines: plot conversion, labels and their gaps.

class ContourLine final : public LineSink {
 public:
  // mode: 0 no labels, 1 the level value, 2 the conlab string, 3 gaps only.
  ContourLine(Context& ctx, double level, int mode);
  bool ok() const { return ok_; }
  void begin_line() override { fresh_ = true; }
  void point(double xu, double yu) override;
  void end_level() override;
  // A point already in plot coordinates (relative to the origin shift).
  void plot_point(double x, double y);

 private:
  void collect(double x, double y, double d);
  void draw_out();
  void place_label();
  void write_text(double bx, double by, double ex, double ey);

  Context& ctx_;
  int mode_;
  bool ok_ = true;
  bool fresh_ = true;
  // label geometry
  std::string text_;
  bool number_ = false;
  int height_ = 1;
  double width_ = 0, gap_ = 0, extent_ = 0, window_ = 0, xfac_ = 0.5, xquot_ = 1.5;
  double distance_ = 500;
  // tracking
  std::vector<double> bx_, by_;
  int nb_ = 0;
  bool collecting_ = false;
  double acc_ = 0, due_ = 100, path_ = 0;
  double sx_ = 0, sy_ = 0, px_ = 0, py_ = 0, pang_ = 0;
};

// The frame of contur, contur2, conmat, concrv and contri: legend entry, clipping to the
// axis system, one pass per unit of curve thickness (parallel offsets, labels written once),
// colour and offsets restored. trace feeds one pass into the sink; it returns false when it
// ran out of memory (it has reported it).
void draw_contour_level(Context& ctx, double level, const std::function<bool(LineSink&)>& trace);

// Equidistant grid over the current axis scaling (conmat, getmat); false after message 53.
bool axis_grid(Context& ctx, int nx, int ny, std::vector<double>& x, std::vector<double>& y);

// Non-positive coordinates on a logarithmic axis (message 27); true when the routine may go on.
bool log_values_ok(Context& ctx, const double* x, long nx, const double* y, long ny);

// Reports a message above 100 with its text.
void warn_custom(Context& ctx, int code, const char* text);

// ------------------------------------------------------------------------------------------
// Bands of shaded contours.

struct Bands {
  std::vector<double> level;   // ascending
  std::vector<int> colour;     // per band 0..nlev: colour value, -1 no fill
  int band(double z) const;    // 0..nlev; -1 for a missing value
};

// The common start of conshd, conshd2 and confll (method CELL rules): warning 162, sorted
// levels, colour scaling and band colours. False after a warning (nothing to draw).
bool make_bands(Context& ctx, const double* levels, int nlev, Bands& b);
// Its parts: warning 162 and the levels sorted (pos[k] is the caller's 1-based number of the
// k-th smallest level), and the band colours under the colour scaling as it is set.
void sort_levels(Context& ctx, const double* levels, int nlev, Bands& b, std::vector<int>& pos);
void band_colours(Context& ctx, const std::vector<int>& pos, Bands& b);
// Colour of the caller's level number k (1-based): the user colour or the colour of value v.
int level_colour(const Context& ctx, int k, double v);
// Sets the colour scaling for a shading call (zscale, else the level range).
void shading_scale(Context& ctx, const double* levels, int nlev);

// Convex polygon (user coordinates) cut to the part where the linearly interpolated value
// lies in (lo, hi] (lo = -inf and hi = +inf allowed). Returns the number of points (<= n + 2).
int cut_band(const double* x, const double* y, const double* z, int n, double lo, double hi,
             double* ox, double* oy, double* oz);

// Fills a polygon given in plot coordinates with a colour: cut to the clipping window first so
// that every device takes it as one hardware polygon.
void fill_plot_polygon(Context& ctx, const double* x, const double* y, int n, int colour);
// Converts a user-coordinate polygon and fills it.
void fill_user_polygon(Context& ctx, const double* x, const double* y, int n, int colour);

}  // namespace tavero
