#include "python/binding_state.h"

#include <cstring>
#include <cstdarg>
#include <vector>

#include "tavero_api.h"

namespace tavero_py {

namespace {

bool g_format_chosen = false;
int g_spline_count = 200;
char* g_legend = nullptr;

// One Python callable per slot; the slot owns one reference.
struct Slot {
  PyObject* fn = nullptr;
  void set(PyObject* f) {
    Py_XINCREF(f);
    Py_XDECREF(fn);
    fn = f;
  }
};
Slot g_coord, g_pie, g_window, g_surface;

struct WidgetEntry {
  int id;
  PyObject* fn;
  PyObject* obj;  // borrowed user object of swgcb
};
constexpr size_t kMaxWidgetCallbacks = 200;
std::vector<WidgetEntry>& widgets() {
  static std::vector<WidgetEntry> w;
  return w;
}

// Calls fn with the arguments built from fmt under the interpreter lock; the result (or
// null) is handed to `use` while the lock is still held. A raised exception is printed and
// cleared: the library goes on as if the callback had returned nothing.
template <typename Use>
void call_locked(PyObject* fn, Use use, const char* fmt, ...) {
  if (!fn) return;
  PyGILState_STATE st = PyGILState_Ensure();
  va_list ap;
  va_start(ap, fmt);
  PyObject* args = Py_VaBuildValue(fmt, ap);
  va_end(ap);
  PyObject* res = args ? PyObject_CallObject(fn, args) : nullptr;
  Py_XDECREF(args);
  if (!res && PyErr_Occurred()) PyErr_Print();
  use(res);
  Py_XDECREF(res);
  PyGILState_Release(st);
}

// Items of a result list into doubles/ints; other items leave their destination unchanged.
void take_double(PyObject* item, double* dst) {
  if (PyFloat_Check(item))
    *dst = PyFloat_AS_DOUBLE(item);
  else if (PyLong_Check(item))
    *dst = PyLong_AsDouble(item);
  PyErr_Clear();
}
void take_int(PyObject* item, int* dst) {
  if (PyFloat_Check(item))
    *dst = static_cast<int>(PyFloat_AS_DOUBLE(item));
  else if (PyLong_Check(item))
    *dst = static_cast<int>(PyLong_AsLong(item));
  PyErr_Clear();
}

void coord_tramp(double* x, double* y) {
  call_locked(g_coord.fn, [&](PyObject* r) {
    if (r && PyList_Check(r) && PyList_GET_SIZE(r) == 2) {
      take_double(PyList_GET_ITEM(r, 0), x);
      take_double(PyList_GET_ITEM(r, 1), y);
    }
  }, "(dd)", *x, *y);
}

void pie_tramp(int iseg, double xdat, double xper, int* nrad, int* noff, double* angle, int* nvx,
               int* nvy, int* idrw, int* iann) {
  call_locked(g_pie.fn, [&](PyObject* r) {
    if (r && PyList_Check(r) && PyList_GET_SIZE(r) == 7) {
      take_int(PyList_GET_ITEM(r, 0), nrad);
      take_int(PyList_GET_ITEM(r, 1), noff);
      take_double(PyList_GET_ITEM(r, 2), angle);
      take_int(PyList_GET_ITEM(r, 3), nvx);
      take_int(PyList_GET_ITEM(r, 4), nvy);
      take_int(PyList_GET_ITEM(r, 5), idrw);
      take_int(PyList_GET_ITEM(r, 6), iann);
    }
  }, "(iddiidiiii)", iseg, xdat, xper, *nrad, *noff, *angle, *nvx, *nvy, *idrw, *iann);
}

void window_tramp(int id, int nx, int ny, int nw, int nh) {
  call_locked(g_window.fn, [](PyObject*) {}, "(iiiii)", id, nx, ny, nw, nh);
}

double surface_tramp(double x, double y) {
  double v = 0.0;
  call_locked(g_surface.fn, [&](PyObject* r) {
    if (r && PyFloat_Check(r)) v = PyFloat_AS_DOUBLE(r);
  }, "(dd)", x, y);
  return v;
}

double surfacecp_tramp(double x, double y, int iopt) {
  double v = 0.0;
  call_locked(g_surface.fn, [&](PyObject* r) {
    if (r && PyFloat_Check(r)) v = PyFloat_AS_DOUBLE(r);
  }, "(ffi)", x, y, iopt);
  return v;
}

// The newest registration of a widget id wins.
const WidgetEntry* find_widget(int id) {
  auto& w = widgets();
  for (size_t i = w.size(); i-- > 0;)
    if (w[i].id == id) return &w[i];
  return nullptr;
}

void widget_tramp(int id) {
  PyGILState_STATE st = PyGILState_Ensure();
  const WidgetEntry* e = find_widget(id);
  PyObject* fn = e ? e->fn : nullptr;
  PyGILState_Release(st);
  call_locked(fn, [](PyObject*) {}, "(i)", id);
}
void widget2_tramp(int id, int a, int b) {
  PyGILState_STATE st = PyGILState_Ensure();
  const WidgetEntry* e = find_widget(id);
  PyObject* fn = e ? e->fn : nullptr;
  PyGILState_Release(st);
  call_locked(fn, [](PyObject*) {}, "(iii)", id, a, b);
}
void widget3_tramp(int id, int a) {
  PyGILState_STATE st = PyGILState_Ensure();
  const WidgetEntry* e = find_widget(id);
  PyObject* fn = e ? e->fn : nullptr;
  PyGILState_Release(st);
  call_locked(fn, [](PyObject*) {}, "(ii)", id, a);
}
void widgetobj_tramp(int id, void*) {
  PyGILState_STATE st = PyGILState_Ensure();
  const WidgetEntry* e = find_widget(id);
  PyObject* fn = e ? e->fn : nullptr;
  PyObject* obj = e && e->obj ? e->obj : Py_None;
  PyGILState_Release(st);
  call_locked(fn, [](PyObject*) {}, "(iO)", id, obj);
}

bool add_widget(int id, PyObject* fn, PyObject* obj) {
  auto& w = widgets();
  if (w.size() >= kMaxWidgetCallbacks) {
    PyErr_SetString(PyExc_ValueError, "Too many callback routines");
    return false;
  }
  Py_INCREF(fn);
  w.push_back({id, fn, obj});
  return true;
}

}  // namespace

int spline_count() { return g_spline_count; }
bool format_chosen() { return g_format_chosen; }

void after_metafl(const char*) { g_format_chosen = true; }
void after_splmod(int, int npts) {
  if (npts >= 5) g_spline_count = npts;
}
void after_tavini() {
  apply_set_variables();
  g_spline_count = 200;
}

char* legend_buffer_new(int nlin, int nmaxln) {
  // counts that legini will refuse keep the buffer of the last accepted call
  if (nlin < 1 || nlin > 80 || nmaxln < 1 || nmaxln > 256) return legend_buffer();
  size_t n = static_cast<size_t>(nlin) * static_cast<size_t>(nmaxln);
  char* b = static_cast<char*>(PyMem_RawMalloc(n + 1));
  if (!b) return nullptr;
  std::memset(b, ' ', n);
  b[n] = 0;
  PyMem_RawFree(g_legend);
  g_legend = b;
  return b;
}

char* legend_buffer() {
  static char empty[1] = {0};
  return g_legend ? g_legend : empty;
}

tavero::CoordCallback register_callback_coord(PyObject* fn) {
  g_coord.set(fn);
  return coord_tramp;
}
tavero::PieCallback register_callback_pie(PyObject* fn) {
  g_pie.set(fn);
  return pie_tramp;
}
tavero::WindowCallback register_callback_window(PyObject* fn) {
  g_window.set(fn);
  return window_tramp;
}
tavero::SurfaceCallback register_callback_surface(PyObject* fn) {
  g_surface.set(fn);
  return surface_tramp;
}
tavero::SurfaceCpCallback register_callback_surfacecp(PyObject* fn) {
  g_surface.set(fn);
  return surfacecp_tramp;
}
tavero::WidgetCallback register_callback_widget(int id, PyObject* fn) {
  return add_widget(id, fn, nullptr) ? widget_tramp : nullptr;
}
tavero::Widget2Callback register_callback_widget2(int id, PyObject* fn) {
  return add_widget(id, fn, nullptr) ? widget2_tramp : nullptr;
}
tavero::Widget3Callback register_callback_widget3(int id, PyObject* fn) {
  return add_widget(id, fn, nullptr) ? widget3_tramp : nullptr;
}
tavero::WidgetObjCallback register_callback_widgetobj(int id, PyObject* fn, PyObject* obj) {
  return add_widget(id, fn, obj) ? widgetobj_tramp : nullptr;
}

PyObject* ldimg_result(const char* file, int nc) {
  int n;
  Py_BEGIN_ALLOW_THREADS n = tavero::ldimg(file, nullptr, 0, nc);
  Py_END_ALLOW_THREADS
  if (n < 1) Py_RETURN_NONE;
  std::vector<int> data;
  try {
    data.resize(static_cast<size_t>(n));
  } catch (...) {
    return PyErr_Format(PyExc_MemoryError, "out of memory in ldimg");
  }
  Py_BEGIN_ALLOW_THREADS n = tavero::ldimg(file, data.data(), n, nc);
  Py_END_ALLOW_THREADS
  if (n < 1) Py_RETURN_NONE;
  if (nc == -1) {
    PyObject* b = PyBytes_FromStringAndSize(nullptr, 2 * static_cast<Py_ssize_t>(n));
    if (!b) return PyErr_Format(PyExc_MemoryError, "out of memory in ldimg");
    auto* p = reinterpret_cast<unsigned char*>(PyBytes_AS_STRING(b));
    for (int i = 0; i < n; ++i) {
      p[2 * i] = static_cast<unsigned char>(data[i] & 255);
      p[2 * i + 1] = static_cast<unsigned char>((data[i] >> 8) & 255);
    }
    return b;
  }
  PyObject* list = PyList_New(n);
  if (!list) return nullptr;
  for (int i = 0; i < n; ++i) PyList_SET_ITEM(list, i, PyLong_FromLong(data[i]));
  return list;
}

}  // namespace tavero_py
