// Rasterisers for the image buffer: thin, anti-aliased and wide lines, points, rectangles,
// discs and polygons. Every pixel written lies inside the image's clip rectangle; the
// clip is applied once per segment or span, the inner loops run unchecked.
//
// Pixel convention: pixel (i, j) is the sample point (i, j) of device space, i.e. device
// coordinates are rounded to the nearest pixel. Area primitives (wide lines, discs,
// convex pieces, polygon interiors) set a pixel when its sample point lies inside the
// shape; a sample exactly on an edge belongs to the shape when the edge is a left or top
// edge, so shapes sharing an edge neither overlap nor leave a gap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drivers/raster/image.h"

namespace tavero::raster {

// Codes match the line cap and join settings of the device layer (0, 1, 2).
enum class Cap : int { Butt = 0, Round = 1, Square = 2 };
enum class Join : int { Miter = 0, Round = 1, Bevel = 2 };
// Point shape of single-point polylines: 0 one pixel, 2 square, anything else a disc.
enum class PointShape : int { Pixel = 0, Disc = 1, Square = 2 };

struct StrokeStyle {
    double width = 1.0;          // pixels
    Cap cap = Cap::Square;
    Join join = Join::Bevel;
    double miter_limit = 2.0;    // miter length / line width above which a miter is bevelled
    bool smooth = false;         // anti-aliased thin lines (true-colour images only)
    PointShape point_shape = PointShape::Disc;
};

// Default bound of the polygon filler's intersection store (crossings on one scan line).
constexpr std::size_t kDefaultMaxIntersections = std::size_t(1) << 20;

// Thin lines with the Bresenham pixel set of the whole segment: clipping removes pixels
// but never moves the remaining ones; both end points are set (when inside the clip).
void draw_line(Image& img, int x0, int y0, int x1, int y1, const Paint& p);
void draw_polyline(Image& img, const int* x, const int* y, int n, const Paint& p);

// Anti-aliased thin line (coverage blended into the image). Indexed images cannot blend,
// so there it draws the plain thin line of the rounded end points.
void draw_line_aa(Image& img, double x0, double y0, double x1, double y1, const Paint& p);
void draw_polyline_aa(Image& img, const int* x, const int* y, int n, const Paint& p);

// Wide polyline of the given style, drawn as the union of convex pieces (segment bodies,
// caps, joins). The polyline is closed (joins everywhere, no caps) when it has more than
// two points and its first and last points differ by less than half a pixel on both axes.
void draw_wide_polyline(Image& img, const double* x, const double* y, int n,
                        const StrokeStyle& s, const Paint& p);

// A single point of a polyline: shape Pixel or width <= 1 sets one pixel, Square a
// width x width square centred on the point, Disc a disc of diameter width.
void draw_point(Image& img, int x, int y, int width, PointShape shape, const Paint& p);

// Filled rectangle including both corners (any corner order), clipped.
void fill_rect(Image& img, int x0, int y0, int x1, int y1, const Paint& p);
// One clipped horizontal span from x0 to x1 inclusive.
void fill_span(Image& img, int y, int x0, int x1, const Paint& p);
void fill_disc(Image& img, double cx, double cy, double r, const Paint& p);
// Convex polygon (any orientation, 3 <= n <= 64). Non-convex input is not rejected; its
// pixels are unspecified but stay inside the clip.
void fill_convex(Image& img, const double* x, const double* y, int n, const Paint& p);

// Scan-line fill of an arbitrary polygon with the even-odd rule. With `with_outline` the
// edges are drawn as thin lines too, so the fill covers its boundary the way a rectangle
// fill covers both corners (a rectangle polygon then equals fill_rect). Returns kOk,
// kTooManyIntersections when one scan line crosses more than max_intersections edges
// (nothing is drawn then), or kNoMemory.
int fill_polygon(Image& img, const double* x, const double* y, int n, const Paint& p,
                 bool with_outline = true,
                 std::size_t max_intersections = kDefaultMaxIntersections);

// Draws one collected polyline of the raster driver (integer pixel points) the way the
// driver's attributes ask: one point -> draw_point; width below 2 -> thin line, or the
// anti-aliased line in a true-colour image with smoothing on; otherwise the wide line.
void stroke_polyline(Image& img, const int* x, const int* y, int n, const StrokeStyle& s,
                     const Paint& p);

}  // namespace tavero::raster
