// Timing of the complete path of a raster plot: a polyline of 1,000,000 points given to the
// library point by point (strtpt / connpt), through the line pipeline and the raster driver,
// written as a PNG file by tavfin.
//
//   cmake --build build/<dir>
//   g++ -std=c++20 -O2 -I src -I build/<dir>/gen bench/raster/bench_plot.cpp
//       build/<dir>/libtavero_lib.a -lz -ldeflate -lX11 -ldl -o /tmp/bench_plot
//   /tmp/bench_plot [points]
//
// Each figure is the best of several runs (wall clock, one thread).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "tavero_api.h"

static double best_ms(const std::function<void()>& f, int runs = 3) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// One plot: the points in plot coordinates, the given pen width, into `file` as `format`.
static void plot(const char* format, const char* file, const std::vector<double>& x,
                 const std::vector<double>& y, int width, bool rgb) {
    tavero::metafl(format);
    tavero::setfil(file);
    tavero::filmod("DELETE");
    if (rgb) tavero::imgfmt("RGB");
    tavero::tavini();
    tavero::errmod("PROTOCOL", "OFF");
    tavero::linwid(width);
    tavero::setclr(200);
    tavero::strtpt(x[0], y[0]);
    for (std::size_t i = 1; i < x.size(); ++i) tavero::connpt(x[i], y[i]);
    tavero::tavfin();
    if (rgb) tavero::imgfmt("IND");
}

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    // A noisy sine across the page: short segments, many direction changes, every part of
    // the page touched, like a dense measured signal.
    std::vector<double> x(n), y(n);
    unsigned r = 12345;
    for (long i = 0; i < n; ++i) {
        r = r * 1103515245u + 12345u;
        const double noise = ((r >> 16) & 1023) / 1023.0 - 0.5;
        x[i] = 50 + 2869.0 * i / (n - 1);
        y[i] = 1050 + 700 * std::sin(i * 6.2831853 * 20 / n) + 200 * noise;
    }
    std::printf("polyline of %ld points to a 853 x 603 image\n", n);
    struct Case {
        const char* name;
        const char* format;
        const char* file;
        int width;
        bool rgb;
    } cases[] = {
        {"PNG, indexed, thin", "PNG", "bench.png", 1, false},
        {"PNG, true colour, thin", "PNG", "bench.png", 1, true},
        {"PNG, indexed, width 10 (hardware)", "PNG", "bench.png", 10, false},
        {"VIRT (no file), thin", "VIRT", "", 1, false},
    };
    for (const Case& c : cases) {
        double ms = best_ms([&] { plot(c.format, c.file, x, y, c.width, c.rgb); });
        std::printf("  %-36s %9.1f ms  (%.1f ns per point)\n", c.name, ms, ms * 1e6 / n);
    }
    std::remove("bench.png");
    return 0;
}
