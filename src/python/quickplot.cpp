// Quick plots: a complete plot in one call, with axis settings from the variables of setvar.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "python/binding_state.h"
#include "python/convert.h"
#include "tavero_api.h"

namespace tavero_py {

namespace {

enum class VarType { kInt, kDouble, kString };

struct Var {
  const char* name;
  VarType type;
  bool set = false;
  int i = 0;
  double d = 0;
  std::string s;
};

// The 57 variables in table order.
Var g_vars[] = {
    {"ERASE", VarType::kInt}, {"H", VarType::kInt}, {"HNAME", VarType::kInt},
    {"HSYMBL", VarType::kInt}, {"HTITLE", VarType::kInt}, {"INCMRK", VarType::kInt},
    {"MARKER", VarType::kInt}, {"POLCRV", VarType::kString}, {"T1", VarType::kString},
    {"T2", VarType::kString}, {"T3", VarType::kString}, {"T4", VarType::kString},
    {"X", VarType::kString}, {"XAUTO", VarType::kInt}, {"XDIG", VarType::kInt},
    {"XLAB", VarType::kString}, {"XLEN", VarType::kInt}, {"XMAX", VarType::kDouble},
    {"XMIN", VarType::kDouble}, {"XOR", VarType::kDouble}, {"XPOS", VarType::kInt},
    {"XRES", VarType::kInt}, {"XSCL", VarType::kString}, {"XSTEP", VarType::kDouble},
    {"XTIC", VarType::kInt}, {"Y", VarType::kString}, {"YAUTO", VarType::kInt},
    {"YDIG", VarType::kInt}, {"YLAB", VarType::kString}, {"YLEN", VarType::kInt},
    {"YMAX", VarType::kDouble}, {"YMIN", VarType::kDouble}, {"YOR", VarType::kDouble},
    {"YPOS", VarType::kInt}, {"YRES", VarType::kInt}, {"YSCL", VarType::kString},
    {"YSTEP", VarType::kDouble}, {"YTIC", VarType::kInt}, {"Z", VarType::kString},
    {"ZAUTO", VarType::kInt}, {"ZDIG", VarType::kInt}, {"ZLAB", VarType::kString},
    {"ZLEN", VarType::kInt}, {"ZMAX", VarType::kDouble}, {"ZMIN", VarType::kDouble},
    {"ZOR", VarType::kDouble}, {"ZSCL", VarType::kString}, {"ZSTEP", VarType::kDouble},
    {"ZTIC", VarType::kInt}, {"X3LEN", VarType::kDouble}, {"Y3LEN", VarType::kDouble},
    {"Z3LEN", VarType::kDouble}, {"X3VIEW", VarType::kDouble}, {"Y3VIEW", VarType::kDouble},
    {"Z3VIEW", VarType::kDouble}, {"VTITLE", VarType::kInt}, {"CONSHD", VarType::kString},
};
constexpr int kVarCount = sizeof g_vars / sizeof g_vars[0];
static_assert(kVarCount == 57);

// Remembered 3-D axis lengths and viewpoint.
double g_len3[3] = {2.0, 2.0, 2.0};
double g_view[3] = {4.0, -5.0, 4.0};

Var* find_var(const char* upper) {
  for (Var& v : g_vars)
    if (std::strcmp(v.name, upper) == 0) return &v;
  return nullptr;
}

const Var& var(const char* name) { return *find_var(name); }

bool is(const Var& v, const char* n) { return std::strcmp(v.name, n) == 0; }

void apply_one(const Var& v) {
  const char* n = v.name;
  if (is(v, "H")) tavero::height(v.i);
  else if (is(v, "HNAME")) tavero::hname(v.i);
  else if (is(v, "HSYMBL")) tavero::hsymbl(v.i);
  else if (is(v, "HTITLE")) tavero::htitle(v.i);
  else if (is(v, "INCMRK")) tavero::incmrk(v.i);
  else if (is(v, "MARKER")) tavero::marker(v.i);
  else if (is(v, "POLCRV")) tavero::polcrv(v.s.c_str());
  else if (n[0] == 'T' && n[1] >= '1' && n[1] <= '4' && n[2] == 0) tavero::titlin(v.s.c_str(), n[1] - '0');
  else if (is(v, "X") || is(v, "Y") || is(v, "Z")) {
    char ax[2] = {static_cast<char>(std::tolower(n[0])), 0};
    tavero::name(v.s.c_str(), ax);
  } else if (std::strcmp(n + 1, "DIG") == 0) {
    char ax[2] = {static_cast<char>(std::tolower(n[0])), 0};
    tavero::digits(v.i, ax);
  } else if (std::strcmp(n + 1, "LAB") == 0) {
    char ax[2] = {static_cast<char>(std::tolower(n[0])), 0};
    tavero::labels(v.s.c_str(), ax);
  } else if (is(v, "XLEN") || is(v, "YLEN")) {
    int nx = 0, ny = 0, nz = 0;
    tavero::getlen(&nx, &ny, &nz);
    if (n[0] == 'X') tavero::axslen(v.i, ny);
    else tavero::axslen(nx, v.i);
  } else if (is(v, "ZLEN")) {
    int nx = 0, ny = 0, nz = 0;
    tavero::getlen(&nx, &ny, &nz);
    tavero::ax3len(nx, ny, v.i);
  } else if (is(v, "XPOS") || is(v, "YPOS")) {
    int px = 0, py = 0;
    tavero::getpos(&px, &py);
    if (n[0] == 'X') tavero::axspos(v.i, py);
    else tavero::axspos(px, v.i);
  } else if (is(v, "XRES") || is(v, "YRES")) {
    int rx = 0, ry = 0;
    tavero::getres(&rx, &ry);
    if (n[0] == 'X') tavero::setres(v.i, ry);
    else tavero::setres(rx, v.i);
  } else if (std::strcmp(n + 1, "SCL") == 0) {
    char ax[2] = {static_cast<char>(std::tolower(n[0])), 0};
    tavero::scale(v.s.c_str(), ax);
  } else if (std::strcmp(n + 1, "TIC") == 0) {
    char ax[2] = {static_cast<char>(std::tolower(n[0])), 0};
    tavero::ticks(v.i, ax);
  } else if (std::strcmp(n + 1, "3LEN") == 0) {
    int k = n[0] - 'X';
    double len[3] = {g_len3[0], g_len3[1], g_len3[2]};
    len[k] = v.d;
    tavero::axis3d(len[0], len[1], len[2]);
    if (v.d > 0) g_len3[k] = v.d;
  } else if (std::strcmp(n + 1, "3VIEW") == 0) {
    int k = n[0] - 'X';
    g_view[k] = v.d;
    tavero::view3d(g_view[0], g_view[1], g_view[2], "ABS");
  } else if (is(v, "VTITLE")) tavero::vkytit(v.i);
  else if (is(v, "CONSHD")) tavero::shdmod(v.s.c_str(), "CONTOUR");
  // ERASE, the AUTO, MIN, MAX, OR and STEP variables are read by the quick plots
}

// index -1: every set variable in table order. Nothing happens before tavini.
void apply_vars(int index) {
  if (tavero::getlev() == 0) return;
  if (index >= 0) {
    apply_one(g_vars[index]);
    return;
  }
  for (const Var& v : g_vars)
    if (v.set) apply_one(v);
}

// --- the quick-plot sequence

struct Range {
  double lo = 0, hi = 0;
};

Range range_of(const double* v, Py_ssize_t n) {
  Range r;
  if (n < 1) return r;
  r.lo = r.hi = v[0];
  for (Py_ssize_t i = 1; i < n; ++i) {
    if (v[i] < r.lo) r.lo = v[i];
    if (v[i] > r.hi) r.hi = v[i];
  }
  return r;
}

struct AxisScaling {
  bool explicit_values = false;
  double a = 0, e = 1, org = 0, step = 1;
};

bool log_axis(char axis) {
  const Var& s = var(axis == 'X' ? "XSCL" : axis == 'Y' ? "YSCL" : "ZSCL");
  return s.set && s.s.size() >= 3 && std::toupper(static_cast<unsigned char>(s.s[0])) == 'L' &&
         std::toupper(static_cast<unsigned char>(s.s[1])) == 'O';
}

// Chooses the scaling of one axis from the variables and the data range.
AxisScaling scaling_for(char axis, Range data) {
  auto v = [axis](const char* suffix) -> const Var& {
    std::string n(1, axis);
    n += suffix;
    return *find_var(n.c_str());
  };
  char ax[2] = {static_cast<char>(std::tolower(axis)), 0};
  AxisScaling s;
  const Var &autov = v("AUTO"), &mn = v("MIN"), &mx = v("MAX"), &org = v("OR"), &st = v("STEP");
  if (autov.set && autov.i != 0) {
    double r[2] = {data.lo, data.hi};
    tavero::setscl(r, 2, ax);
  } else if (mn.set && mx.set && org.set && st.set) {
    s.explicit_values = true;
    s.a = mn.d;
    s.e = mx.d;
    s.org = org.d;
    s.step = st.d;
  } else if (mn.set && mx.set) {
    // on a logarithmic axis MIN is an exponent; MAX is passed as given
    double r[2] = {log_axis(axis) ? std::pow(10.0, mn.d) : mn.d, mx.d};
    tavero::setscl(r, 2, ax);
  } else {
    double r[2] = {data.lo, data.hi};
    tavero::setscl(r, 2, ax);
  }
  return s;
}

enum class Kind { kPlot, kScattr, kPlot3, kSurf3, kSurface, kSurshade, kContour, kConshade };

void prepare(Kind kind) {
  if (tavero::getlev() != 0) {
    const Var& er = var("ERASE");
    if (!er.set || er.i == 1) tavero::erase();
    tavero::reset("setscl");
  } else {
    if (!format_chosen()) tavero::metafl("xwin");
    tavero::tavini();
    after_tavini();
    tavero::complx();
    tavero::nochek();
  }
  if (tavero::getlev() >= 2) tavero::endgrf();
  tavero::pagera();
  switch (kind) {
    case Kind::kPlot:
      tavero::incmrk(0);
      break;
    case Kind::kScattr:
      tavero::incmrk(-1);
      tavero::marker(3);
      tavero::hsymbl(10);
      break;
    case Kind::kContour:
    case Kind::kConshade:
      tavero::labels("float", "contour");
      break;
    default:
      break;
  }
  apply_vars(-1);
}

void graf2(const AxisScaling& sx, const AxisScaling& sy) {
  tavero::graf(sx.a, sx.e, sx.org, sx.step, sy.a, sy.e, sy.org, sy.step);
}

PyObject* mismatch() {
  PyErr_SetString(PyExc_ValueError, "mismatch of array sizes");
  return nullptr;
}

// x, y (and z) sequences of equal length.
PyObject* quick_xy(Kind kind, PyObject* ox, PyObject* oy, PyObject* oz) {
  Py_ssize_t n = seq_length(ox);
  if (n < 0) return nullptr;
  Py_ssize_t ny = seq_length(oy);
  if (ny < 0) return nullptr;
  Py_ssize_t nz = n;
  if (oz && (nz = seq_length(oz)) < 0) return nullptr;
  if (n != ny || n != nz) return mismatch();
  DoubleArray x, y, z;
  if (!x.convert(ox, n) || !y.convert(oy, n)) return nullptr;
  if (oz && !z.convert(oz, n)) return nullptr;
  if (n > INT32_MAX) return mismatch();
  int cnt = static_cast<int>(n);
  Py_BEGIN_ALLOW_THREADS
  prepare(kind);
  AxisScaling sx = scaling_for('X', range_of(x.data(), n));
  AxisScaling sy = scaling_for('Y', range_of(y.data(), n));
  if (kind == Kind::kPlot3) {
    AxisScaling sz = scaling_for('Z', range_of(z.data(), n));
    tavero::graf3(sx.a, sx.e, sx.org, sx.step, sy.a, sy.e, sy.org, sy.step, sz.a, sz.e, sz.org,
                  sz.step);
    tavero::title();
    tavero::curve3(x.data(), y.data(), z.data(), cnt);
  } else {
    graf2(sx, sy);
    tavero::title();
    tavero::curve(x.data(), y.data(), cnt);
  }
  tavero::sendbf();
  Py_END_ALLOW_THREADS
  Py_RETURN_NONE;
}

// z matrix over x (n) and y (m).
PyObject* quick_matrix(Kind kind, PyObject* oz, PyObject* ox, PyObject* oy, PyObject* olev) {
  Py_ssize_t n = seq_length(ox);
  if (n < 0) return nullptr;
  Py_ssize_t m = seq_length(oy);
  if (m < 0) return nullptr;
  if (n < 1 || m < 1 || n > INT32_MAX || m > INT32_MAX) return mismatch();
  DoubleArray x, y, z, lev;
  if (!x.convert(ox, n) || !y.convert(oy, m) || !z.convert_matrix(oz, n, m)) return nullptr;
  Py_ssize_t nlev = 0;
  if (olev && olev != Py_None) {
    nlev = seq_length(olev);
    if (nlev < 0 || !lev.convert(olev, nlev)) return nullptr;
  }
  Range rz = range_of(z.data(), n * m);
  std::vector<double> levels;
  if ((kind == Kind::kContour || kind == Kind::kConshade) && nlev < 1) {
    try {
      levels.resize(10);
    } catch (...) {
      PyErr_SetString(PyExc_MemoryError, "out of memory");
      return nullptr;
    }
    for (int i = 0; i < 10; ++i) levels[i] = i * (rz.hi - rz.lo) / 9 + rz.lo;
  } else if (nlev > 0) {
    levels.assign(lev.data(), lev.data() + nlev);
  }
  int in = static_cast<int>(n), im = static_cast<int>(m);
  Py_BEGIN_ALLOW_THREADS
  prepare(kind);
  AxisScaling sx = scaling_for('X', range_of(x.data(), n));
  AxisScaling sy = scaling_for('Y', range_of(y.data(), m));
  switch (kind) {
    case Kind::kSurf3: {
      AxisScaling sz = scaling_for('Z', rz);
      tavero::graf3(sx.a, sx.e, sx.org, sx.step, sy.a, sy.e, sy.org, sy.step, sz.a, sz.e,
                    sz.org, sz.step);
      tavero::title();
      int saved = tavero::getclr();
      tavero::clpbor("axis");
      for (int i = 0; i < in; ++i) {
        int xi = tavero::nxposn(x.data()[i]);
        int wx = std::abs(tavero::nxposn(x.data()[i + 1 < in ? i + 1 : (i > 0 ? i - 1 : i)]) - xi) + 1;
        for (int j = 0; j < im; ++j) {
          int yj = tavero::nyposn(y.data()[j]);
          int wy = std::abs(tavero::nyposn(y.data()[j + 1 < im ? j + 1 : (j > 0 ? j - 1 : j)]) - yj) + 1;
          tavero::setclr(tavero::nzposn(z.data()[i * im + j]));
          tavero::recfll(xi - wx / 2, yj - wy / 2, wx, wy, tavero::getclr());
        }
      }
      tavero::clpbor("page");
      tavero::setclr(saved);
      break;
    }
    case Kind::kSurface:
    case Kind::kSurshade: {
      AxisScaling sz = scaling_for('Z', rz);
      tavero::noclip();
      tavero::graf3d(sx.a, sx.e, sx.org, sx.step, sy.a, sy.e, sy.org, sy.step, sz.a, sz.e,
                     sz.org, sz.step);
      tavero::title();
      if (kind == Kind::kSurface)
        tavero::surfce(x.data(), in, y.data(), im, z.data());
      else
        tavero::surshd(x.data(), in, y.data(), im, z.data());
      tavero::reset("noclip");
      break;
    }
    case Kind::kContour:
    case Kind::kConshade: {
      graf2(sx, sy);
      tavero::title();
      int cnt = static_cast<int>(levels.size());
      if (kind == Kind::kConshade) {
        tavero::conshd(x.data(), in, y.data(), im, z.data(), levels.data(), cnt);
      } else {
        int h = tavero::gethgt();
        tavero::height(25);
        for (double zl : levels) tavero::contur(x.data(), in, y.data(), im, z.data(), zl);
        tavero::height(h);
      }
      break;
    }
    default:
      break;
  }
  tavero::sendbf();
  Py_END_ALLOW_THREADS
  Py_RETURN_NONE;
}

}  // namespace

void apply_set_variables() { apply_vars(-1); }

PyObject* setvar(PyObject* args) {
  const char* name;
  PyObject* value;
  if (!PyArg_ParseTuple(args, "sO", &name, &value)) return nullptr;
  std::string up(name);
  for (char& c : up) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Var* v = find_var(up.c_str());
  if (!v) {
    PyErr_SetString(PyExc_ValueError, "undefined variable");
    return nullptr;
  }
  const char* dummy;
  switch (v->type) {
    case VarType::kInt:
      if (!PyArg_ParseTuple(args, "si", &dummy, &v->i)) return nullptr;
      break;
    case VarType::kDouble:
      if (!PyArg_ParseTuple(args, "sd", &dummy, &v->d)) return nullptr;
      break;
    case VarType::kString: {
      const char* s;
      if (!PyArg_ParseTuple(args, "ss", &dummy, &s)) return nullptr;
      try {
        v->s = s;
      } catch (...) {
        PyErr_SetString(PyExc_MemoryError, "no memory in SETVAR");
        return nullptr;
      }
      break;
    }
  }
  v->set = true;
  apply_vars(static_cast<int>(v - g_vars));
  Py_RETURN_NONE;
}

PyObject* quick_plot(PyObject* x, PyObject* y) { return quick_xy(Kind::kPlot, x, y, nullptr); }
PyObject* quick_scattr(PyObject* x, PyObject* y) { return quick_xy(Kind::kScattr, x, y, nullptr); }
PyObject* quick_plot3(PyObject* x, PyObject* y, PyObject* z) {
  return quick_xy(Kind::kPlot3, x, y, z);
}
PyObject* quick_surf3(PyObject* z, PyObject* x, PyObject* y) {
  return quick_matrix(Kind::kSurf3, z, x, y, nullptr);
}
PyObject* quick_surface(PyObject* z, PyObject* x, PyObject* y) {
  return quick_matrix(Kind::kSurface, z, x, y, nullptr);
}
PyObject* quick_surshade(PyObject* z, PyObject* x, PyObject* y) {
  return quick_matrix(Kind::kSurshade, z, x, y, nullptr);
}
PyObject* quick_contour(PyObject* z, PyObject* x, PyObject* y, PyObject* levels) {
  return quick_matrix(Kind::kContour, z, x, y, levels);
}
PyObject* quick_conshade(PyObject* z, PyObject* x, PyObject* y, PyObject* levels) {
  return quick_matrix(Kind::kConshade, z, x, y, levels);
}

}  // namespace tavero_py
