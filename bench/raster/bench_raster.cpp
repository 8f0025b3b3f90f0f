// Timing of the raster engine on plot-sized workloads.
//
//   g++ -std=c++20 -O2 -I src bench/raster/bench_raster.cpp src/drivers/raster/*.cpp
//       -lz -ldeflate -o /tmp/bench_raster && /tmp/bench_raster
//
// Each figure is the best of several runs (wall clock, one thread).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "drivers/raster/deflate.h"
#include "drivers/raster/encode.h"
#include "drivers/raster/image.h"
#include "drivers/raster/raster.h"

using namespace tavero::raster;

static double best_ms(const std::function<void()>& f, int runs = 5) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

static Image image(bool tc) {
    Image img;
    img.create(853, 603, tc, false);
    for (int i = 0; i < 256; ++i) img.set_palette_entry(i, uint8_t(i), uint8_t(255 - i), uint8_t(i / 2));
    return img;
}

// A typical plot: background, frame, grid, several curves, a filled band, some text-like
// short strokes. Used for the compression figures.
static Image typical_plot(bool tc) {
    Image img = image(tc);
    img.fill_all(img.paint_index(255));
    StrokeStyle thick;
    thick.width = 3;
    for (int k = 0; k <= 10; ++k) {
        draw_line(img, 80 + k * 70, 40, 80 + k * 70, 540, img.paint_index(180));
        draw_line(img, 80, 40 + k * 50, 780, 40 + k * 50, img.paint_index(180));
        for (int c = 0; c < 5; ++c)  // "labels"
            fill_rect(img, 70 + k * 70 + 3 * c, 550, 71 + k * 70 + 3 * c, 558, img.paint_index(0));
    }
    for (int c = 0; c < 4; ++c) {
        std::vector<int> xs, ys;
        for (int x = 80; x <= 780; ++x) {
            xs.push_back(x);
            ys.push_back(int(290 + (60 + 40 * c) * std::sin(x * 0.01 * (c + 1) + c)));
        }
        stroke_polyline(img, xs.data(), ys.data(), int(xs.size()), thick, img.paint_index(20 + 50 * c));
    }
    std::vector<double> bx, by;
    for (int x = 80; x <= 780; x += 5) {
        bx.push_back(x);
        by.push_back(450 + 30 * std::cos(x * 0.02));
    }
    bx.push_back(780);
    by.push_back(540);
    bx.push_back(80);
    by.push_back(540);
    fill_polygon(img, bx.data(), by.data(), int(bx.size()), img.paint_index(90));
    return img;
}

int main() {
    const int N = 1000000;
    std::mt19937 rng(1);

    // 1e6-segment polylines: a dense curve (segments of about one pixel, the usual case
    // for long data series) and random segments across the whole image (worst case).
    // Noisy data (a signal plus noise of +-40 pixels, 1e6 samples over the plot width):
    // every segment is a real stroke of a few to 80 pixels.
    std::vector<int> cx(N + 1), cy(N + 1), nx(N + 1), ny(N + 1), rx(N + 1), ry(N + 1);
    std::vector<double> dnx(N + 1), dny(N + 1);
    std::uniform_int_distribution<int> ux(0, 852), uy(0, 602);
    std::uniform_real_distribution<double> noise(-40.0, 40.0);
    for (int i = 0; i <= N; ++i) {
        const double t = double(i) / N;
        cx[i] = int(std::lround(10 + 830 * t));
        cy[i] = int(std::lround(300 + 250 * std::sin(t * 200.0) * std::cos(t * 7.0)));
        dnx[i] = 10 + 830 * t;
        dny[i] = 300 + 200 * std::sin(t * 20.0) + noise(rng);
        nx[i] = int(std::lround(dnx[i]));
        ny[i] = int(std::lround(dny[i]));
        rx[i] = ux(rng);
        ry[i] = uy(rng);
    }

    for (int tc = 0; tc < 2; ++tc) {
        const char* mode = tc ? "rgb  " : "index";
        Image img = image(tc);
        const Paint p = img.paint_index(3);
        std::printf("[%s] thin polyline 1e6 segments, dense curve:    %8.1f ms\n", mode,
                    best_ms([&] { draw_polyline(img, cx.data(), cy.data(), N + 1, p); }));
        std::printf("[%s] thin polyline 1e6 segments, noisy data:     %8.1f ms\n", mode,
                    best_ms([&] { draw_polyline(img, nx.data(), ny.data(), N + 1, p); }, 3));
        std::printf("[%s] thin polyline 1e6 segments, random across:  %8.1f ms\n", mode,
                    best_ms([&] { draw_polyline(img, rx.data(), ry.data(), N + 1, p); }, 2));
        img.set_clip(200, 150, 600, 450);
        std::printf("[%s] same, clipped to a 401 x 301 window:        %8.1f ms\n", mode,
                    best_ms([&] { draw_polyline(img, rx.data(), ry.data(), N + 1, p); }, 2));
        img.reset_clip();
        StrokeStyle s;
        s.width = 5;
        s.join = Join::Round;
        s.cap = Cap::Round;
        std::printf("[%s] wide polyline w=5 round joins, noisy data:  %8.1f ms\n", mode,
                    best_ms([&] { draw_wide_polyline(img, dnx.data(), dny.data(), N + 1, s, p); }, 3));
        s.join = Join::Miter;
        s.width = 3;
        std::printf("[%s] wide polyline w=3 miter joins, noisy data:  %8.1f ms\n", mode,
                    best_ms([&] { draw_wide_polyline(img, dnx.data(), dny.data(), N + 1, s, p); }, 3));
        if (tc)
            std::printf("[%s] anti-aliased polyline 1e6, noisy data:      %8.1f ms\n", mode,
                        best_ms([&] { draw_polyline_aa(img, nx.data(), ny.data(), N + 1, p); }, 3));

        // 1000 x 1000 grid of filled cells over the plot area.
        const int G = 1000;
        const double x0 = 50, y0 = 30, cw = 750.0 / G, ch = 540.0 / G;
        std::printf("[%s] 1000x1000 cells, fill_polygon + outline:    %8.1f ms\n", mode, best_ms([&] {
                        for (int i = 0; i < G; ++i)
                            for (int j = 0; j < G; ++j) {
                                const double xa = x0 + i * cw, ya = y0 + j * ch;
                                const double xs[4] = {xa, xa + cw, xa + cw, xa};
                                const double ys[4] = {ya, ya, ya + ch, ya + ch};
                                fill_polygon(img, xs, ys, 4, img.paint_index((i + j) & 255));
                            }
                    }, 3));
        std::printf("[%s] 1000x1000 cells, fill_polygon, no outline:  %8.1f ms\n", mode, best_ms([&] {
                        for (int i = 0; i < G; ++i)
                            for (int j = 0; j < G; ++j) {
                                const double xa = x0 + i * cw, ya = y0 + j * ch;
                                const double xs[4] = {xa, xa + cw, xa + cw, xa};
                                const double ys[4] = {ya, ya, ya + ch, ya + ch};
                                fill_polygon(img, xs, ys, 4, img.paint_index((i + j) & 255), false);
                            }
                    }, 3));
        std::printf("[%s] 1000x1000 cells, fill_rect:                 %8.1f ms\n", mode, best_ms([&] {
                        for (int i = 0; i < G; ++i)
                            for (int j = 0; j < G; ++j) {
                                const int xa = int(x0 + i * cw), ya = int(y0 + j * ch);
                                const int xb = int(x0 + (i + 1) * cw), yb = int(y0 + (j + 1) * ch);
                                fill_rect(img, xa, ya, xb, yb, img.paint_index((i + j) & 255));
                            }
                    }, 3));
        // A large polygon with many vertices (a filled curve of 1e5 points).
        std::vector<double> px, py;
        for (int i = 0; i < 100000; ++i) {
            const double t = 2 * 3.141592653589793 * i / 100000;
            px.push_back(426 + 400 * std::cos(t) * (1 + 0.1 * std::sin(60 * t)));
            py.push_back(301 + 290 * std::sin(t));
        }
        std::printf("[%s] polygon of 1e5 vertices:                    %8.1f ms\n", mode,
                    best_ms([&] { fill_polygon(img, px.data(), py.data(), int(px.size()), p); }));
    }

    // Compression of a typical plot image: raw PNG rows through both back ends.
    for (int tc = 0; tc < 2; ++tc) {
        const Image plot = typical_plot(tc);
        const int bpp = tc ? 3 : 1;
        std::vector<uint8_t> rows;
        for (int y = 0; y < plot.height(); ++y) {
            rows.push_back(0);
            for (int x = 0; x < plot.width(); ++x)
                for (int c = 0; c < bpp; ++c) rows.push_back(plot.row(y)[x * (tc ? 4 : 1) + c]);
        }
        for (auto be : {DeflateBackend::Zlib, DeflateBackend::Libdeflate}) {
            if (be == DeflateBackend::Libdeflate && !have_libdeflate()) continue;
            std::vector<uint8_t> z;
            const double ms = best_ms([&] { zlib_compress_with(be, rows.data(), rows.size(), z); });
            std::printf("deflate level 6, %s plot rows (%zu bytes), %-10s: %7.2f ms -> %zu bytes\n",
                        tc ? "RGB" : "indexed", rows.size(),
                        be == DeflateBackend::Zlib ? "zlib" : "libdeflate", ms, z.size());
        }
        std::vector<uint8_t> f;
        const char* names[] = {"", "TIFF", "raw", "", "PNG", "PPM", "BMP", "GIF"};
        for (int fmt : {4, 7, 1, 6, 5, 2}) {
            EncodeOptions o;
            o.tiff.mode = tc ? TiffMode::Rgb : TiffMode::Palette;
            const double ms = best_ms([&] { encode_image(fmt, plot.view(), o, f); });
            std::printf("encode %s %-4s: %7.2f ms, %zu bytes\n", tc ? "RGB    " : "indexed", names[fmt],
                        ms, f.size());
        }
    }
    return 0;
}
