// The streamline engine: vector fields on a rectangular grid or on triangles, the tracing of
// one streamline with Euler or Runge-Kutta steps, and the seeding grid of evenly spaced
// streamlines. Everything works in user coordinates; drawing is left to the callers.
#pragma once
#include <functional>
#include <vector>

#include "core/context.h"

namespace tavero {

// Strictly increasing or strictly decreasing (NaN is neither).
bool strictly_monotonic(const double* a, int n);

// Index i of the interval a[i] .. a[i+1] holding x, for a strictly monotonic array of n >= 2
// values; false outside.
bool grid_interval(const double* a, int n, double x, int& i);

// Arrow heads along a run of plot points (relative plot coordinates), spaced by the ARRO
// value of stmval; on a backward run they point from later to earlier points.
void stream_heads(Context& ctx, const std::vector<double>& px, const std::vector<double>& py,
                  int n, bool backward, double axis_length);

// A vector field that gives its normalised direction at a point.
class DirectionField {
 public:
  virtual ~DirectionField() = default;
  // The unit vector of the field at (x, y); false outside the field or where it vanishes.
  virtual bool direction(double x, double y, double& u, double& v) = 0;
  // Whether (x, y) lies in a cell of the field (a start point can be traced).
  virtual bool covers(double x, double y) = 0;
  double xmin = 0, xmax = 1, ymin = 0, ymax = 1;  // the field's range
  double xspan = 1;                               // the distance that CLOS refers to
  bool in_range(double x, double y) const {
    return x >= xmin && x <= xmax && y >= ymin && y <= ymax;
  }
};

// Bilinear interpolation on an nx x ny grid; element i * ny + j belongs to (xp[i], yp[j]).
class GridField : public DirectionField {
 public:
  GridField(const double* xv, const double* yv, int nx, int ny, const double* xp,
            const double* yp);
  bool direction(double x, double y, double& u, double& v) override;
  bool covers(double x, double y) override;
  // Raw (not normalised) field value; false outside the grid.
  bool value(double x, double y, double& u, double& v);

 private:
  bool cell(double x, double y);
  const double *xv_, *yv_, *xp_, *yp_;
  int nx_, ny_;
  int ci_ = 0, cj_ = 0;  // the cell of the previous evaluation
};

// Linear interpolation on triangles with 1-based vertex numbers.
class TriangleField : public DirectionField {
 public:
  // Throws std::bad_alloc; the vertex numbers must have been checked.
  TriangleField(const double* xv, const double* yv, const double* xp, const double* yp,
                const int* i1, const int* i2, const int* i3, int ntri);
  bool direction(double x, double y, double& u, double& v) override;
  bool covers(double x, double y) override;

 private:
  int locate(double x, double y, double& w1, double& w2, double& w3);
  bool weights(int t, double x, double y, double& w1, double& w2, double& w3) const;
  const double *xv_, *yv_, *xp_, *yp_;
  const int *i1_, *i2_, *i3_;
  int ntri_;
  int last_ = 0;
  int gx_ = 1, gy_ = 1;
  double cw_ = 1, ch_ = 1;
  std::vector<int> start_, list_;  // triangles per bucket (compressed)
};

// One traced streamline: the forward run and the backward run, each beginning with the start
// point.
struct Streamline {
  std::vector<double> fx, fy, bx, by;
  // points of a run as reported (0 when it holds only its start point)
  int forward() const { return fx.size() > 1 ? static_cast<int>(fx.size()) : 0; }
  int backward() const { return bx.size() > 1 ? static_cast<int>(bx.size()) : 0; }
  // The points in flow direction: the backward run reversed, then the forward run.
  void ordered(std::vector<double>& x, std::vector<double>& y) const;
};

// Cells of the separating distance over the field's range, each with the points of the
// streamlines entered so far.
class SeedGrid {
 public:
  // Throws std::bad_alloc.
  SeedGrid(const DirectionField& f, double d);
  // Whether (x, y) lies in the range and the cells and no entered point is closer than
  // factor * d.
  bool free(double x, double y, double factor) const;
  // Throws std::bad_alloc.
  void enter(const std::vector<double>& x, const std::vector<double>& y);
  double d() const { return d_; }

 private:
  bool cell_of(double x, double y, long& i, long& j) const;
  const DirectionField& f_;
  double d_;
  long nx_, ny_;
  std::vector<std::vector<double>> cells_;  // x, y pairs
};

class Tracer {
 public:
  Tracer(DirectionField& f, const StreamOptions& o);
  // Traces from (x0, y0); with a seeding grid the passes stop where the grid is not free
  // (factor TEST), else at the border of the range. Throws std::bad_alloc.
  void trace(double x0, double y0, Streamline& s, const SeedGrid* grid = nullptr);
  double step() const { return h_; }

 private:
  // Returns true when the closing test ended the streamline.
  bool pass(double x0, double y0, double h, bool forward, std::vector<double>& x,
            std::vector<double>& y, const SeedGrid* grid);
  bool advance(double x, double y, double h, double& nx, double& ny);
  DirectionField& f_;
  const StreamOptions& o_;
  double h_;
};

// Evenly spaced streamlines: calls draw(s) for every streamline in the order they are found.
// Seeds of the first streamline are tried at the points (sx[k], sy[k]). Returns false when
// memory ran out (the caller reports message 53).
bool evenly_spaced(DirectionField& f, const StreamOptions& o, const double* sx,
                   const double* sy, long nseeds,
                   const std::function<void(const Streamline&)>& draw);

}  // namespace tavero
