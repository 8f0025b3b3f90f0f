// Tracing the contour lines of one level through a grid. Every cell is split into four
// triangles around its centre, whose value (the mean of the corners) decides saddle cells; a
// line runs with the high side on a fixed hand, so open lines start where they leave the high
// region at the border and closed lines end on the first edge they crossed.
#include <cmath>
#include <new>

#include "contour/contour.h"

namespace tavero {

namespace {

struct Node {
  int i, j;
};

class Tracer {
 public:
  Tracer(const Grid& g, double c, LineSink& out, bool plain)
      : g_(g), c_(c), out_(out), plain_(plain) {}

  bool allocate() {
    const size_t bits = static_cast<size_t>(g_.nx) * static_cast<size_t>(g_.ny);
    try {
      marks_.assign(bits / 32 + 1, 0u);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  // A node is high when its value exceeds the level; equal values and missing values are low.
  bool high(Node n) const { return g_.zat(n.i, n.j) > c_; }

  void run() {
    const int nx = g_.nx, ny = g_.ny;
    // the border first, walking round it, then the interior rows
    for (int i = 1; i <= nx - 1; ++i)
      if (!high({i - 1, 0}) && high({i, 0})) trace({i - 1, 0}, {i, 0});
    for (int j = 1; j <= ny - 1; ++j)
      if (!high({nx - 1, j - 1}) && high({nx - 1, j})) trace({nx - 1, j - 1}, {nx - 1, j});
    for (int i = nx - 2; i >= 0; --i)
      if (!high({i + 1, ny - 1}) && high({i, ny - 1})) trace({i + 1, ny - 1}, {i, ny - 1});
    for (int j = ny - 2; j >= 0; --j)
      if (!high({0, j + 1}) && high({0, j})) trace({0, j + 1}, {0, j});
    for (int j = 1; j <= ny - 2; ++j)
      for (int i = 1; i <= nx - 1; ++i)
        if (!high({i - 1, j}) && high({i, j}) && !marked(i, j)) trace({i - 1, j}, {i, j});
  }

 private:
  struct Pt {
    double x, y, z;
  };

  Pt at(Node n) const { return {g_.xat(n.i, n.j), g_.yat(n.i, n.j), g_.zat(n.i, n.j)}; }

  bool marked(int i, int j) const {
    size_t b = static_cast<size_t>(j) * g_.nx + i;
    return (marks_[b >> 5] >> (b & 31)) & 1u;
  }
  bool test_and_set(int i, int j) {
    size_t b = static_cast<size_t>(j) * g_.nx + i;
    uint32_t m = 1u << (b & 31);
    bool was = marks_[b >> 5] & m;
    marks_[b >> 5] |= m;
    return was;
  }

  // The crossing of the level on the segment from a to b.
  void emit(const Pt& a, const Pt& b) {
    double t;
    if (plain_)
      t = std::fabs(a.z - b.z) < 1e-35 ? 0 : (a.z - c_) / (a.z - b.z);
    else if (std::fabs(a.z - b.z) < 1e-35 || std::fabs(a.z - c_) < 1e-35)
      t = 0;
    else
      t = (a.z - c_) / (a.z - b.z);
    if (!std::isfinite(t)) t = 0.5;  // a missing or infinite value at one end: mid-edge
    out_.point(a.x - (a.x - b.x) * t, a.y - (a.y - b.y) * t);
  }

  bool inside(Node n) const { return n.i >= 0 && n.j >= 0 && n.i < g_.nx && n.j < g_.ny; }

  void trace(Node L, Node H) {
    out_.begin_line();
    // every step crosses one more edge: a bound on the steps guards against any cycle that
    // inconsistent input (infinities, missing values) could make
    long guard = 4L * g_.nx * g_.ny + 8;
    while (guard-- > 0) {
      Pt pl = at(L), ph = at(H);
      emit(ph, pl);
      if (H.i == L.i + 1 && H.j == L.j && test_and_set(H.i, H.j)) return;
      const int rx = -(H.j - L.j), ry = H.i - L.i;
      const Node P{L.i + rx, L.j + ry}, Q{H.i + rx, H.j + ry};
      if (!inside(P)) return;
      const Pt pp = at(P), pq = at(Q);
      Pt pc;
      if (g_.curvilinear) {
        pc.x = (pl.x + ph.x + pp.x + pq.x) / 4;
        pc.y = (pl.y + ph.y + pp.y + pq.y) / 4;
      } else {
        pc.x = (ph.x + pp.x) / 2;
        pc.y = (ph.y + pp.y) / 2;
      }
      // the centre value over the corners that have one
      double s = 0;
      int k = 0;
      for (double v : {pl.z, ph.z, pp.z, pq.z})
        if (std::isfinite(v)) {
          s += v;
          ++k;
        }
      pc.z = k ? s / k : NAN;
      if (!(pc.z > c_)) {
        emit(ph, pc);
        if (!high(Q)) {
          L = Q;
        } else {
          emit(pq, pc);
          if (!high(P)) {
            H = Q;
            L = P;
          } else {
            emit(pp, pc);
            H = P;
          }
        }
      } else {
        emit(pc, pl);
        if (high(P)) {
          H = P;
        } else {
          emit(pc, pp);
          if (!high(Q)) {
            emit(pc, pq);
            L = Q;
          } else {
            L = P;
            H = Q;
          }
        }
      }
    }
  }

  const Grid& g_;
  double c_;
  LineSink& out_;
  bool plain_;
  std::vector<uint32_t> marks_;
};

}  // namespace

bool trace_grid(const Grid& g, double c, LineSink& out, bool plain_crossings) {
  if (g.nx < 2 || g.ny < 2) return true;
  Tracer t(g, c, out, plain_crossings);
  if (!t.allocate()) return false;
  t.run();
  return true;
}

}  // namespace tavero
