// Services of the 3-D graphics for its own routines and for the other subsystems that draw
// in a 3-D axis system (shaded contours in 3-D, 3-D vector fields and streamlines, coloured
// triangles): the coordinate chain user -> box -> plot, clipping, the z-buffer and the
// depth-sorted polygon buffer, the colour of a value and the lighting model.
#pragma once
#include <cstdint>
#include <vector>

#include "core/context.h"
#include "drivers/raster/image.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// The 3-D axis system

// True when a 3-D axis system (graf3d) is active; otherwise warning 35 "Confusion of graf3d
// and graf3" and false.
bool require_3d(Context& ctx);

// User -> box coordinates (logarithmic axes take log10; a value <= 0 there gives NaN).
void user_to_box(const Context& ctx, double x, double y, double z, double b[3]);
// The same without the logarithm and without the object transformation (view points).
void user_to_box_linear(const Context& ctx, const double u[3], double b[3]);
// Box -> user coordinates.
void box_to_user(const Context& ctx, const double b[3], double u[3]);
// Applies the object transformation of tr3* (when on) to a box point.
void apply_object_transform(const Context& ctx, double b[3]);

// Projected point: plot coordinates relative to the origin shift, the homogeneous values and
// a depth that grows with the distance from the eye.
struct Proj {
  double x = 0, y = 0;
  double xh = 0, yh = 0, zh = 0, w = 1;
  double depth = 0;
  bool ok = false;                        // finite and in front of the eye
};
Proj project_box(const Context& ctx, const double b[3]);
// Whether a box point is visible under the clip3d mode.
bool box_visible(const Context& ctx, const double b[3], const Proj& p);
// Plot units per box unit near a box point (for sizes given in box units).
double local_scale(const Context& ctx, const double b[3]);
// Box point -> eye position of the active system.
const double* eye_box(const Context& ctx);
// Computes the view point, the view matrix, the projection centre and scale of the active
// system from the parameters (warning 33 for a view point inside the box).
void build_view(Context& ctx);
// The plane projection of grfini (installed as the device layer's plane function).
void plane_project(Context& ctx, double& x, double& y);
// Switches the plane mapping of P1, P2, P3 (box coordinates) on, or off.
void plane_on(Context& ctx, const double p1[3], const double p2[3], const double p3[3]);
void plane_off(Context& ctx);

// Lines through the 3-D chain: the segment is clipped in box space (WORL) or before the eye
// (EYE) and continues the current line when `connect` is set and the pen is at b1.
void line3d(Context& ctx, const double b1[3], const double b2[3]);
void move3d(Context& ctx, const double b[3]);
void draw3d(Context& ctx, const double b[3]);

// ------------------------------------------------------------------------------------------
// Colours

// The surface options of shdmod and the colour range of zscale.
inline bool smooth_shading(const Context& ctx) { return ctx.contour.surface_shading == 1; }
inline int culling(const Context& ctx) { return ctx.contour.culling; }
inline bool lit_value_colors(const Context& ctx) { return ctx.contour.value_colors_lit == 0; }

// Sets the colour scaling of surfaces: zscale when given, else the limits lo..hi of the z axis
// (or the given fall-back range when the system has no z axis).
void set_surface_color_scaling(Context& ctx);
// The colour of value v in the active colour system (graf3: its z axis) or 3-D system (zscale,
// else the z axis): for nzposn and the colour routines.
int system_value_color(Context& ctx, double v);
// Red, green, blue (0..1) of a colour value.
void color_rgb01(const Context& ctx, int colour, double rgb[3]);
// A colour value from red, green, blue 0..1 (an explicit colour).
int color_from_rgb01(const double rgb[3]);

// Lighting model at box point P with unit normal N. `diffuse` replaces the material's diffuse
// colour when not null; side 0 front (top), 1 back (bottom).
void light_color(const Context& ctx, const double P[3], const double N[3], const double* diffuse,
                 int side, double out[3]);
// Converts the light positions of the parameters into box coordinates of the active system.
void light_positions_box(const Context& ctx, double pos[kLights][3]);

// ------------------------------------------------------------------------------------------
// Z-buffer

struct ZBuffer {
  raster::Image own;                      // the raster of devices without an image buffer
  raster::Image* img = nullptr;           // where pixels go
  std::vector<float> depth;
  int w = 0, h = 0;
  // plot (absolute) -> pixel: px = ax x + bx y + cx, py = dx x + ey y + fy
  double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
  raster::Rect clip{0, 0, -1, -1};
  bool device_image = false;              // pixels go into the raster device's page
  bool implicit = false;                  // set up by a routine for one call
  bool transparent = false;               // blend with the alpha of tprini
  double alpha = 1.0;
  bool touched = false;
  // nearest palette index cache of indexed images
  uint32_t cache_key[64] = {};
  uint8_t cache_val[64] = {};
};

// A vertex for the z-buffer: box coordinates and a colour (red, green, blue 0..1).
struct ZVertex {
  double b[3] = {0, 0, 0};
  double rgb[3] = {0, 0, 0};
};

// Opens a z-buffer; `implicit` for one call of a routine. Returns 0 or 1 after the warning.
int zbuffer_open(Context& ctx, bool implicit);
// Composites and releases the z-buffer.
void zbuffer_close(Context& ctx);
ZBuffer* zbuffer(Context& ctx);
// One triangle / line into the z-buffer. depth_only writes the depth but no colour.
void zbuffer_triangle(Context& ctx, const ZVertex& v1, const ZVertex& v2, const ZVertex& v3,
                      bool depth_only = false);
void zbuffer_line(Context& ctx, const double b1[3], const double b2[3], const double rgb[3]);

// ------------------------------------------------------------------------------------------
// Depth-sorted polygon buffer (vector devices, flat shading)

struct PolygonBuffer {
  struct Poly {
    int first, n;                         // into x, y
    int colour;                           // fill colour value
    int outline;                          // -1 none, else the outline colour
    unsigned edges;                       // edges of the outline: bit i from vertex i to i + 1
    double key;                           // depth of the polygon
  };
  std::vector<double> x, y;               // plot points (relative)
  std::vector<Poly> polys;
  bool phase = false;                     // opened by dbfini
};

// Opens the buffer unless one is active; true when this call opened it.
bool polygon_buffer_open(Context& ctx, bool phase);
bool polygon_buffer_active(const Context& ctx);
void polygon_buffer_add(Context& ctx, const Proj* p, int n, int colour, int outline,
                        unsigned edges = 0xFFFFFFFFu);
// Sorts and draws the buffered polygons from the farthest to the nearest, and releases.
void polygon_buffer_close(Context& ctx);

// ------------------------------------------------------------------------------------------
// Shaded facets: every solid and surface routine hands its polygons here; they go into the
// z-buffer, the polygon buffer or, without either, are drawn at once.

struct Facet {
  ZVertex v[4];
  int n = 3;                              // 3 or 4 vertices
};

// How the facets of one routine are drawn.
enum class FacetTarget { kZBuffer, kPolygons, kDirect, kWire };

class FacetSink {
 public:
  // Chooses the target: the z-buffer when active (or when `smooth` needs one: set up for the
  // call), the polygon buffer for flat shading, else wire frames when `wire_fallback`.
  FacetSink(Context& ctx, bool smooth, bool wire_fallback);
  ~FacetSink();
  FacetSink(const FacetSink&) = delete;
  FacetSink& operator=(const FacetSink&) = delete;
  bool ok() const { return ok_; }
  FacetTarget target() const { return target_; }
  // Adds one facet, cut to the box under clip3d "WORL"; `mesh` draws its outline in the mesh
  // colour (rgb 0..1), the edges whose bits are set (bit i: from vertex i to vertex i + 1).
  void add(const Facet& f, bool smooth, const double* mesh_rgb, unsigned edges = 0xFu);
  // Lines of a mesh in the target (depth tested in the z-buffer).
  void line(const double b1[3], const double b2[3], const double rgb[3]);

 private:
  void add_inside(const Facet& f, bool smooth, const double* mesh_rgb, unsigned edges);

  Context& ctx_;
  FacetTarget target_ = FacetTarget::kDirect;
  bool ok_ = true;
  bool opened_zbuf_ = false, opened_polys_ = false;
  int saved_colour_, saved_pattern_;
};

// Which side of a facet faces the viewer: +1 the side of its (counterclockwise) normal, -1 the
// other one, 0 edge-on.
int facing(const Context& ctx, const Facet& f);
// Unit normal of a facet from its vertex order (0 vector when degenerate).
void facet_normal(const Facet& f, double n[3]);

// ------------------------------------------------------------------------------------------
// The end of a 3-D axis system (endgrf while graf3d or graf3 is in force, before the kind of the
// axis system is cleared): the plane mapping of grfini and the horizon kept by shlsur end.
void graph3d_end_system(Context& ctx);

// ------------------------------------------------------------------------------------------
// Hidden lines

// Starts the horizon of a surface (allocated on first use, reset) and installs the filter;
// false after "Not enough memory".
bool horizon_begin(Context& ctx, int top_colour, int bottom_colour);
void horizon_end(Context& ctx);
// Removes the filter left by shlsur.
void horizon_remove(Context& ctx);

}  // namespace tavero
