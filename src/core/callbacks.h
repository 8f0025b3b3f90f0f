// Function types through which the library calls back into its caller (coordinate
// transformations, pie hooks, window events, function surfaces, widgets).
#pragma once

namespace tavero {

using CoordCallback = void (*)(double* x, double* y);
// segment, two values, then in/out: radius, offset, angle, vector x, vector y, draw flag, label flag
using PieCallback = void (*)(int iseg, double xdat, double xper, int* nrad, int* noff,
                             double* angle, int* nvx, int* nvy, int* idrw, int* iann);
using WindowCallback = void (*)(int id, int nx, int ny, int nw, int nh);
using SurfaceCallback = double (*)(double x, double y);
using SurfaceCpCallback = double (*)(double x, double y, int iopt);
using WidgetCallback = void (*)(int id);
using Widget2Callback = void (*)(int id, int a, int b);
using Widget3Callback = void (*)(int id, int a);
using WidgetObjCallback = void (*)(int id, void* data);

}  // namespace tavero
