#include "drivers/raster/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace tavero::raster {

namespace {

using i64 = long long;
using i128 = __int128;

// Where and what to write: resolved once per primitive so the loops below see plain
// pointers and one pixel value.
struct Target {
    uint8_t* base;
    std::ptrdiff_t stride;  // bytes
    bool tc;
    uint32_t value;
    Rect clip;

    int ox = 0, oy = 0;     // origin of the coordinates the caller works in (see shifted)

    Target(Image& img, const Paint& p)
        : base(img.data()), stride(img.stride()), tc(img.truecolour()),
          value(img.pixel_value(p)), clip(img.clip()) {}

    // The same target in coordinates relative to the pixel (x, y): the clip moves, spans are
    // written back at their place.
    Target shifted(int x, int y) const {
        Target s = *this;
        s.ox = ox + x;
        s.oy = oy + y;
        s.clip = Rect{clip.x0 - x, clip.y0 - y, clip.x1 - x, clip.y1 - y};
        return s;
    }

    // Span on row y from xa to xb, clipped in x; callers have already clipped y.
    void span(int y, int xa, int xb) const {
        if (xa < clip.x0) xa = clip.x0;
        if (xb > clip.x1) xb = clip.x1;
        if (xb < xa) return;
        xa += ox;
        xb += ox;
        uint8_t* row = base + std::ptrdiff_t(y + oy) * stride;
        const int n = xb - xa + 1;
        if (tc && (value >> 24) != 255 && (value >> 24) != 0) {
            blend_span(row + 4 * std::ptrdiff_t(xa), n);
            return;
        }
        // Wide lines and small cells produce mostly short spans, where a plain loop beats
        // the library call.
        if (tc) {
            uint32_t* q = reinterpret_cast<uint32_t*>(row) + xa;
            if (n <= 8) {
                for (int i = 0; i < n; ++i) q[i] = value;
            } else {
                std::fill(q, q + n, value);
            }
        } else if (n <= 16) {
            for (int i = 0; i < n; ++i) row[xa + i] = uint8_t(value);
        } else {
            std::memset(row + xa, int(value), std::size_t(n));
        }
    }

    // A translucent paint (alpha 1..254, transparency groups) is laid over what is there;
    // alpha 0 is the transparent background colour and is stored as it is.
    void blend_span(uint8_t* q, int n) const {
        const unsigned a = value >> 24, na = 255 - a;
        const unsigned s[3] = {value & 255u, (value >> 8) & 255u, (value >> 16) & 255u};
        for (int i = 0; i < n; ++i, q += 4) {
            for (int k = 0; k < 3; ++k) {
                const unsigned v = q[k] * na + s[k] * a + 128;
                q[k] = uint8_t((v + (v >> 8)) >> 8);
            }
            const unsigned v = q[3] * na + 255 * a + 128;
            q[3] = uint8_t((v + (v >> 8)) >> 8);
        }
    }
};

bool finite_all(const double* v, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

// ceil() of a value already clamped into int range (truncation is ceil for negatives).
// Both are inlined because without SSE4.1 the library floor/ceil are calls.
inline int iceil(double v) {
    const int i = int(v);
    return i + (double(i) < v);
}
inline int ifloor(double v) {
    const int i = int(v);
    return i - (double(i) > v);
}

// ---------------------------------------------------------------------------------------
// Thin lines.
//
// The pixel of step i (0 .. dmaj along the major axis) is offset along the minor axis by
// k(i) = floor((2 i dmin + dmaj) / (2 dmaj)), the usual midpoint rule. Because k is a
// closed form, the steps inside the clip rectangle can be computed directly, and the
// loop starts with the exact error term of its first step: clipping never shifts pixels.

template <class T>
void thin_line(uint8_t* base, std::ptrdiff_t stride_bytes, const Rect& c, int x0, int y0,
               int x1, int y1, T v) {
    if (c.empty()) return;
    if (std::max(x0, x1) < c.x0 || std::min(x0, x1) > c.x1 || std::max(y0, y1) < c.y0 ||
        std::min(y0, y1) > c.y1)
        return;
    T* const origin = reinterpret_cast<T*>(base);
    const std::ptrdiff_t stride = stride_bytes / std::ptrdiff_t(sizeof(T));
    const i64 dx = std::llabs(i64(x1) - x0), dy = std::llabs(i64(y1) - y0);
    const int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    if (dx == 0 && dy == 0) {
        origin[std::ptrdiff_t(y0) * stride + x0] = v;  // inside: the reject test passed
        return;
    }
    const bool xmajor = dx >= dy;
    const i64 dmaj = xmajor ? dx : dy, dmin = xmajor ? dy : dx;
    const int u0 = xmajor ? x0 : y0, w0 = xmajor ? y0 : x0;
    const int su = xmajor ? sx : sy, sw = xmajor ? sy : sx;
    const int ulo = xmajor ? c.x0 : c.y0, uhi = xmajor ? c.x1 : c.y1;
    const int wlo = xmajor ? c.y0 : c.x0, whi = xmajor ? c.y1 : c.x1;
    const std::ptrdiff_t smaj = xmajor ? sx : sy * stride;
    const std::ptrdiff_t smin = xmajor ? sy * stride : sx;

    i64 ilo = 0, ihi = dmaj;
    const bool inside = std::min(x0, x1) >= c.x0 && std::max(x0, x1) <= c.x1 &&
                        std::min(y0, y1) >= c.y0 && std::max(y0, y1) <= c.y1;
    if (!inside) {
        if (su > 0) {
            ilo = std::max<i64>(ilo, i64(ulo) - u0);
            ihi = std::min<i64>(ihi, i64(uhi) - u0);
        } else {
            ilo = std::max<i64>(ilo, i64(u0) - uhi);
            ihi = std::min<i64>(ihi, i64(u0) - ulo);
        }
        // Allowed minor offsets k (counted in the direction sw).
        const i64 klo = sw > 0 ? i64(wlo) - w0 : i64(w0) - whi;
        const i64 khi = sw > 0 ? i64(whi) - w0 : i64(w0) - wlo;
        if (khi < 0) return;  // k(i) >= 0 for every step
        if (dmin == 0) {
            if (klo > 0) return;
        } else {
            const i128 d = i128(2) * dmin;
            if (klo > 0) {  // k(i) >= klo  <=>  2 i dmin + dmaj >= 2 dmaj klo
                const i128 num = i128(2) * dmaj * klo - dmaj;
                ilo = std::max<i64>(ilo, i64((num + d - 1) / d));
            }
            // k(i) <= khi  <=>  2 i dmin <= 2 dmaj (khi + 1) - dmaj - 1
            const i128 num = i128(2) * dmaj * (khi + 1) - dmaj - 1;
            const i128 lim = num / d;
            if (lim < ihi) ihi = i64(lim);
        }
        if (ilo > ihi) return;
    }

    const i64 dec = 2 * dmaj, inc = 2 * dmin;
    i64 k, rem;  // rem: carry to the next minor step when rem >= 0
    if (ilo == 0) {
        k = 0;  // the numerator dmaj is below dec
        rem = dmaj - dec;
    } else if (dmaj < (i64(1) << 30)) {
        const i64 num0 = 2 * ilo * dmin + dmaj;
        k = num0 / dec;
        rem = num0 % dec - dec;
    } else {
        const i128 num0 = i128(2) * ilo * dmin + dmaj;
        k = i64(num0 / dec);
        rem = i64(num0 % dec) - dec;
    }
    const i64 u = u0 + su * ilo, w = w0 + sw * k;
    const i64 px = xmajor ? u : w, py = xmajor ? w : u;
    T* p = origin + std::ptrdiff_t(py) * stride + std::ptrdiff_t(px);
    for (i64 n = ihi - ilo + 1;;) {
        *p = v;
        if (--n == 0) break;
        p += smaj;
        rem += inc;
        if (rem >= 0) {
            rem -= dec;
            p += smin;
        }
    }
}

// Coordinates far outside the image (up to the int range) are legal but would make the
// stepping loop's setup overflow-prone in places outside this module's control; they are
// first cut back to a margin around the clip rectangle. The margin keeps the visible
// pixels of ordinary lines identical to the unclipped line.
bool pre_clip(const Rect& c, double& x0, double& y0, double& x1, double& y1) {
    const double m = 64.0;
    const double bx0 = c.x0 - m, by0 = c.y0 - m, bx1 = c.x1 + m, by1 = c.y1 + m;
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double pv[4] = {-dx, dx, -dy, dy};
    const double qv[4] = {x0 - bx0, bx1 - x0, y0 - by0, by1 - y0};
    for (int i = 0; i < 4; ++i) {
        if (pv[i] == 0.0) {
            if (qv[i] < 0.0) return false;
        } else {
            const double t = qv[i] / pv[i];
            if (pv[i] < 0.0) {
                if (t > t1) return false;
                t0 = std::max(t0, t);
            } else {
                if (t < t0) return false;
                t1 = std::min(t1, t);
            }
        }
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}

inline bool small_int(double v) { return std::fabs(v) < double(1 << 30); }

// lround() for |v| < 2^31, inline: halves go away from zero.
inline int round_half_away(double v) {
    int i = int(v);
    const double f = v - double(i);  // exact
    if (f >= 0.5)
        ++i;
    else if (f <= -0.5)
        --i;
    return i;
}

// ceil() for |v| < 2^52 (the callers' values are far smaller), inline.
inline double dceil(double v) {
    const double t = double(static_cast<long long>(v));
    return t < v ? t + 1.0 : t;
}

// Thin line between double points (rounded to pixels), for polygon outlines.
void thin_line_d(Image& img, uint32_t value, double x0, double y0, double x1, double y1) {
    if (!small_int(x0) || !small_int(y0) || !small_int(x1) || !small_int(y1)) {
        if (!pre_clip(img.clip(), x0, y0, x1, y1)) return;
    }
    const int ix0 = round_half_away(x0), iy0 = round_half_away(y0);
    const int ix1 = round_half_away(x1), iy1 = round_half_away(y1);
    if (img.truecolour())
        thin_line<uint32_t>(img.data(), img.stride(), img.clip(), ix0, iy0, ix1, iy1, value);
    else
        thin_line<uint8_t>(img.data(), img.stride(), img.clip(), ix0, iy0, ix1, iy1,
                           uint8_t(value));
}

// ---------------------------------------------------------------------------------------
// Area pieces.

// Convex polygon, sampled at integer points with the top-left rule. The outline is split
// at its top vertex into the two chains running down to the bottom vertex; each chain is
// turned into edges with integer row ranges, so a row costs two additions.
void convex_spans(const Target& t, const double* x, const double* y, int n) {
    if (n < 3 || n > 64 || t.clip.empty()) return;
    int top = 0, bot = 0;
    for (int i = 1; i < n; ++i) {
        if (y[i] < y[top]) top = i;
        if (y[i] > y[bot]) bot = i;
    }
    const double ymin = std::max(y[top], double(t.clip.y0));
    const double ymax = std::min(y[bot], double(t.clip.y1) + 1.0);
    if (!(ymin < ymax)) return;
    const int ys = iceil(ymin), ye = iceil(ymax);  // rows ys .. ye - 1
    if (ys >= ye) return;

    struct RowEdge {
        int r0, r1;     // rows r0 .. r1 - 1
        double x, dx;   // crossing at row r0, change per row
    };
    RowEdge ch[2][64];
    int cn[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        const int step = side ? n - 1 : 1;  // forwards or backwards round the outline
        for (int a = top; a != bot;) {
            const int b = (a + step) % n;
            if (y[a] < y[b]) {
                // Clamped to the clip rows before converting: vertices may lie anywhere.
                const int r0 = iceil(std::clamp(y[a], ymin, ymax));
                const int r1 = iceil(std::clamp(y[b], ymin, ymax));
                if (r0 < r1) {
                    RowEdge& e = ch[side][cn[side]++];
                    e.r0 = r0;
                    e.r1 = r1;
                    e.dx = (x[b] - x[a]) / (y[b] - y[a]);
                    e.x = x[a] + (r0 - y[a]) * e.dx;
                }
            }
            a = b;
        }
    }
    const double xlo_lim = t.clip.x0 - 1.0, xhi_lim = t.clip.x1 + 1.0;
    int i0 = 0, i1 = 0;
    while (i0 < cn[0] && i1 < cn[1]) {
        const RowEdge& e0 = ch[0][i0];
        const RowEdge& e1 = ch[1][i1];
        const int from = std::max(e0.r0, e1.r0), to = std::min(e0.r1, e1.r1);
        double xa = e0.x + (from - e0.r0) * e0.dx, xb = e1.x + (from - e1.r0) * e1.dx;
        for (int yy = from; yy < to; ++yy, xa += e0.dx, xb += e1.dx) {
            const double xl = std::clamp(std::min(xa, xb), xlo_lim, xhi_lim);
            const double xr = std::clamp(std::max(xa, xb), xlo_lim, xhi_lim);
            t.span(yy, iceil(xl), iceil(xr) - 1);
        }
        if (e0.r1 == to) ++i0;
        if (e1.r1 == to) ++i1;
    }
}

// Open disc: samples strictly inside the circle.
void disc_spans(const Target& t, double cx, double cy, double r) {
    if (!(r > 0.0) || t.clip.empty()) return;
    const double ylo = std::max(cy - r, double(t.clip.y0));
    const double yhi = std::min(cy + r, double(t.clip.y1) + 1.0);
    if (!(ylo < yhi)) return;
    const int ys = iceil(ylo), ye = iceil(yhi) - 1;
    const double r2 = r * r;
    const double xlo_lim = t.clip.x0 - 1.0, xhi_lim = t.clip.x1 + 1.0;
    for (int yy = ys; yy <= ye; ++yy) {
        const double dy = yy - cy;
        const double h2 = r2 - dy * dy;
        if (h2 <= 0.0) continue;
        const double h = std::sqrt(h2);
        const double xl = std::clamp(cx - h, xlo_lim, xhi_lim);
        const double xr = std::clamp(cx + h, xlo_lim, xhi_lim);
        // Samples exactly on the circle are left out on every side (the top-left rule
        // would keep the leftmost tangent point but not the topmost one, and a disc
        // would then change under transposition).
        t.span(yy, ifloor(xl) + 1, iceil(xr) - 1);
    }
}

void quad(const Target& t, double ax, double ay, double bx, double by, double cx, double cy,
          double dx, double dy) {
    const double xs[4] = {ax, bx, cx, dx}, ys[4] = {ay, by, cy, dy};
    convex_spans(t, xs, ys, 4);
}

void triangle(const Target& t, double ax, double ay, double bx, double by, double cx,
              double cy) {
    const double xs[3] = {ax, bx, cx}, ys[3] = {ay, by, cy};
    convex_spans(t, xs, ys, 3);
}

// Square end of side 2r centred on (x, y) and turned along the unit direction (ux, uy).
void square_dot(const Target& t, double x, double y, double r, double ux, double uy) {
    const double ax = ux * r, ay = uy * r, nx = -uy * r, ny = ux * r;
    quad(t, x - ax + nx, y - ay + ny, x + ax + nx, y + ay + ny, x + ax - nx, y + ay - ny,
         x - ax - nx, y - ay - ny);
}

// ---------------------------------------------------------------------------------------
// Anti-aliased lines (true colour): Wu's two-pixel coverage along the major axis.

inline void blend(uint8_t* q, const Paint& p, unsigned a) {
    // Source-over with coverage a (0..255) folded into the colour's alpha; the division
    // by 255 is rounded: (v + 128 + ((v + 128) >> 8)) >> 8 == round(v / 255) for v < 65536.
    const unsigned na = 255 - a;
    auto mix = [](unsigned d, unsigned s, unsigned a_, unsigned na_) {
        const unsigned v = d * na_ + s * a_ + 128;
        return uint8_t((v + (v >> 8)) >> 8);
    };
    q[0] = mix(q[0], p.r, a, na);
    q[1] = mix(q[1], p.g, a, na);
    q[2] = mix(q[2], p.b, a, na);
    q[3] = mix(q[3], 255, a, na);
}

void aa_line(Image& img, double x0, double y0, double x1, double y1, const Paint& p) {
    const Rect& c = img.clip();
    if (c.empty()) return;
    if (!pre_clip(c, x0, y0, x1, y1)) return;
    const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
    if (steep) {
        std::swap(x0, y0);
        std::swap(x1, y1);
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const double g = x1 == x0 ? 0.0 : (y1 - y0) / (x1 - x0);
    // Major axis u, minor axis w in image terms.
    const int ulo = steep ? c.y0 : c.x0, uhi = steep ? c.y1 : c.x1;
    const int wlo = steep ? c.x0 : c.y0, whi = steep ? c.x1 : c.y1;
    const int ia = std::max(int(std::lround(x0)), ulo);
    const int ib = std::min(int(std::lround(x1)), uhi);
    const std::ptrdiff_t stride = img.stride();
    uint8_t* base = img.data();
    // Step from one pixel to the next along the minor axis, in bytes.
    const std::ptrdiff_t minor_step = steep ? 4 : stride;
    const unsigned alpha = p.a;
    for (int i = ia; i <= ib; ++i) {
        const double w = y0 + g * (i - x0);
        const int iw = ifloor(w);
        const unsigned f = unsigned((w - iw) * 256.0);  // 0..255 (w - iw < 1)
        const unsigned a2 = (f * alpha + 128) >> 8, a1 = alpha - a2;
        // Byte offset of (i, iw); only turned into a pointer for pixels inside the clip.
        const std::ptrdiff_t off = steep ? std::ptrdiff_t(i) * stride + 4 * std::ptrdiff_t(iw)
                                         : std::ptrdiff_t(iw) * stride + 4 * std::ptrdiff_t(i);
        if (iw >= wlo && iw <= whi && a1) blend(base + off, p, a1);
        if (iw + 1 >= wlo && iw + 1 <= whi && a2) blend(base + off + minor_step, p, a2);
    }
}

// ---------------------------------------------------------------------------------------
// Polygon fill scratch: kept per thread so that filling many small polygons (shaded cells)
// allocates nothing after the first call.
struct Edge {
    double x;     // crossing at the current scan line
    double dxdy;
    int ys, ye;   // active for ys <= y < ye
};

struct PolyScratch {
    std::vector<Edge> edges;
    std::vector<Edge> active;
    std::vector<int> events;
};

thread_local PolyScratch g_poly;

// Largest number of edges active on one scan line; used only when the edge count alone
// could exceed the limit.
std::size_t max_crossings(const std::vector<Edge>& edges, std::vector<int>& ev) {
    ev.clear();
    for (const Edge& e : edges) {
        ev.push_back(e.ys * 2 + 1);  // starts sort after ends on the same line
        ev.push_back(e.ye * 2);
    }
    std::sort(ev.begin(), ev.end());
    std::size_t cur = 0, best = 0;
    for (int v : ev) {
        if (v & 1) {
            best = std::max(best, ++cur);
        } else {
            --cur;
        }
    }
    return best;
}

}  // namespace

// ---------------------------------------------------------------------------------------

void draw_line(Image& img, int x0, int y0, int x1, int y1, const Paint& p) {
    if (img.empty()) return;
    if (img.truecolour())
        thin_line<uint32_t>(img.data(), img.stride(), img.clip(), x0, y0, x1, y1,
                            img.pixel_value(p));
    else
        thin_line<uint8_t>(img.data(), img.stride(), img.clip(), x0, y0, x1, y1, p.index);
}

template <class T>
static void polyline_t(Image& img, const int* x, const int* y, int n, T v) {
    uint8_t* base = img.data();
    const std::ptrdiff_t stride = img.stride();
    const Rect c = img.clip();
    for (int i = 1; i < n; ++i) thin_line<T>(base, stride, c, x[i - 1], y[i - 1], x[i], y[i], v);
}

void draw_polyline(Image& img, const int* x, const int* y, int n, const Paint& p) {
    if (img.empty() || !x || !y || n <= 0) return;
    if (n == 1) {
        img.set_pixel(x[0], y[0], p);
        return;
    }
    if (img.truecolour())
        polyline_t<uint32_t>(img, x, y, n, img.pixel_value(p));
    else
        polyline_t<uint8_t>(img, x, y, n, p.index);
}

void draw_line_aa(Image& img, double x0, double y0, double x1, double y1, const Paint& p) {
    if (img.empty()) return;
    const double v[4] = {x0, y0, x1, y1};
    if (!finite_all(v, 4)) return;
    if (!img.truecolour()) {
        thin_line_d(img, p.index, x0, y0, x1, y1);
        return;
    }
    aa_line(img, x0, y0, x1, y1, p);
}

void draw_polyline_aa(Image& img, const int* x, const int* y, int n, const Paint& p) {
    if (img.empty() || !x || !y || n <= 0) return;
    if (!img.truecolour()) {
        draw_polyline(img, x, y, n, p);
        return;
    }
    if (n == 1) {
        img.set_pixel(x[0], y[0], p);
        return;
    }
    for (int i = 1; i < n; ++i) aa_line(img, x[i - 1], y[i - 1], x[i], y[i], p);
}

void fill_span(Image& img, int y, int x0, int x1, const Paint& p) {
    if (img.empty()) return;
    const Target t(img, p);
    if (y < t.clip.y0 || y > t.clip.y1) return;
    if (x1 < x0) std::swap(x0, x1);
    t.span(y, x0, x1);
}

void fill_rect(Image& img, int x0, int y0, int x1, int y1, const Paint& p) {
    if (img.empty()) return;
    const Target t(img, p);
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    y0 = std::max(y0, t.clip.y0);
    y1 = std::min(y1, t.clip.y1);
    for (int y = y0; y <= y1; ++y) t.span(y, x0, x1);
}

void fill_disc(Image& img, double cx, double cy, double r, const Paint& p) {
    if (img.empty() || !std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(r)) return;
    disc_spans(Target(img, p), cx, cy, r);
}

void fill_convex(Image& img, const double* x, const double* y, int n, const Paint& p) {
    if (img.empty() || !x || !y || n < 3 || n > 64) return;
    if (!finite_all(x, n) || !finite_all(y, n)) return;
    convex_spans(Target(img, p), x, y, n);
}

void draw_point(Image& img, int x, int y, int width, PointShape shape, const Paint& p) {
    if (img.empty()) return;
    if (width <= 1 || shape == PointShape::Pixel) {
        img.set_pixel(x, y, p);
        return;
    }
    // Even widths cannot be centred on a pixel; square and disc both take the pixels
    // x - w/2 .. x - w/2 + w - 1 so the two shapes have the same box.
    const int lo = width / 2;
    if (shape == PointShape::Square) {
        fill_rect(img, x - lo, y - lo, x - lo + width - 1, y - lo + width - 1, p);
        return;
    }
    const double off = (width % 2 == 0) ? 0.5 : 0.0;
    disc_spans(Target(img, p), x - off, y - off, width / 2.0);
}

void draw_wide_polyline(Image& img, const double* xin, const double* yin, int n,
                        const StrokeStyle& s, const Paint& p) {
    if (img.empty() || !xin || !yin || n <= 0) return;
    if (!finite_all(xin, n) || !finite_all(yin, n) || !std::isfinite(s.width)) return;
    const Target t(img, p);
    if (t.clip.empty()) return;
    const double r = std::max(s.width, 1.0) / 2.0;

    // Drop repeated points: they carry no direction.
    thread_local std::vector<double> px, py;
    px.clear();
    py.clear();
    px.push_back(xin[0]);
    py.push_back(yin[0]);
    for (int i = 1; i < n; ++i) {
        if (std::fabs(xin[i] - px.back()) < 1e-9 && std::fabs(yin[i] - py.back()) < 1e-9)
            continue;
        px.push_back(xin[i]);
        py.push_back(yin[i]);
    }
    int m = int(px.size());
    if (m == 1) {
        if (s.cap == Cap::Round)
            disc_spans(t, px[0], py[0], r);
        else if (s.cap == Cap::Square)
            square_dot(t, px[0], py[0], r, 1.0, 0.0);
        return;
    }
    bool closed = false;
    if (m > 2 && std::fabs(px[0] - px[m - 1]) < 0.5 && std::fabs(py[0] - py[m - 1]) < 0.5) {
        closed = true;
        px[m - 1] = px[0];  // close exactly so the last join lines up with the first
        py[m - 1] = py[0];
    }

    // Skips pieces far from the clip rectangle cheaply (long curves mostly off-window).
    const double gx0 = t.clip.x0 - r - 2, gx1 = t.clip.x1 + r + 2;
    const double gy0 = t.clip.y0 - r - 2, gy1 = t.clip.y1 + r + 2;
    auto visible = [&](double ax, double ay, double bx, double by) {
        return !(std::max(ax, bx) < gx0 || std::min(ax, bx) > gx1 ||
                 std::max(ay, by) < gy0 || std::min(ay, by) > gy1);
    };

    // Join at vertex (vx, vy) between the unit directions d1 and d2.
    auto join = [&](double vx, double vy, double d1x, double d1y, double d2x, double d2y) {
        if (!visible(vx, vy, vx, vy)) return;
        const double cross = d1x * d2y - d1y * d2x;
        const double dot = d1x * d2x + d1y * d2y;
        if (std::fabs(cross) < 1e-12 && dot > 0) return;  // straight on: bodies abut
        if (s.join == Join::Round) {
            disc_spans(t, vx, vy, r);
            return;
        }
        // The outer side is the one the path turns away from.
        const double sg = cross > 0 ? -1.0 : 1.0;
        const double ax = vx + sg * r * -d1y, ay = vy + sg * r * d1x;
        const double bx = vx + sg * r * -d2y, by = vy + sg * r * d2x;
        if (s.join == Join::Miter && 1.0 + dot > 1e-12) {
            // Miter length / line width = 1 / sin(theta / 2), theta the angle between
            // the segments; sin(theta / 2) = sqrt((1 + dot) / 2).
            const double ratio = 1.0 / std::sqrt((1.0 + dot) / 2.0);
            if (ratio <= s.miter_limit) {
                const double k = sg * r / (1.0 + dot);
                const double mx = vx + k * (-d1y - d2y), my = vy + k * (d1x + d2x);
                quad(t, vx, vy, ax, ay, mx, my, bx, by);
                return;
            }
        }
        triangle(t, vx, vy, ax, ay, bx, by);
    };

    double first_dx = 0, first_dy = 0, prev_dx = 0, prev_dy = 0;
    for (int i = 0; i + 1 < m; ++i) {
        double ax = px[i], ay = py[i], bx = px[i + 1], by = py[i + 1];
        const double len = std::hypot(bx - ax, by - ay);
        const double dx = (bx - ax) / len, dy = (by - ay) / len;
        if (i == 0) {
            first_dx = dx;
            first_dy = dy;
        } else {
            join(ax, ay, prev_dx, prev_dy, dx, dy);
        }
        prev_dx = dx;
        prev_dy = dy;
        if (!closed && s.cap == Cap::Square) {
            if (i == 0) {
                ax -= dx * r;
                ay -= dy * r;
            }
            if (i + 2 == m) {
                bx += dx * r;
                by += dy * r;
            }
        }
        if (!visible(ax, ay, bx, by)) continue;
        const double nx = -dy * r, ny = dx * r;
        quad(t, ax + nx, ay + ny, bx + nx, by + ny, bx - nx, by - ny, ax - nx, ay - ny);
    }
    if (closed) {
        join(px[0], py[0], prev_dx, prev_dy, first_dx, first_dy);
    } else if (s.cap == Cap::Round) {
        if (visible(px[0], py[0], px[0], py[0])) disc_spans(t, px[0], py[0], r);
        if (visible(px[m - 1], py[m - 1], px[m - 1], py[m - 1]))
            disc_spans(t, px[m - 1], py[m - 1], r);
    }
}

namespace {

// The closed outline as thin lines. Sides that round to a single pixel set only their end
// pixel, which the neighbouring sides set too, so small polygons skip them.
void draw_outline(Image& img, uint32_t value, const double* x, const double* y, int n) {
    bool small = n <= 64;
    for (int i = 0; i < n && small; ++i) small = small_int(x[i]) && small_int(y[i]);
    if (!small) {
        for (int i = 0; i < n; ++i) {
            const int j = i + 1 == n ? 0 : i + 1;
            thin_line_d(img, value, x[i], y[i], x[j], y[j]);
        }
        return;
    }
    int ix[64], iy[64];
    for (int i = 0; i < n; ++i) {
        ix[i] = round_half_away(x[i]);
        iy[i] = round_half_away(y[i]);
    }
    const bool tc = img.truecolour();
    uint8_t* base = img.data();
    const std::ptrdiff_t stride = img.stride();
    const Rect c = img.clip();
    bool any = false;
    for (int i = 0; i < n; ++i) {
        const int j = i + 1 == n ? 0 : i + 1;
        if (ix[i] == ix[j] && iy[i] == iy[j]) continue;
        if (tc)
            thin_line<uint32_t>(base, stride, c, ix[i], iy[i], ix[j], iy[j], value);
        else
            thin_line<uint8_t>(base, stride, c, ix[i], iy[i], ix[j], iy[j], uint8_t(value));
        any = true;
    }
    if (!any) {
        if (tc)
            thin_line<uint32_t>(base, stride, c, ix[0], iy[0], ix[0], iy[0], value);
        else
            thin_line<uint8_t>(base, stride, c, ix[0], iy[0], ix[0], iy[0], uint8_t(value));
    }
}

// One edge for each non-horizontal side that crosses a scan line of the clip rows.
// Returns the number of edges written to `out` (room for n).
std::size_t make_edges(const Target& t, const double* x, const double* y, int n, Edge* out) {
    const double cy0 = t.clip.y0, cy1 = t.clip.y1 + 1.0;
    std::size_t ne = 0;
    for (int i = 0; i < n; ++i) {
        const int j = i + 1 == n ? 0 : i + 1;
        double xa = x[i], ya = y[i], xb = x[j], yb = y[j];
        if (ya == yb) continue;  // horizontal edges never cross a scan line
        if (ya > yb) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
        // Scan lines y with ya <= y < yb, cut to the clip rows. Edges above or below the
        // clip rows cannot matter; edges left or right of it still count for parity.
        const double ys = std::max(std::fabs(ya) < 0x1p52 ? dceil(ya) : ya, cy0);
        const double ye = std::min(std::fabs(yb) < 0x1p52 ? dceil(yb) : yb, cy1);
        if (!(ys < ye)) continue;
        Edge& e = out[ne++];
        e.dxdy = (xb - xa) / (yb - ya);
        e.x = xa + (ys - ya) * e.dxdy;
        e.ys = int(ys);
        e.ye = int(ye);
    }
    return ne;
}

// Even-odd spans between the crossings of the active edges, row by row. `edges` is sorted
// by first row; `act` has room for all of them.
void scan_edges(const Target& t, const Edge* edges, std::size_t ne, Edge* act) {
    const double xlo_lim = t.clip.x0 - 1.0, xhi_lim = t.clip.x1 + 1.0;
    std::size_t na = 0, next = 0;
    int yy = ne ? edges[0].ys : 0;
    while (next < ne || na) {
        if (!na) yy = edges[next].ys;  // skip empty rows in one step
        // Retire finished edges, then add the ones starting here.
        std::size_t k = 0;
        for (std::size_t i = 0; i < na; ++i)
            if (act[i].ye > yy) act[k++] = act[i];
        na = k;
        while (next < ne && edges[next].ys == yy) act[na++] = edges[next++];
        // Insertion sort: the order changes little from one row to the next.
        for (std::size_t i = 1; i < na; ++i) {
            const Edge e = act[i];
            std::size_t j = i;
            while (j > 0 && act[j - 1].x > e.x) {
                act[j] = act[j - 1];
                --j;
            }
            act[j] = e;
        }
        for (std::size_t i = 0; i + 1 < na; i += 2) {
            const double xl = std::clamp(act[i].x, xlo_lim, xhi_lim);
            const double xr = std::clamp(act[i + 1].x, xlo_lim, xhi_lim);
            t.span(yy, iceil(xl), iceil(xr) - 1);
        }
        for (std::size_t i = 0; i < na; ++i) act[i].x += act[i].dxdy;
        ++yy;
    }
}

}  // namespace

int fill_polygon(Image& img, const double* x, const double* y, int n, const Paint& p,
                 bool with_outline, std::size_t max_intersections) {
    if (img.empty() || !x || !y || n <= 0) return kOk;
    if (!finite_all(x, n) || !finite_all(y, n)) return kBadArgument;
    const Target t(img, p);
    if (t.clip.empty()) return kOk;
    constexpr int kSmall = 64;   // symbols and cells: everything on the stack
    if (n <= kSmall && std::size_t(n) <= max_intersections) {
        // Worked out relative to a whole pixel near the polygon, so that a polygon moved by
        // whole pixels sets the same pixels moved (plot symbols are repeated by offset).
        const int ox = std::fabs(x[0]) < 1e9 ? ifloor(x[0]) : 0;
        const int oy = std::fabs(y[0]) < 1e9 ? ifloor(y[0]) : 0;
        double rx[kSmall], ry[kSmall];
        for (int i = 0; i < n; ++i) {
            rx[i] = x[i] - ox;
            ry[i] = y[i] - oy;
        }
        const Target ts = t.shifted(ox, oy);
        Edge edges[kSmall], act[kSmall];
        const std::size_t ne = make_edges(ts, rx, ry, n, edges);
        for (std::size_t i = 1; i < ne; ++i) {
            const Edge e = edges[i];
            std::size_t j = i;
            while (j > 0 && edges[j - 1].ys > e.ys) {
                edges[j] = edges[j - 1];
                --j;
            }
            edges[j] = e;
        }
        scan_edges(ts, edges, ne, act);
    } else {
        PolyScratch& S = g_poly;
        try {
            S.edges.resize(std::size_t(n));
            S.edges.resize(make_edges(t, x, y, n, S.edges.data()));
            if (S.edges.size() > max_intersections &&
                max_crossings(S.edges, S.events) > max_intersections)
                return kTooManyIntersections;
            std::sort(S.edges.begin(), S.edges.end(),
                      [](const Edge& a, const Edge& b) { return a.ys < b.ys; });
            S.active.resize(S.edges.size());
        } catch (const std::bad_alloc&) {
            return kNoMemory;
        }
        scan_edges(t, S.edges.data(), S.edges.size(), S.active.data());
    }

    if (with_outline) draw_outline(img, t.value, x, y, n);
    return kOk;
}

void stroke_polyline(Image& img, const int* x, const int* y, int n, const StrokeStyle& s,
                     const Paint& p) {
    if (img.empty() || !x || !y || n <= 0) return;
    if (n == 1) {
        const double w = std::isfinite(s.width) ? std::clamp(s.width, 0.0, 1e6) : 1.0;
        draw_point(img, x[0], y[0], int(std::lround(w)), s.point_shape, p);
        return;
    }
    if (s.width < 2.0) {
        if (s.smooth && img.truecolour())
            draw_polyline_aa(img, x, y, n, p);
        else
            draw_polyline(img, x, y, n, p);
        return;
    }
    thread_local std::vector<double> dx, dy;
    dx.assign(x, x + n);
    dy.assign(y, y + n);
    draw_wide_polyline(img, dx.data(), dy.data(), n, s, p);
}

}  // namespace tavero::raster
