// Nanoseconds per number: the fast file formatter and the label formatter
// against the C library's snprintf.
//
//   g++ -std=c++20 -O2 -I src bench/fmt/bench_fmt.cpp src/text/fastfmt.cpp
//       src/text/numfmt.cpp -o /tmp/bench_fmt && /tmp/bench_fmt

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "text/fastfmt.h"
#include "text/numfmt.h"

using namespace tavero;

namespace {

template <class F>
double ns_per_item(const std::vector<double>& v, F&& f) {
  unsigned long sink = 0;
  double best = 1e30;
  for (int rep = 0; rep < 5; ++rep) {
    const auto t0 = std::chrono::steady_clock::now();
    for (double x : v) sink += f(x);
    const auto t1 = std::chrono::steady_clock::now();
    const double ns = std::chrono::duration<double, std::nano>(t1 - t0).count() / static_cast<double>(v.size());
    if (ns < best) best = ns;
  }
  if (sink == 42) std::puts("");  // keeps the work observable
  return best;
}

void row(const char* what, const std::vector<double>& v, int d) {
  char buf[fastfmt::kMaxFixedLen + 8];
  const double fast = ns_per_item(v, [&](double x) { return fastfmt::append_fixed(buf, x, d) - buf + buf[0]; });
  const double c = ns_per_item(v, [&](double x) { return std::snprintf(buf, sizeof buf, "%.*f", d, x) + buf[0]; });
  std::printf("%-34s d=%d  fastfmt %6.1f ns   snprintf %6.1f ns   x%.1f\n", what, d, fast, c, c / fast);
}

}  // namespace

int main() {
  constexpr size_t kN = 1000000;
  std::mt19937_64 rng(1);
  std::vector<double> page(kN), unit(kN), big(kN), ints(kN);
  std::uniform_real_distribution<double> pu(0.0, 3000.0), uu(-1.0, 1.0), bu(1e11, 1e15);
  for (size_t i = 0; i < kN; ++i) {
    page[i] = pu(rng);
    unit[i] = uu(rng);
    big[i] = bu(rng);
    ints[i] = static_cast<double>(static_cast<int>(pu(rng)) - 1500);
  }
  row("page coordinates 0..3000", page, 2);
  row("page coordinates 0..3000", page, 4);
  row("colour components -1..1", unit, 3);
  row("colour components -1..1", unit, 7);
  row("large 1e11..1e15 (exact slow path)", big, 2);

  char buf[64];
  const double fi = ns_per_item(ints, [&](double x) { return fastfmt::append_int(buf, static_cast<long long>(x)) - buf; });
  const double ci = ns_per_item(ints, [&](double x) { return std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(x)); });
  std::printf("%-34s      fastfmt %6.1f ns   snprintf %6.1f ns   x%.1f\n", "integers -1500..1500", fi, ci, ci / fi);

  NumFormatState st;
  const double lf = ns_per_item(page, [&](double x) { return build_number(st, x, 2, '^', '%', buf, sizeof buf); });
  st.format = static_cast<int>(NumForm::FExp);
  const double le = ns_per_item(page, [&](double x) { return build_number(st, x, 2, '^', '%', buf, sizeof buf); });
  const double lc = ns_per_item(page, [&](double x) { return std::snprintf(buf, sizeof buf, "%.2f", x); });
  std::printf("label FLOA d=2 %.1f ns, label FEXP d=2 %.1f ns, snprintf %%.2f %.1f ns\n", lf, le, lc);
  return 0;
}
