// Tests of the raster module: image buffer, rasterisers and encoders.
//
//   g++ -std=c++20 -O2 -Wall -Wextra -I src tests/cpp/test_raster.cpp
//       src/drivers/raster/*.cpp -lz -ldeflate -o /tmp/tr && /tmp/tr
//
// `/tmp/tr --samples DIR` writes one file per format and image kind into DIR instead;
// tests/cpp/check_encoders.py decodes them with independent readers.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "drivers/raster/deflate.h"
#include "drivers/raster/encode.h"
#include "drivers/raster/image.h"
#include "drivers/raster/raster.h"

using namespace tavero::raster;

static int g_failures = 0;
#define CHECK(cond)                                                          \
    do {                                                                     \
        if (!(cond)) {                                                       \
            std::printf("FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond);      \
            ++g_failures;                                                    \
        }                                                                    \
    } while (0)

// ---------------------------------------------------------------------------------------
// helpers

static Paint ink(uint8_t index = 1) {
    Paint p;
    p.index = index;
    p.r = 200;
    p.g = 10;
    p.b = 30;
    return p;
}

static bool lit(const Image& img, int x, int y) {
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return false;
    const uint8_t* q = img.row(y) + x * img.bytes_per_pixel();
    for (int i = 0; i < img.bytes_per_pixel(); ++i)
        if (q[i]) return true;
    return false;
}

static long count_lit(const Image& img) {
    long n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += lit(img, x, y);
    return n;
}

static bool lit_outside(const Image& img, const Rect& r) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((x < r.x0 || x > r.x1 || y < r.y0 || y > r.y1) && lit(img, x, y)) return true;
    return false;
}

static bool same_pixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

static Image make(int w, int h, bool tc = false) {
    Image img;
    img.create(w, h, tc, false);
    return img;
}

// ---------------------------------------------------------------------------------------

static void test_image_buffer() {
    Image t;
    CHECK(t.create(0, 5, false, false) == kBadArgument);
    CHECK(t.create(7, 5, true, true) == kOk);
    CHECK(t.stride() == 28 && t.size_bytes() == 140);
    Paint px;
    CHECK(t.get_pixel(6, 4, px) && px.r == 255 && px.g == 255 && px.b == 255 && px.a == 0);
    Image i = make(7, 5);
    CHECK(count_lit(i) == 0);

    // Clip: writes outside are refused, the clip never leaves the image, and a window
    // wholly outside the image draws nothing at all.
    i.set_clip(2, 1, 100, 3);
    CHECK(i.clip().x1 == 6 && i.clip().y1 == 3);
    CHECK(!i.set_pixel(1, 2, ink()) && !i.set_pixel(3, 4, ink()) && i.set_pixel(6, 3, ink()));
    const uint8_t src[7] = {1, 2, 3, 4, 5, 6, 7};
    CHECK(i.write_row(0, 2, src, 7) == 5);
    uint8_t back[9] = {};
    CHECK(i.read_row(-1, 2, back, 9) == 7);
    CHECK(back[0] == 0 && back[1] == 0 && back[2] == 0 && back[3] == 3 && back[7] == 7);
    i.set_clip_enabled(false);
    CHECK(i.set_pixel(0, 0, ink()));
    i.set_clip_enabled(true);
    i.set_clip(20, 20, 30, 30);
    CHECK(i.clip().empty());
    fill_rect(i, 0, 0, 6, 4, ink(9));
    draw_line(i, 0, 0, 6, 4, ink(9));
    Paint q;
    i.get_pixel(6, 4, q);
    CHECK(q.index != 9);

    // Colours: nearest index takes the first minimum, an exact match wins.
    uint8_t pal[12] = {0, 0, 0, 10, 10, 10, 0, 0, 20, 10, 10, 10};
    CHECK(nearest_index(pal, 4, 5, 5, 5) == 0);   // ties 15 vs 15 -> lower index
    CHECK(nearest_index(pal, 4, 10, 10, 10) == 1);
    CHECK(nearest_index(pal, 2, 0, 0, 20) == 0);  // only the usable entries count
    i.set_palette(pal, 4);
    CHECK(i.paint_rgb(1, 1, 19).index == 2);
    CHECK(i.paint_index(0x01000101).index == 1);  // colour values use their low byte

    Image c = make(3, 2, true);
    Paint r = ink();
    c.fill_all(r);
    c.clear();
    CHECK(count_lit(c) == 0);
}

// ---------------------------------------------------------------------------------------

static void test_thin_lines() {
    std::mt19937 rng(7);
    // End points exact and one pixel per major step, in every octant.
    for (int rep = 0; rep < 400; ++rep) {
        Image img = make(64, 64, rep & 1);
        std::uniform_int_distribution<int> d(0, 63);
        const int x0 = d(rng), y0 = d(rng), x1 = d(rng), y1 = d(rng);
        draw_line(img, x0, y0, x1, y1, ink());
        CHECK(lit(img, x0, y0) && lit(img, x1, y1));
        const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
        CHECK(count_lit(img) == std::max(dx, dy) + 1);
        // Every pixel lies within half a pixel of the ideal line (minor axis).
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                if (!lit(img, x, y)) continue;
                const double len = std::hypot(dx, dy);
                const double dist =
                    len == 0 ? 0 : std::fabs((x1 - x0) * (y0 - y) - (x0 - x) * (y1 - y0)) / len;
                CHECK(dist <= 0.5 * std::max(dx, dy) / len + 1e-9);
            }
    }

    // Clipping removes pixels but never moves them: lines clipped to a window equal the
    // whole line drawn on a large canvas and cut to the same window.
    const Rect win{40, 50, 160, 130};
    for (int rep = 0; rep < 3000; ++rep) {
        const bool tc = rep & 1;
        std::uniform_int_distribution<int> d(-250, 450);
        const int x0 = d(rng), y0 = d(rng), x1 = d(rng), y1 = d(rng);
        Image big = make(800, 800, tc);
        draw_line(big, x0 + 300, y0 + 300, x1 + 300, y1 + 300, ink());
        Image img = make(200, 200, tc);
        img.set_clip(win.x0, win.y0, win.x1, win.y1);
        draw_line(img, x0, y0, x1, y1, ink());
        bool ok = !lit_outside(img, win);
        for (int y = win.y0; y <= win.y1 && ok; ++y)
            for (int x = win.x0; x <= win.x1; ++x)
                if (lit(img, x, y) != lit(big, x + 300, y + 300)) ok = false;
        CHECK(ok);
        if (!ok) {
            std::printf("  line %d,%d -> %d,%d\n", x0, y0, x1, y1);
            break;
        }
    }

    // Coordinates near the int limits must neither crash nor draw outside the clip.
    Image img = make(100, 100);
    img.set_clip(10, 10, 89, 89);
    draw_line(img, -2000000000, -1999999000, 2000000000, 2000000000, ink());
    draw_line(img, 50, -2147483647, 50, 2147483647, ink());
    CHECK(!lit_outside(img, img.clip()));
    CHECK(lit(img, 50, 10) && lit(img, 50, 89) && lit(img, 50, 50));

    // Polylines: a one-point polyline sets its pixel only when inside the clip.
    Image e = make(10, 10);
    e.set_clip(0, 0, 8, 8);
    const int px[1] = {9}, py[1] = {9};
    draw_polyline(e, px, py, 1, ink());
    StrokeStyle st;
    st.width = 3;
    st.point_shape = PointShape::Square;
    stroke_polyline(e, px, py, 1, st, ink());
    CHECK(count_lit(e) == 1 && lit(e, 8, 8));  // the 3 x 3 square cut to one pixel
}

// ---------------------------------------------------------------------------------------

static void test_aa_lines() {
    Image img = make(40, 40, true);
    draw_line_aa(img, 5, 10, 30, 10, ink());
    Paint p;
    img.get_pixel(5, 10, p);
    CHECK(p.r == 200 && p.g == 10 && p.a == 255);
    CHECK(count_lit(img) == 26);

    // A sloped line spreads its ink over two pixels per column; the coverage per column
    // adds up to one full pixel.
    Image s = make(40, 40, true);
    draw_line_aa(s, 2, 3, 35, 20, ink());
    for (int x = 3; x < 35; ++x) {
        int sum = 0;
        for (int y = 0; y < 40; ++y) {
            s.get_pixel(x, y, p);
            sum += p.a;
        }
        CHECK(std::abs(sum - 255) <= 2);
    }
    // Clip rectangle holds for blended pixels too; indexed images get the thin line.
    Image c = make(40, 40, true);
    c.set_clip(10, 10, 20, 20);
    draw_line_aa(c, 0, 0, 39, 33, ink());
    CHECK(!lit_outside(c, c.clip()) && count_lit(c) > 10);
    Image i1 = make(40, 40), i2 = make(40, 40);
    draw_line_aa(i1, 2, 3, 35, 20, ink());
    draw_line(i2, 2, 3, 35, 20, ink());
    CHECK(same_pixels(i1, i2));
}

// ---------------------------------------------------------------------------------------

static void test_polygons() {
    // A rectangle polygon equals the rectangle fill, in both modes, both orientations,
    // with and without a clip cutting it.
    for (int tc = 0; tc < 2; ++tc)
        for (int clip = 0; clip < 2; ++clip) {
            Image a = make(60, 50, tc), b = make(60, 50, tc);
            if (clip) {
                a.set_clip(15, 12, 40, 30);
                b.set_clip(15, 12, 40, 30);
            }
            const double xs[4] = {10, 45, 45, 10}, ys[4] = {8, 8, 33, 33};
            CHECK(fill_polygon(a, xs, ys, 4, ink()) == kOk);
            fill_rect(b, 45, 33, 10, 8, ink());
            CHECK(same_pixels(a, b));
            const double rx[4] = {10, 10, 45, 45}, ry[4] = {8, 33, 33, 8};
            Image c = make(60, 50, tc);
            if (clip) c.set_clip(15, 12, 40, 30);
            fill_polygon(c, rx, ry, 4, ink());
            CHECK(same_pixels(c, b));
        }

    // Even-odd rule: the centre pentagon of a pentagram stays empty, the tips are filled.
    const double pi = std::acos(-1.0);
    double sx[5], sy[5];
    for (int k = 0; k < 5; ++k) {
        const double a = -pi / 2 + k * 4 * pi / 5;
        sx[k] = 50 + 40 * std::cos(a);
        sy[k] = 50 + 40 * std::sin(a);
    }
    for (int outline = 0; outline < 2; ++outline) {
        Image img = make(100, 100);
        CHECK(fill_polygon(img, sx, sy, 5, ink(), outline) == kOk);
        CHECK(!lit(img, 50, 50) && !lit(img, 45, 52) && !lit(img, 55, 48));
        for (int k = 0; k < 5; ++k)  // three quarters of the way out to each tip
            CHECK(lit(img, int(std::lround(50 + 0.75 * (sx[k] - 50))),
                      int(std::lround(50 + 0.75 * (sy[k] - 50)))));
    }

    // Tiling: triangles sharing edges (fractional vertices) cover every pixel of their
    // union once: the per-triangle counts add up to the union's count.
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> jit(-0.45, 0.45);
    const int G = 9;
    double gx[G + 1][G + 1], gy[G + 1][G + 1];
    for (int i = 0; i <= G; ++i)
        for (int j = 0; j <= G; ++j) {
            const bool border = i == 0 || j == 0 || i == G || j == G;
            gx[i][j] = 5 + 9.3 * i + (border ? 0 : jit(rng) * 9);
            gy[i][j] = 4 + 8.7 * j + (border ? 0 : jit(rng) * 8);
        }
    Image uni = make(100, 90);
    long sum = 0;
    for (int i = 0; i < G; ++i)
        for (int j = 0; j < G; ++j) {
            const double t1x[3] = {gx[i][j], gx[i + 1][j], gx[i + 1][j + 1]};
            const double t1y[3] = {gy[i][j], gy[i + 1][j], gy[i + 1][j + 1]};
            const double t2x[3] = {gx[i][j], gx[i + 1][j + 1], gx[i][j + 1]};
            const double t2y[3] = {gy[i][j], gy[i + 1][j + 1], gy[i][j + 1]};
            for (int t = 0; t < 2; ++t) {
                Image one = make(100, 90);
                fill_polygon(one, t ? t2x : t1x, t ? t2y : t1y, 3, ink(), false);
                fill_polygon(uni, t ? t2x : t1x, t ? t2y : t1y, 3, ink(), false);
                sum += count_lit(one);
                Image cv = make(100, 90);  // the convex filler follows the same rule
                fill_convex(cv, t ? t2x : t1x, t ? t2y : t1y, 3, ink());
                CHECK(same_pixels(one, cv));
            }
        }
    CHECK(sum == count_lit(uni));
    CHECK(sum == long(9.3 * G + 0.999) * long(8.7 * G + 0.999));  // the outer rectangle

    // Intersection store: a comb crossing one scan line 2k times overflows a small limit
    // without drawing; the default limit takes it; non-finite input is refused.
    std::vector<double> cx, cy;
    for (int k = 0; k < 50; ++k) {
        cx.insert(cx.end(), {2.0 * k, 2.0 * k + 1});
        cy.insert(cy.end(), {5.0, 40.0});
    }
    cx.insert(cx.end(), {99.0, 0.0});
    cy.insert(cy.end(), {60.0, 60.0});
    Image comb = make(120, 70);
    CHECK(fill_polygon(comb, cx.data(), cy.data(), int(cx.size()), ink(), true, 64) ==
          kTooManyIntersections);
    CHECK(count_lit(comb) == 0);
    CHECK(fill_polygon(comb, cx.data(), cy.data(), int(cx.size()), ink(), true, 128) == kOk);
    CHECK(count_lit(comb) > 1000);
    const double bad[3] = {0, NAN, 4};
    CHECK(fill_polygon(comb, bad, bad, 3, ink()) == kBadArgument);

    // Huge coordinates and the clip rectangle.
    Image h = make(50, 50);
    h.set_clip(5, 5, 44, 44);
    const double hx[3] = {-1e12, 1e12, 25}, hy[3] = {-1e12, -1e12, 1e12};
    CHECK(fill_polygon(h, hx, hy, 3, ink()) == kOk);
    CHECK(!lit_outside(h, h.clip()) && lit(h, 25, 25) && lit(h, 5, 5));
}

// ---------------------------------------------------------------------------------------

static Image wide(const std::vector<double>& x, const std::vector<double>& y, double w, Cap cap,
                  Join join, int W = 100, int H = 100, bool tc = false) {
    Image img = make(W, H, tc);
    StrokeStyle s;
    s.width = w;
    s.cap = cap;
    s.join = join;
    draw_wide_polyline(img, x.data(), y.data(), int(x.size()), s, ink());
    return img;
}

static Image transposed(const Image& a) {
    Image t = make(a.height(), a.width(), a.truecolour());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (lit(a, x, y)) t.set_pixel(y, x, ink());
    return t;
}

static void test_wide_lines() {
    // A horizontal stroke of odd width is symmetric about its centre line and its middle,
    // exactly w rows thick; square caps stick out by w/2, butt caps do not.
    Image sq = wide({10, 50}, {20, 20}, 5, Cap::Square, Join::Bevel);
    for (int x = 0; x < 100; ++x)
        for (int d = 0; d < 20; ++d) {
            CHECK(lit(sq, x, 20 - d) == lit(sq, x, 20 + d));
            CHECK(lit(sq, 30 - d, 20 + d / 4) == lit(sq, 30 + d, 20 + d / 4));
        }
    CHECK(count_lit(sq) == 5 * 45);
    CHECK(lit(sq, 8, 18) && !lit(sq, 7, 20) && lit(sq, 52, 22) && !lit(sq, 53, 20));
    Image bt = wide({10, 50}, {20, 20}, 5, Cap::Butt, Join::Bevel);
    CHECK(lit(bt, 10, 20) && !lit(bt, 9, 20) && count_lit(bt) == 5 * 40);

    // Direction and axis do not matter: reversed strokes are identical, a stroke along y
    // is the transpose of the one along x (even width, where edges fall on samples).
    for (Cap cap : {Cap::Butt, Cap::Round, Cap::Square}) {
        Image f = wide({10, 60, 70}, {20, 45, 80}, 6, cap, Join::Miter);
        Image r = wide({70, 60, 10}, {80, 45, 20}, 6, cap, Join::Miter);
        CHECK(same_pixels(f, r));
        Image a = wide({10, 70}, {30, 30}, 4, cap, Join::Round);
        Image b = wide({30, 30}, {10, 70}, 4, cap, Join::Round);
        CHECK(same_pixels(transposed(a), b));
    }

    // Round caps: the disc ends reach w/2 past the end point and stay round.
    Image rc = wide({30, 60}, {50, 50}, 11, Cap::Round, Join::Round);
    CHECK(lit(rc, 25, 50) && !lit(rc, 24, 50) && lit(rc, 65, 50) && !lit(rc, 66, 50));
    CHECK(!lit(rc, 25, 45) && !lit(rc, 65, 55));

    // Joins at a right angle: the miter fills the outer corner square, bevel cuts it,
    // a miter beyond the limit falls back to the bevel, round lies between.
    const std::vector<double> lx = {20, 60, 60}, ly = {20, 20, 70};
    Image mi = wide(lx, ly, 9, Cap::Butt, Join::Miter);
    Image bv = wide(lx, ly, 9, Cap::Butt, Join::Bevel);
    Image ro = wide(lx, ly, 9, Cap::Butt, Join::Round);
    CHECK(lit(mi, 64, 16) && !lit(bv, 64, 16) && !lit(ro, 64, 16));
    CHECK(count_lit(mi) > count_lit(ro) && count_lit(ro) > count_lit(bv));
    Image sharp = make(100, 100);
    StrokeStyle s;
    s.width = 9;
    s.cap = Cap::Butt;
    s.join = Join::Miter;
    s.miter_limit = 1.2;  // a right angle needs sqrt(2)
    draw_wide_polyline(sharp, lx.data(), ly.data(), 3, s, ink());
    CHECK(same_pixels(sharp, bv));

    // A closed square outline gets joins at all four corners (also where it closes) and
    // no caps: it is symmetric under the square's mirror axes.
    Image box = wide({20, 80, 80, 20, 20}, {20, 20, 80, 80, 20}, 7, Cap::Round, Join::Miter);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) CHECK(lit(box, x, y) == lit(box, 100 - x, y));
    CHECK(lit(box, 17, 17) && lit(box, 83, 83) && !lit(box, 50, 50));

    // Clip holds; a stroke far outside touches nothing.
    Image cl = make(100, 100);
    cl.set_clip(30, 30, 70, 70);
    StrokeStyle s2;
    s2.width = 15;
    s2.cap = Cap::Round;
    const double cx[3] = {0, 100, 50}, cy[3] = {0, 60, 99};
    draw_wide_polyline(cl, cx, cy, 3, s2, ink());
    const double fx[2] = {-500, -300}, fy[2] = {10, 10};
    draw_wide_polyline(cl, fx, fy, 2, s2, ink());
    CHECK(!lit_outside(cl, cl.clip()) && count_lit(cl) > 100);

    // Points: squares are w x w; discs are symmetric and fit the same box.
    for (int w = 1; w <= 9; ++w) {
        Image p1 = make(30, 30), p2 = make(30, 30);
        draw_point(p1, 15, 15, w, PointShape::Square, ink());
        draw_point(p2, 15, 15, w, PointShape::Disc, ink());
        CHECK(count_lit(p1) == w * w);
        CHECK(count_lit(p2) <= w * w && count_lit(p2) >= (w * w * 3) / 4 - 1);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x)
                if (lit(p2, x, y)) CHECK(lit(p1, x, y));
    }
}

// ---------------------------------------------------------------------------------------
// Every rasteriser, fed random shapes (many far outside, some at extreme coordinates) and
// a random clip rectangle, writes only inside the clip and stays inside the buffer.

static void test_random_shapes_stay_in_clip() {
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> near(-40, 120), far(-3e9, 3e9), u(0, 1);
    for (int rep = 0; rep < 1500; ++rep) {
        Image img = make(80, 60, rep % 3 == 0);
        const int x0 = int(u(rng) * 70), y0 = int(u(rng) * 50);
        img.set_clip(x0, y0, x0 + int(u(rng) * 20), y0 + int(u(rng) * 20));
        const int n = 1 + int(u(rng) * 7);
        std::vector<double> xs(n), ys(n);
        std::vector<int> ix(n), iy(n);
        for (int i = 0; i < n; ++i) {
            const bool extreme = u(rng) < 0.1;
            xs[i] = extreme ? far(rng) : near(rng);
            ys[i] = extreme ? far(rng) : near(rng);
            ix[i] = int(std::clamp(xs[i], -2e9, 2e9));
            iy[i] = int(std::clamp(ys[i], -2e9, 2e9));
        }
        StrokeStyle s;
        s.width = 1 + u(rng) * 12;
        s.cap = Cap(rep % 3);
        s.join = Join((rep / 3) % 3);
        s.smooth = rep & 1;
        s.point_shape = PointShape(rep % 3);
        const Paint p = ink();
        switch (rep % 6) {
            case 0: draw_polyline(img, ix.data(), iy.data(), n, p); break;
            case 1: draw_wide_polyline(img, xs.data(), ys.data(), n, s, p); break;
            case 2: fill_polygon(img, xs.data(), ys.data(), n, p); break;
            case 3: stroke_polyline(img, ix.data(), iy.data(), n, s, p); break;
            case 4: draw_polyline_aa(img, ix.data(), iy.data(), n, p); break;
            case 5:
                fill_disc(img, xs[0], ys[0], s.width * 3, p);
                fill_rect(img, ix[0], iy[0], ix[n - 1], iy[n - 1], p);
                if (n >= 3) fill_convex(img, xs.data(), ys.data(), n, p);
                break;
        }
        const bool ok = !lit_outside(img, img.clip());
        CHECK(ok);
        if (!ok) {
            std::printf("  shape kind %d, rep %d\n", rep % 6, rep);
            break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Encoders: structure checks here; pixel decoding is done by check_encoders.py.

static uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
static uint32_t le32(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
static unsigned le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// A plot-like image: palette, background, axes, a curve and a filled area.
static Image plot_image(int w, int h, bool tc, bool transparent) {
    Image img;
    img.create(w, h, tc, transparent);
    for (int i = 0; i < 256; ++i)
        img.set_palette_entry(i, uint8_t(i), uint8_t(255 - i), uint8_t((i * 7) & 255));
    img.set_palette_entry(0, 0, 0, 0);
    img.set_palette_entry(255, 255, 255, 255);
    if (!transparent) img.fill_all(img.paint_index(255));
    fill_rect(img, 60, 40, w - 40, h - 60, img.paint_index(200));
    StrokeStyle s;
    s.width = 3;
    std::vector<int> xs, ys;
    for (int x = 60; x < w - 40; ++x) {
        xs.push_back(x);
        ys.push_back(int(h / 2 + (h / 3) * std::sin(x * 0.03)));
    }
    stroke_polyline(img, xs.data(), ys.data(), int(xs.size()), s, img.paint_index(3));
    const double px[4] = {100, 300, 250, 120}, py[4] = {100, 120, 400, 350};
    fill_polygon(img, px, py, 4, img.paint_index(77));
    draw_line(img, 60, h - 60, w - 40, h - 60, img.paint_index(0));
    return img;
}

static bool png_chunks_ok(const std::vector<uint8_t>& f, std::vector<std::string>& types,
                          std::vector<uint8_t>& idat, uint8_t& colour_type) {
    static const uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (f.size() < 8 || std::memcmp(f.data(), sig, 8) != 0) return false;
    std::size_t at = 8;
    while (at + 12 <= f.size()) {
        const uint32_t n = be32(&f[at]);
        if (at + 12 + n > f.size()) return false;
        types.emplace_back(reinterpret_cast<const char*>(&f[at + 4]), 4);
        const uint32_t crc = uint32_t(::crc32(0, &f[at + 4], n + 4));
        if (crc != be32(&f[at + 8 + n])) return false;
        if (types.back() == "IHDR") colour_type = f[at + 17];
        if (types.back() == "IDAT") idat.insert(idat.end(), &f[at + 8], &f[at + 8 + n]);
        at += 12 + n;
    }
    return at == f.size();
}

static std::vector<uint8_t> inflate_all(const std::vector<uint8_t>& z, std::size_t expect) {
    std::vector<uint8_t> out(expect + 1);
    uLongf len = uLongf(out.size());
    if (uncompress(out.data(), &len, z.data(), uLong(z.size())) != Z_OK) return {};
    out.resize(len);
    return out;
}

static void test_encoders() {
    // Deflate: both back ends produce zlib streams that inflate to the input.
    std::vector<uint8_t> data(200000);
    std::mt19937 rng(5);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i % 251 < 200 ? i % 7 : rng());
    for (auto be : {DeflateBackend::Zlib, DeflateBackend::Libdeflate, DeflateBackend::Auto}) {
        if (be == DeflateBackend::Libdeflate && !have_libdeflate()) continue;
        std::vector<uint8_t> z;
        CHECK(zlib_compress_with(be, data.data(), data.size(), z));
        CHECK(z.size() < data.size() / 2 && inflate_all(z, data.size()) == data);
        std::vector<uint8_t> e;
        CHECK(zlib_compress_with(be, nullptr, 0, e) && inflate_all(e, 0).empty());
    }

    // PNG: chunk order and CRCs; the rows inflate to filter 0 plus the pixels.
    Image ind = plot_image(853, 603, false, false);
    std::vector<uint8_t> f;
    PngOptions po;
    CHECK(encode_png(ind.view(), po, f) == kOk);
    std::vector<std::string> types;
    std::vector<uint8_t> idat;
    uint8_t ct = 0;
    CHECK(png_chunks_ok(f, types, idat, ct));
    CHECK((types == std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}) && ct == 3);
    CHECK(be32(&f[33]) == 3 * 256);  // indices up to 255 in use -> full PLTE
    const std::vector<uint8_t> rows = inflate_all(idat, 604 * 853);
    bool rows_ok = rows.size() == 603u * 854;
    for (int y = 0; y < 603 && rows_ok; ++y)
        rows_ok = rows[y * 854] == 0 && std::memcmp(&rows[y * 854 + 1], ind.row(y), 853) == 0;
    CHECK(rows_ok);

    Image tct = plot_image(200, 100, true, true);
    po.transparent = true;
    types.clear();
    idat.clear();
    CHECK(encode_png(tct.view(), po, f) == kOk && png_chunks_ok(f, types, idat, ct));
    CHECK((types == std::vector<std::string>{"IHDR", "tRNS", "IDAT", "IEND"}) && ct == 2);

    // PPM header lines.
    CHECK(encode_ppm(ind.view(), f) == kOk);
    CHECK(std::memcmp(f.data(), "P6\n853 603\n255\n", 15) == 0 && f.size() == 15 + 853 * 603 * 3);

    // TIFF palette layout: 14 entries, strip offsets at 182, 603 strips of 853 bytes.
    TiffOptions to;
    CHECK(encode_tiff(ind.view(), to, f) == kOk);
    CHECK(f[0] == 'I' && f[1] == 'I' && le16(&f[2]) == 42 && le32(&f[4]) == 8);
    CHECK(le16(&f[8]) == 14);
    const uint8_t* e273 = &f[10 + 12 * 6];
    CHECK(le16(e273) == 273 && le32(e273 + 4) == 603 && le32(e273 + 8) == 182);
    const uint32_t first_strip = le32(&f[182]);
    CHECK(le32(&f[182 + 4]) - first_strip == 853 && le32(&f[182 + 4 * 603]) == 853);
    CHECK(first_strip + 853u * 603 == f.size());
    CHECK(std::memcmp(&f[first_strip + 853 * 100], ind.row(100), 853) == 0);
    const uint8_t* e320 = &f[10 + 12 * 13];
    CHECK(le16(e320) == 320 && le16(&f[le32(e320 + 8) + 2 * 255]) == 65535);  // red of 255

    // Bilevel: ceil(w / 8) bytes per row, MSB first, white where not black.
    Image bl = make(10, 2);
    bl.set_palette_entry(1, 255, 255, 255);
    bl.set_palette_entry(2, 9, 9, 9);
    bl.set_pixel(0, 0, bl.paint_index(1));
    bl.set_pixel(9, 0, bl.paint_index(2));
    to.mode = TiffMode::Bilevel;
    CHECK(encode_tiff(bl.view(), to, f) == kOk && le16(&f[8]) == 13);
    const uint32_t bs = le32(&f[14 + 12 * 13]);
    CHECK(f.size() == bs + 4 && f[bs] == 0x80 && f[bs + 1] == 0x40 && f[bs + 2] == 0);
    to.reverse = true;  // white background: only white counts as white
    CHECK(encode_tiff(bl.view(), to, f) == kOk && f[bs] == 0x80 && f[bs + 1] == 0);

    // BMP: sizes from the row padding, bottom row first.
    Image small = plot_image(301, 211, false, false);
    CHECK(encode_bmp(small.view(), BmpOptions{}, f) == kOk);
    CHECK(f[0] == 'B' && f[1] == 'M' && le32(&f[2]) == 54 + 1024 + 304 * 211);
    CHECK(le32(&f[10]) == 1078 && le32(&f[38]) == 2500 && le32(&f[46]) == 256);
    CHECK(std::memcmp(&f[1078], small.row(210), 301) == 0);
    Image tcs = plot_image(301, 211, true, false);
    CHECK(encode_bmp(tcs.view(), BmpOptions{}, f) == kOk);
    CHECK(le32(&f[2]) == 54 + 904 * 211 && le16(&f[28]) == 24 && f[54] == tcs.row(210)[2]);

    // GIF: version, screen flags, transparency extension.
    GifOptions go;
    CHECK(encode_gif(ind.view(), go, f) == kOk);
    CHECK(std::memcmp(f.data(), "GIF87a", 6) == 0 && f[10] == 0xF7 && f.back() == 0x3B);
    go.transparent = true;
    go.background_index = 255;
    CHECK(encode_gif(ind.view(), go, f) == kOk);
    CHECK(std::memcmp(f.data(), "GIF89a", 6) == 0 && f[11] == 255);
    CHECK(f[13 + 768] == 0x21 && f[13 + 769] == 0xF9 && f[13 + 771] == 1 && f[13 + 774] == 255);

    // Palette reduction: exact for few colours, bounded error for many.
    PaletteImage pal;
    CHECK(pal.reduce(tcs.view()) == kOk && pal.colours() <= 8);
    bool exact = true;
    for (int y = 0; y < 211; ++y)
        for (int x = 0; x < 301; ++x)
            exact &= std::memcmp(pal.palette() + 3 * pal.pixels()[y * 301 + x],
                                 tcs.row(y) + 4 * x, 3) == 0;
    CHECK(exact);
    Image grad = make(256, 64, true);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            Paint p;
            p.r = uint8_t(x);
            p.g = uint8_t(y * 4);
            p.b = uint8_t((x + y) / 2);
            grad.set_pixel(x, y, p);
        }
    CHECK(pal.reduce(grad.view()) == kOk && pal.colours() == 256);
    double err = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 3; ++c)
                err += std::abs(pal.palette()[3 * pal.pixels()[y * 256 + x] + c] -
                                grad.row(y)[4 * x + c]);
    CHECK(err / (256 * 64 * 3) < 6.0);
    CHECK(pal.index_of(0, 0, 0) == pal.pixels()[0]);

    // Sub-window views and bad input.
    ImageView sub = ind.view().sub(100, 50, 40, 30);
    CHECK(sub.width == 40 && sub.height == 30 && sub.pixels == ind.row(50) + 100);
    CHECK(ind.view().sub(900, 0, 10, 10).width == 0);
    CHECK(encode_png(ImageView{}, po, f) == kBadArgument && f.empty());
    CHECK(encode_image(3, ind.view(), EncodeOptions{}, f) == kBadArgument);
    CHECK(encode_image(2, sub, EncodeOptions{}, f) == kOk && f.size() == 1200 &&
          std::memcmp(f.data(), ind.row(50) + 100, 40) == 0);
}

// ---------------------------------------------------------------------------------------

static bool save(const std::string& path, const std::vector<uint8_t>& d) {
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    const bool ok = std::fwrite(d.data(), 1, d.size(), fp) == d.size();
    return std::fclose(fp) == 0 && ok;
}

// Sample files for check_encoders.py: <kind>.<format>, plus <kind>.raw as reference.
static int write_samples(const std::string& dir) {
    struct Kind {
        const char* name;
        Image img;
    };
    std::vector<Kind> kinds;
    kinds.push_back({"ind", plot_image(853, 603, false, false)});
    kinds.push_back({"tc", plot_image(603, 853, true, false)});
    kinds.push_back({"tct", plot_image(320, 200, true, true)});
    Image noise = make(333, 257);  // incompressible: forces LZW table resets
    std::mt19937 rng(11);
    for (int i = 0; i < 256; ++i) noise.set_palette_entry(i, uint8_t(i), uint8_t(i * 3), uint8_t(i * 5));
    for (int y = 0; y < 257; ++y)
        for (int x = 0; x < 333; ++x) noise.row(y)[x] = uint8_t(rng());
    kinds.push_back({"noise", std::move(noise)});
    Image grad = make(300, 200, true);  // more than 256 colours
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            uint8_t* q = grad.row(y) + 4 * x;
            q[0] = uint8_t(x * 255 / 299);
            q[1] = uint8_t(y * 255 / 199);
            q[2] = uint8_t(128 + 100 * std::sin(x * 0.05));
            q[3] = 255;
        }
    kinds.push_back({"grad", std::move(grad)});
    Image row = plot_image(70, 1, false, false);
    kinds.push_back({"onerow", std::move(row)});
    Image dot = make(1, 1, true);
    kinds.push_back({"dot", std::move(dot)});

    std::vector<uint8_t> f;
    for (Kind& k : kinds) {
        const ImageView v = k.img.view();
        const std::string base = dir + "/" + k.name;
        EncodeOptions o;
        o.png.transparent = o.gif.transparent = k.img.transparent();
        o.gif.background_index = o.png.background_index = 0;
        bool ok = encode_raw(v, f) == kOk && save(base + ".raw", f);
        ok &= encode_ppm(v, f) == kOk && save(base + ".ppm", f);
        ok &= encode_png(v, o.png, f) == kOk && save(base + ".png", f);
        ok &= encode_gif(v, o.gif, f) == kOk && save(base + ".gif", f);
        ok &= encode_bmp(v, o.bmp, f) == kOk && save(base + ".bmp", f);
        for (TiffMode m : {TiffMode::Palette, TiffMode::Rgb, TiffMode::Bilevel}) {
            o.tiff.mode = m;
            const char* suffix = m == TiffMode::Palette ? "_pal" : m == TiffMode::Rgb ? "_rgb" : "_bil";
            ok &= encode_tiff(v, o.tiff, f) == kOk && save(base + suffix + ".tif", f);
        }
        if (v.truecolour) {
            o.png.palette = o.bmp.palette = true;
            ok &= encode_png(v, o.png, f) == kOk && save(base + "_pal.png", f);
            ok &= encode_bmp(v, o.bmp, f) == kOk && save(base + "_pal.bmp", f);
        }
        if (!ok) {
            std::printf("cannot write samples of %s into %s\n", k.name, dir.c_str());
            return 1;
        }
        std::printf("%s %d %d %s\n", k.name, v.width, v.height, v.truecolour ? "rgb" : "index");
    }
    return 0;
}

// Translucent paints are laid over the image by every span writer; opaque and fully
// transparent paints are stored as they are.
static void test_translucent_spans() {
    Image img;
    img.create(20, 10, true, false);
    Paint red;
    red.r = 255;
    red.a = 255;
    fill_rect(img, 0, 0, 19, 9, red);
    Paint blue;
    blue.b = 255;
    blue.a = 128;
    fill_rect(img, 0, 0, 9, 9, blue);
    const double px[4] = {10, 19, 19, 10}, py[4] = {0, 0, 4, 4};
    CHECK(fill_polygon(img, px, py, 4, blue, false) == kOk);
    Paint p;
    CHECK(img.get_pixel(5, 5, p) && p.r == 127 && p.g == 0 && p.b == 128 && p.a == 255);
    CHECK(img.get_pixel(15, 2, p) && p.r == 127 && p.b == 128);
    CHECK(img.get_pixel(15, 8, p) && p.r == 255 && p.b == 0);  // outside the polygon
    // twice over the same pixels: 50% of 50%
    fill_rect(img, 0, 0, 0, 0, blue);
    CHECK(img.get_pixel(0, 0, p) && p.r == 63 && p.b == 192);
    Paint clear;
    clear.a = 0;
    fill_rect(img, 19, 9, 19, 9, clear);
    CHECK(img.get_pixel(19, 9, p) && p.r == 0 && p.a == 0);
    // indexed images have nothing to blend with: the index is written
    Image ind;
    ind.create(4, 4, false, false);
    Paint q = ink(7);
    q.a = 100;
    fill_rect(ind, 0, 0, 3, 3, q);
    CHECK(ind.row(2)[2] == 7);
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--samples") return write_samples(argv[2]);
    test_image_buffer();
    test_thin_lines();
    test_aa_lines();
    test_polygons();
    test_wide_lines();
    test_random_shapes_stay_in_clip();
    test_encoders();
    test_translucent_spans();
    if (g_failures) {
        std::printf("%d check(s) failed\n", g_failures);
        return 1;
    }
    std::printf("raster tests passed\n");
    return 0;
}
