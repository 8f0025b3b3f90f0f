// The line pipeline as a driver sees it: a recording driver replaces the metafile driver of
// an open plot and keeps every call, so the pieces, moves and attribute order can be checked
// exactly.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/context.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"
#include "tavero_api.h"

using namespace tavero;

namespace {

int failures = 0;
#define CHECK(cond)                                                         \
  do {                                                                      \
    if (!(cond)) {                                                          \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                           \
    }                                                                       \
  } while (0)

struct Call {
  std::string what;
  std::vector<double> x, y;
};

class Recorder final : public Driver {
 public:
  explicit Recorder(Context& ctx, std::vector<Call>& log) : Driver(ctx), log_(log) {}
  bool open() override { return true; }
  bool finish() override { return false; }
  void polyline(const double* x, const double* y, int n) override {
    log_.push_back({"polyline", std::vector<double>(x, x + n), std::vector<double>(y, y + n)});
  }
  void set_color(const DeviceColor& c) override { log_.push_back({"color " + std::to_string(c.value), {}, {}}); }
  bool set_line_width(int w, double) override {
    log_.push_back({"width " + std::to_string(w), {}, {}});
    return hw_;
  }
  bool hw_ = false;

 private:
  std::vector<Call>& log_;
};

// Opens a plot and puts the recorder in place of its driver with an identity mapping.
Recorder* start(std::vector<Call>& log) {
  unit(0);
  tavini();
  unit(0);
  Context* ctx = current_context();
  ctx->driver->abandon();
  auto* r = new Recorder(*ctx, log);
  ctx->driver.reset(r);
  ctx->dev.map = DeviceMap{};
  return r;
}

void stop() {
  tavfin();
  delglb();
}

std::vector<const Call*> lines(const std::vector<Call>& log) {
  std::vector<const Call*> out;
  for (const Call& c : log)
    if (c.what == "polyline") out.push_back(&c);
  return out;
}

void test_pieces_of_100() {
  std::vector<Call> log;
  start(log);
  strtpt(0, 0);
  for (int i = 1; i < 250; ++i) connpt(i, (i % 3) * 10.0);
  qqflsh(*current_context());
  stop();
  auto l = lines(log);
  CHECK(l.size() == 3);
  if (l.size() == 3) {
    CHECK(l[0]->x.size() == 100 && l[1]->x.size() == 100 && l[2]->x.size() == 52);
    CHECK(l[1]->x.front() == l[0]->x.back() && l[2]->x.front() == l[1]->x.back());
    CHECK(l[2]->x.back() == 249);
  }
}

void test_duplicates_on_dashed_and_solid_lines() {
  std::vector<Call> log;
  start(log);
  strtpt(10, 10);
  connpt(10, 10);   // solid: both points are buffered
  connpt(20, 10);
  qqflsh(*current_context());
  auto l = lines(log);
  CHECK(!l.empty() && l.back()->x.size() == 3);
  log.clear();
  int pat[2] = {1000, 10};
  myline(pat, 2);
  strtpt(10, 10);
  connpt(10, 10);   // dashed: the repeated point is one buffered point
  connpt(20, 10);
  qqflsh(*current_context());
  l = lines(log);
  CHECK(!l.empty() && l.back()->x.size() == 2);
  stop();
}

void test_zero_length_line_is_move_and_draw() {
  std::vector<Call> log;
  start(log);
  line(500, 500, 500, 500);
  qqflsh(*current_context());
  auto l = lines(log);
  CHECK(l.size() == 1 && l[0]->x.size() == 2 && l[0]->x[0] == l[0]->x[1]);
  stop();
}

void test_attributes_apply_at_flush() {
  std::vector<Call> log;
  start(log);
  log.clear();
  strtpt(0, 0);
  connpt(100, 0);
  setclr(5);        // the buffered line is drawn before the colour changes
  connpt(100, 100);
  qqflsh(*current_context());
  CHECK(log.size() == 3);
  if (log.size() == 3) {
    CHECK(log[0].what == "polyline" && log[0].x.back() == 100 && log[0].y.back() == 0);
    CHECK(log[1].what == "color 5");
    // the line goes on from the current point in the new colour
    CHECK(log[2].what == "polyline" && log[2].x.front() == 100 && log[2].y.back() == 100);
  }
  stop();
}

void test_hardware_width_is_not_emulated() {
  std::vector<Call> log;
  Recorder* r = start(log);
  r->hw_ = true;
  linwid(9);
  line(100, 100, 900, 100);
  qqflsh(*current_context());
  CHECK(lines(log).size() == 1);      // the device draws the width: only the centre line
  log.clear();
  r->hw_ = false;
  linwid(9);
  line(100, 100, 900, 100);
  qqflsh(*current_context());
  CHECK(lines(log).size() > 1);       // emulated: outline passes follow
  stop();
}

void test_circle_clipping() {
  std::vector<Call> log;
  start(log);
  Context* ctx = current_context();
  ctx->line.circle_clip = 1;
  ctx->line.circle_cx = 1000;
  ctx->line.circle_cy = 1000;
  ctx->line.circle_r = 100;
  line(800, 1000, 1200, 1000);         // both ends outside: the chord is drawn
  line(1000, 1000, 1500, 1000);        // one end outside: cut near the circle
  line(800, 800, 850, 800);            // outside entirely
  qqflsh(*current_context());
  auto l = lines(log);
  CHECK(l.size() == 2);
  if (l.size() == 2) {
    CHECK(std::fabs(l[0]->x[0] - 900) < 1e-6 && std::fabs(l[0]->x[1] - 1100) < 1e-6);
    CHECK(std::fabs(l[1]->x.back() - 1100) < 0.1);
  }
  ctx->line.circle_clip = 0;
  stop();
}

}  // namespace

int main() {
  test_pieces_of_100();
  test_duplicates_on_dashed_and_solid_lines();
  test_zero_length_line_is_move_and_draw();
  test_attributes_apply_at_flush();
  test_hardware_width_is_not_emulated();
  test_circle_clipping();
  if (failures) {
    std::fprintf(stderr, "%d check(s) failed\n", failures);
    return 1;
  }
  std::printf("test_pipeline: all passed\n");
  return 0;
}
