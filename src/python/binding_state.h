// State that the Python binding keeps for itself (outside the context record): the format
// chosen flag, the spline output count, the legend buffer, the callback slots and the
// quick-plot variables; and the hooks the generated wrappers call.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/callbacks.h"

namespace tavero_py {

int spline_count();
bool format_chosen();

// --- hooks after library calls (post= in the method table)
void after_metafl(const char* cfmt);
void after_tavini();
void after_splmod(int ngrad, int npts);

// --- legend buffer: kept by the binding and handed to the legend routines
char* legend_buffer_new(int nlin, int nmaxln);
char* legend_buffer();

// --- callback slots: keep the callable, hand the library a trampoline
tavero::CoordCallback register_callback_coord(PyObject* fn);
tavero::PieCallback register_callback_pie(PyObject* fn);
tavero::WindowCallback register_callback_window(PyObject* fn);
tavero::SurfaceCallback register_callback_surface(PyObject* fn);
tavero::SurfaceCpCallback register_callback_surfacecp(PyObject* fn);
// Widget callbacks: null after ValueError "Too many callback routines".
tavero::WidgetCallback register_callback_widget(int id, PyObject* fn);
tavero::Widget2Callback register_callback_widget2(int id, PyObject* fn);
tavero::Widget3Callback register_callback_widget3(int id, PyObject* fn);
tavero::WidgetObjCallback register_callback_widgetobj(int id, PyObject* fn, PyObject* obj);

// --- quick plots and their variables
PyObject* setvar(PyObject* args);
void apply_set_variables();
PyObject* ldimg_result(const char* file, int nc);
PyObject* quick_plot(PyObject* x, PyObject* y);
PyObject* quick_scattr(PyObject* x, PyObject* y);
PyObject* quick_plot3(PyObject* x, PyObject* y, PyObject* z);
PyObject* quick_surf3(PyObject* z, PyObject* x, PyObject* y);
PyObject* quick_surface(PyObject* z, PyObject* x, PyObject* y);
PyObject* quick_surshade(PyObject* z, PyObject* x, PyObject* y);
PyObject* quick_contour(PyObject* z, PyObject* x, PyObject* y, PyObject* levels);
PyObject* quick_conshade(PyObject* z, PyObject* x, PyObject* y, PyObject* levels);

}  // namespace tavero_py
