// Fields of the context record owned by the 3-D graphics: the settings of the 3-D axis system,
// view and projection, surfaces, shading and lighting (reset by tavini), the active 3-D axis
// system with its view matrix, and the buffers of one plot (horizon, z-buffer, polygon buffer),
// which live outside the parameter reset.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "axes/axis_state.h"
#include "draw/draw_state.h"

namespace tavero {

struct Context;
struct ZBuffer;
struct PolygonBuffer;

inline constexpr int kLights = 8;

struct Light {
  int on = 0;
  int mode = 1;                           // 1 ABS, 2 USER, 3 ANGL
  double pos[3] = {4, -5, 4};
  double amb[3] = {0, 0, 0}, dif[3] = {1, 1, 1}, spe[3] = {1, 1, 1};
  double att[3] = {1, 0, 0};              // constant, linear, quadratic
};

struct Material {
  double amb[3] = {0.2, 0.2, 0.2}, dif[3] = {0.8, 0.8, 0.8}, spe[3] = {0, 0, 0};
  double expo = 0;
};

// Parameters: reset by tavini and reset("ALL").
struct Graph3dParams {
  // --- box, view and projection
  double box[3] = {2, 2, 2};              // axis3d
  int view_mode = 0;                      // 0 default, 1 ABS, 2 USER, 3 ANGL
  double view[3] = {0, 0, 0};
  int focus_mode = 0;                     // 0 box centre, 1 ABS, 2 USER
  double focus[3] = {0, 0, 0};
  double up = 0;                          // vup3d, radians
  double half_angle = 0.24497866312686414; // vang3d / 2, radians: atan(1/4)
  double near_dist = 1.0, far_dist = -1;  // vclp3d; far -1 automatic
  int proj = 0;                           // 0 PERS, 1 ORTH
  int clip = 0;                           // 0 WORL, 1 EYE, 2 NONE
  double rot[3] = {0, 0, 0};              // rot3d, degrees about x, y, z
  // --- axes of graf3d
  int flab = 0;                           // flab3d: keep the axends settings
  int label_mode = 0;                     // labl3d: STAN HORI PARA OTHE
  // --- 3-D curves and symbols
  double sym_size = -1;                   // hsym3d in box units; -1: hsymbl
  double curve_thick = 0;                 // thkc3d: tube radius of curves in a z-buffer
  double res3[3] = {1, 1, 1};             // setres3d
  int res3_set = 0;
  int res_w = 1, res_h = 1;               // setres: point size of colour plots
  int autres_x = 0, autres_y = 0;         // autres3d: cells per axis (0 off)
  int zlen = 0;                           // ax3len: length of the colour axis (0: the Y length)
  // --- hidden-line surfaces
  int families = 0;                       // suropt: BOTH XISO YISO
  int visible = 0;                        // survis: AUTO TOP BOTT BOTH
  int sur_color_on = 0, color_top = -1, color_bottom = -1;   // surclr
  int size_on = 0;                        // sursze
  double size[4] = {0, 1, 0, 1};
  int keep_hidden = 0;                    // shlsur
  int no_hide = 0;                        // nohide
  // --- shaded surfaces (shdmod and zscale keep theirs with the shaded contours)
  int mesh = 0;                           // surmsh: OFF ON ONLY LINE POIN
  int mesh_color = -1;                    // mshclr; -1 the current colour
  int mesh_step = 1;                      // mshcrv: mesh lines every n-th grid line
  int face = 2;                           // setfce: material of TOP, BOTT or BOTH sides
  // --- z-buffer and depth buffer
  int zbf_mode = 0;                       // OFF ON
  double zbf_scale = 1.0;
  int dbf_mode = 0;
  // --- lighting
  int lighting = 0;
  Light lights[kLights];
  Material mat[2];                        // front (top), back (bottom)
  Graph3dParams() { lights[0].on = 1; }
};

// The active 3-D axis system (graf3d) and what grfini maps into.
struct Graph3dSystem {
  int active = 0;                         // graf3d is in force (the matrix is valid)
  int colour_system = 0;                  // graf3 (2-D area with a colour axis) is in force
  AxisScale sc[3];                        // the scaling of the three axes
  double box[3] = {2, 2, 2};
  double M[16] = {};                      // view / projection matrix, row-major
  double cx = 0, cy = 0, s = 1;           // projection centre and scale (plot units)
  double eye[3] = {4, -5, 4};             // view point in box coordinates
  double rot[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  int rot_on = 0;
  int proj = 0, clip = 0;
  // extra 3x4 matrix of object transformations and its flag
  int extra_on = 0;
  double extra[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  // the axis-system area (lower left corner, lengths; relative plot units)
  double area_x = 0, area_y = 0, area_w = 2, area_h = 2;
  // grfini plane: P1, P2 - P1, P3 - P2 in box coordinates; flag 0 off, 1 on
  int plane = 0;
  double p1[3] = {}, d12[3] = {}, d23[3] = {};
  double plane_ox = 0, plane_oy = 0;      // origin shift at grfini (absolute <-> relative)
  // current point of strt3d / conn3d in box coordinates
  int pen_valid = 0;
  int line_open = 0;                      // the line pipeline stands at the pen
  double pen[3] = {};
};

// Where the horizon pass stands between two segments of one polyline.
struct HorizonWalk {
  int valid = 0;                          // the last segment ended at (lx, ly)
  int lx = 0, ly = 0;
  int col = -2147483647 - 1;              // the column being walked (none) and its extremes
  int cmin = 0, cmax = 0;
  int run = 0;                            // a visible run is open
  int sx = 0, sy = 0;                     // its start
  int need_move = 1;                      // the run starts with a move
  int side = 0;                           // 1 visible from above, -1 from below
};

// The floating horizon of hidden-line surfaces.
struct Horizon {
  std::vector<int> upper, lower;          // per plot column: largest and smallest Y so far
  int mode = 0;                           // 0 test only, 1 test and update, 2 update only
  int installed = 0;
  SegmentFilter chained = nullptr;        // the filter that was installed before
  int top_color = -1, bottom_color = -1;
  HorizonWalk walk;
};

// Buffers of one plot: survive the parameter reset, released by tavfin.
struct Graph3dBuffers {
  Horizon horizon;
  std::unique_ptr<ZBuffer> zbuf;
  std::unique_ptr<PolygonBuffer> polys;
  Graph3dBuffers();
  ~Graph3dBuffers();
  Graph3dBuffers(Graph3dBuffers&&) noexcept;
  Graph3dBuffers& operator=(Graph3dBuffers&&) noexcept;
};

struct Graph3dState {
  Graph3dParams p;
  Graph3dSystem sys;
  Graph3dBuffers buf;
  // object transformations of tr3axs, tr3rot, tr3scl, tr3shf (3x4, row-major)
  double obj[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  int obj_on = 0;
};

}  // namespace tavero
