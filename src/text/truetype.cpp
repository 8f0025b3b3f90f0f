// TrueType reading for ttfont. Only what drawing needs is read; everything is checked
// against the size of the file before it is used.
#include "text/truetype.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/context.h"
#include "core/files.h"
#include "core/messages.h"

namespace tavero {

namespace {

constexpr int kMaxPoints = 20000;       // points of one glyph, components included
constexpr int kMaxDepth = 6;            // nesting of composite glyphs
constexpr uintmax_t kMaxFile = 64u << 20;

struct Reader {
  const std::vector<uint8_t>& d;
  bool has(uint64_t off, uint64_t n) const { return off <= d.size() && n <= d.size() - off; }
  unsigned u8(uint64_t o) const { return has(o, 1) ? d[o] : 0; }
  unsigned u16(uint64_t o) const { return has(o, 2) ? (unsigned(d[o]) << 8) | d[o + 1] : 0; }
  int s16(uint64_t o) const { return static_cast<int16_t>(u16(o)); }
  uint32_t u32(uint64_t o) const {
    return has(o, 4) ? (uint32_t(d[o]) << 24) | (uint32_t(d[o + 1]) << 16) | (uint32_t(d[o + 2]) << 8) | d[o + 3]
                     : 0;
  }
};

bool read_file(const std::string& path, std::vector<uint8_t>& out) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFile) return false;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.resize(static_cast<size_t>(size));
  size_t got = size ? std::fread(out.data(), 1, out.size(), f) : 0;
  std::fclose(f);
  out.resize(got);
  return true;
}

// Looks for a file name below a folder (bounded walk).
std::string find_below(const std::filesystem::path& dir, const std::string& base) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return {};
  std::filesystem::recursive_directory_iterator it(
      dir, std::filesystem::directory_options::skip_permission_denied, ec);
  int seen = 0;
  for (auto end = std::filesystem::recursive_directory_iterator(); !ec && it != end; it.increment(ec)) {
    if (++seen > 50000) break;
    const auto& p = it->path();
    if (p.filename().string() == base) {
      std::error_code e2;
      if (std::filesystem::is_regular_file(p, e2)) return p.string();
    }
  }
  return {};
}

std::string locate(const Context& ctx, const char* name) {
  std::error_code ec;
  std::string n = name;
  if (std::filesystem::is_regular_file(n, ec)) return n;
  std::string base = std::filesystem::path(n).filename().string();
  if (base.empty()) return {};
  for (const char* sys : {"/usr/share/fonts", "/usr/local/share/fonts"}) {
    std::string p = find_below(sys, base);
    if (!p.empty()) return p;
  }
  std::filesystem::path inst = std::filesystem::path(install_dir(ctx)) / "fonts" / base;
  if (std::filesystem::is_regular_file(inst, ec)) return inst.string();
  return {};
}

void table_message(Context& ctx, int code, const char* what, const char* tag) {
  char t[64];
  std::snprintf(t, sizeof t, "%s%s", what, tag);
  warn_text(ctx, code, t);
}

// Adds a flattened contour; points are (x, y, on).
struct RawPoint {
  double x, y;
  bool on;
};

void flatten(const std::vector<RawPoint>& p, int steps, std::vector<double>& xs, std::vector<double>& ys) {
  const size_t n = p.size();
  if (n == 0) return;
  size_t s = 0;
  while (s < n && !p[s].on) ++s;
  RawPoint start;
  if (s == n) {  // only control points: start between the first two
    start = {(p[0].x + p[n - 1].x) / 2, (p[0].y + p[n - 1].y) / 2, true};
    s = 0;
  } else {
    start = p[s];
  }
  auto emit = [&](double x, double y) {
    xs.push_back(x);
    ys.push_back(y);
  };
  emit(start.x, start.y);
  double cx = start.x, cy = start.y;
  const bool all_off = !p[s].on;
  size_t count = all_off ? n : n - 1;
  size_t i = all_off ? s : s + 1;
  bool have_ctrl = false;
  double qx = 0, qy = 0;
  auto curve_to = [&](double ex, double ey) {
    for (int k = 1; k <= steps; ++k) {
      double t = double(k) / steps, a = 1 - t;
      double x = a * a * cx + 2 * a * t * qx + t * t * ex, y = a * a * cy + 2 * a * t * qy + t * t * ey;
      emit(x, y);
    }
    cx = ex;
    cy = ey;
  };
  for (size_t k = 0; k < count; ++k, ++i) {
    const RawPoint& q = p[i % n];
    if (q.on) {
      if (have_ctrl) {
        curve_to(q.x, q.y);
        have_ctrl = false;
      } else {
        emit(q.x, q.y);
        cx = q.x;
        cy = q.y;
      }
    } else {
      if (have_ctrl) curve_to((qx + q.x) / 2, (qy + q.y) / 2);
      qx = q.x;
      qy = q.y;
      have_ctrl = true;
    }
  }
  if (have_ctrl) {
    curve_to(start.x, start.y);
  } else if (cx != start.x || cy != start.y) {
    emit(start.x, start.y);
  }
}

}  // namespace

// --- glyph access

namespace {

// Offset and length of glyph gid inside glyf; false for a bad index or offsets.
bool glyph_range(const TrueTypeFont& f, int gid, uint32_t& off, uint32_t& len) {
  Reader r{f.data};
  if (gid < 0 || gid >= f.num_glyphs) return false;
  uint64_t a, b;
  if (f.long_loca) {
    a = r.u32(f.loca + 4ull * gid);
    b = r.u32(f.loca + 4ull * gid + 4);
  } else {
    a = 2ull * r.u16(f.loca + 2ull * gid);
    b = 2ull * r.u16(f.loca + 2ull * gid + 2);
  }
  if (b < a || b > f.glyf_len) return false;
  off = static_cast<uint32_t>(f.glyf + a);
  len = static_cast<uint32_t>(b - a);
  return true;
}

struct OutlineBuilder {
  const TrueTypeFont& f;
  Reader r;
  std::vector<std::vector<RawPoint>> contours;
  int total = 0;

  int glyph(int gid, double m[6], int depth) {
    uint32_t off, len;
    if (!glyph_range(f, gid, off, len)) return 189;
    if (len == 0) return 0;  // an empty glyph (the blank)
    if (len < 10) return 188;
    const uint64_t end = uint64_t(off) + len;
    int nc = r.s16(off);
    if (nc >= 0) return simple(off, end, nc, m);
    if (depth >= kMaxDepth) return 188;
    return composite(off + 10, end, m, depth);
  }

  int simple(uint64_t off, uint64_t end, int nc, const double m[6]) {
    if (nc == 0) return 0;
    uint64_t p = off + 10;
    if (p + 2ull * nc + 2 > end) return 188;
    std::vector<int> ends(static_cast<size_t>(nc));
    int last = -1;
    for (int i = 0; i < nc; ++i) {
      int e = static_cast<int>(r.u16(p + 2ull * i));
      if (e <= last && !(e == last && i == 0)) return 188;
      ends[static_cast<size_t>(i)] = e;
      last = e;
    }
    int npts = last + 1;
    if (npts <= 0) return 188;
    if (total + npts > kMaxPoints) return 187;
    p += 2ull * nc;
    unsigned ilen = r.u16(p);
    p += 2ull + ilen;
    std::vector<uint8_t> flags(static_cast<size_t>(npts));
    for (int i = 0; i < npts;) {
      if (p >= end) return 188;
      uint8_t fl = static_cast<uint8_t>(r.u8(p++));
      flags[static_cast<size_t>(i++)] = fl;
      if (fl & 8) {
        if (p >= end) return 188;
        unsigned rep = r.u8(p++);
        for (unsigned k = 0; k < rep && i < npts; ++k) flags[static_cast<size_t>(i++)] = fl;
      }
    }
    std::vector<int> xs(static_cast<size_t>(npts)), ys(static_cast<size_t>(npts));
    int v = 0;
    for (int i = 0; i < npts; ++i) {
      uint8_t fl = flags[static_cast<size_t>(i)];
      if (fl & 2) {
        if (p + 1 > end) return 188;
        int d = static_cast<int>(r.u8(p++));
        v += (fl & 16) ? d : -d;
      } else if (!(fl & 16)) {
        if (p + 2 > end) return 188;
        v += r.s16(p);
        p += 2;
      }
      xs[static_cast<size_t>(i)] = v;
    }
    v = 0;
    for (int i = 0; i < npts; ++i) {
      uint8_t fl = flags[static_cast<size_t>(i)];
      if (fl & 4) {
        if (p + 1 > end) return 188;
        int d = static_cast<int>(r.u8(p++));
        v += (fl & 32) ? d : -d;
      } else if (!(fl & 32)) {
        if (p + 2 > end) return 188;
        v += r.s16(p);
        p += 2;
      }
      ys[static_cast<size_t>(i)] = v;
    }
    int first = 0;
    for (int c = 0; c < nc; ++c) {
      std::vector<RawPoint> cont;
      for (int i = first; i <= ends[static_cast<size_t>(c)]; ++i) {
        double x = xs[static_cast<size_t>(i)], y = ys[static_cast<size_t>(i)];
        cont.push_back({m[0] * x + m[1] * y + m[2], m[3] * x + m[4] * y + m[5],
                        (flags[static_cast<size_t>(i)] & 1) != 0});
      }
      first = ends[static_cast<size_t>(c)] + 1;
      if (cont.size() >= 2) contours.push_back(std::move(cont));
    }
    total += npts;
    return 0;
  }

  int composite(uint64_t p, uint64_t end, const double m[6], int depth) {
    for (int guard = 0; guard < 256; ++guard) {
      if (p + 4 > end) return 188;
      unsigned flags = r.u16(p), gid = r.u16(p + 2);
      p += 4;
      double dx = 0, dy = 0;
      if (flags & 1) {
        if (p + 4 > end) return 188;
        dx = r.s16(p);
        dy = r.s16(p + 2);
        p += 4;
      } else {
        if (p + 2 > end) return 188;
        dx = static_cast<int8_t>(r.u8(p));
        dy = static_cast<int8_t>(r.u8(p + 1));
        p += 2;
      }
      if (!(flags & 2)) dx = dy = 0;  // point matching: placed without offset
      double a = 1, b = 0, c = 0, d = 1;
      auto f2 = [&](uint64_t o) { return r.s16(o) / 16384.0; };
      if (flags & 8) {
        if (p + 2 > end) return 188;
        a = d = f2(p);
        p += 2;
      } else if (flags & 0x40) {
        if (p + 4 > end) return 188;
        a = f2(p);
        d = f2(p + 2);
        p += 4;
      } else if (flags & 0x80) {
        if (p + 8 > end) return 188;
        a = f2(p);
        b = f2(p + 2);
        c = f2(p + 4);
        d = f2(p + 6);
        p += 8;
      }
      // component point (x, y) -> (a x + c y + dx, b x + d y + dy), then the parent matrix
      double cm[6] = {m[0] * a + m[1] * b, m[0] * c + m[1] * d, m[0] * dx + m[1] * dy + m[2],
                      m[3] * a + m[4] * b, m[3] * c + m[4] * d, m[3] * dx + m[4] * dy + m[5]};
      int e = glyph(static_cast<int>(gid), cm, depth + 1);
      if (e) return e;
      if (!(flags & 0x20)) return 0;
    }
    return 188;
  }
};

}  // namespace

int TrueTypeFont::glyph_index(uint32_t cp) const {
  if (!cmap4 || cp > 0xFFFF) return 0;
  Reader r{data};
  unsigned segx2 = r.u16(cmap4 + 6);
  unsigned seg = segx2 / 2;
  uint64_t ends = cmap4 + 14, starts = ends + segx2 + 2, deltas = starts + segx2, ranges = deltas + segx2;
  if (ranges + segx2 > uint64_t(cmap4) + cmap4_len) return 0;
  for (unsigned i = 0; i < seg; ++i) {
    unsigned e = r.u16(ends + 2ull * i);
    if (e < cp) continue;
    unsigned s = r.u16(starts + 2ull * i);
    if (s > cp) return 0;
    unsigned delta = r.u16(deltas + 2ull * i);
    unsigned ro = r.u16(ranges + 2ull * i);
    if (ro == 0) return static_cast<int>((cp + delta) & 0xFFFF);
    uint64_t addr = ranges + 2ull * i + ro + 2ull * (cp - s);
    if (addr + 2 > uint64_t(cmap4) + cmap4_len) return 0;
    unsigned g = r.u16(addr);
    return g ? static_cast<int>((g + delta) & 0xFFFF) : 0;
  }
  return 0;
}

bool TrueTypeFont::bbox(int gid, int& xmin, int& ymin, int& xmax, int& ymax) const {
  uint32_t off, len;
  if (!glyph_range(*this, gid, off, len) || len < 10) return false;
  Reader r{data};
  xmin = r.s16(off + 2);
  ymin = r.s16(off + 4);
  xmax = r.s16(off + 6);
  ymax = r.s16(off + 8);
  return xmax >= xmin && ymax >= ymin;
}

double TrueTypeFont::advance(int gid) const {
  Reader r{data};
  if (hmtx && num_hmetrics > 0) {
    int k = gid < num_hmetrics ? gid : num_hmetrics - 1;
    if (uint64_t(4) * k + 2 <= hmtx_len) return r.u16(hmtx + 4ull * k);
  }
  int x0, y0, x1, y1;
  if (bbox(gid, x0, y0, x1, y1)) return x1 + 0.1 * units_per_em;
  return 0.3 * units_per_em;
}

int TrueTypeFont::outline(int gid, int steps, std::vector<std::vector<double>>& xs,
                          std::vector<std::vector<double>>& ys) const {
  OutlineBuilder b{*this, Reader{data}, {}, 0};
  double m[6] = {1, 0, 0, 0, 1, 0};
  int e = b.glyph(gid, m, 0);
  if (e) return e;
  for (const auto& c : b.contours) {
    xs.emplace_back();
    ys.emplace_back();
    flatten(c, steps < 1 ? 1 : steps, xs.back(), ys.back());
  }
  return 0;
}

std::shared_ptr<TrueTypeFont> load_truetype(Context& ctx, const char* name) {
  std::string path = name && *name ? locate(ctx, name) : std::string();
  auto f = std::make_shared<TrueTypeFont>();
  if (path.empty() || !read_file(path, f->data)) {
    warn_code(ctx, kMsgFileError);
    return nullptr;
  }
  f->path = path;
  Reader r{f->data};
  const char* tags[7] = {"cmap", "loca", "head", "maxp", "glyf", "hhea", "hmtx"};
  uint32_t off[7] = {}, len[7] = {};
  bool found[7] = {}, bad[7] = {};
  unsigned ntab = r.u16(4);
  if (!r.has(12, 16ull * ntab)) ntab = static_cast<unsigned>(r.d.size() >= 12 ? (r.d.size() - 12) / 16 : 0);
  for (unsigned i = 0; i < ntab; ++i) {
    uint64_t rec = 12 + 16ull * i;
    for (int t = 0; t < 7; ++t) {
      if (found[t] || !r.has(rec, 16) || std::memcmp(&f->data[rec], tags[t], 4) != 0) continue;
      found[t] = true;
      off[t] = r.u32(rec + 8);
      len[t] = r.u32(rec + 12);
      bad[t] = !r.has(off[t], len[t]);
    }
  }
  // the required tables, in the order they are read
  for (int t = 0; t < 5; ++t) {
    if (!found[t]) {
      table_message(ctx, 185, "Missing table ", tags[t]);
      return nullptr;
    }
    if (bad[t]) {
      table_message(ctx, 186, "Bad size in table ", tags[t]);
      return nullptr;
    }
  }
  // head
  if (len[2] < 54) {
    table_message(ctx, 186, "Bad size in table ", "head");
    return nullptr;
  }
  f->units_per_em = static_cast<int>(r.u16(off[2] + 18));
  if (f->units_per_em < 16 || f->units_per_em > 16384) {
    table_message(ctx, 186, "Bad size in table ", "head");
    return nullptr;
  }
  f->long_loca = r.s16(off[2] + 50) != 0;
  // maxp
  if (len[3] < 6) {
    table_message(ctx, 186, "Bad size in table ", "maxp");
    return nullptr;
  }
  f->num_glyphs = static_cast<int>(r.u16(off[3] + 4));
  // loca
  uint64_t need = uint64_t(f->num_glyphs + 1) * (f->long_loca ? 4 : 2);
  if (len[1] < need || f->num_glyphs == 0) {
    table_message(ctx, 186, "Bad size in table ", "loca");
    return nullptr;
  }
  f->loca = off[1];
  f->loca_len = len[1];
  f->glyf = off[4];
  f->glyf_len = len[4];
  // cmap: a Microsoft subtable (Unicode BMP, else symbol) of format 4
  uint32_t cm = off[0], cml = len[0];
  unsigned nsub = r.u16(cm + 2);
  if (cml < 4 || uint64_t(4) + 8ull * nsub > cml) {
    table_message(ctx, 186, "Bad size in table ", "cmap");
    return nullptr;
  }
  uint32_t sub = 0;
  int best = 0;
  for (unsigned i = 0; i < nsub; ++i) {
    uint64_t rec = cm + 4 + 8ull * i;
    unsigned plat = r.u16(rec), enc = r.u16(rec + 2);
    if (plat != 3) continue;
    int rank = enc == 1 ? 3 : enc == 0 ? 2 : 1;
    if (rank > best) {
      best = rank;
      sub = r.u32(rec + 4);
    }
  }
  if (!best) {
    warn_text(ctx, 183, "No Microsoft encoding found in table cmap");
    return nullptr;
  }
  if (uint64_t(sub) + 14 > cml) {
    table_message(ctx, 186, "Bad size in table ", "cmap");
    return nullptr;
  }
  if (r.u16(cm + sub) != 4) {
    warn_text(ctx, 184, "Format should be 4 in table cmap");
    return nullptr;
  }
  unsigned slen = r.u16(cm + sub + 2);
  unsigned segx2 = r.u16(cm + sub + 6);
  if (uint64_t(sub) + slen > cml || slen < 16 + 4ull * segx2 || (segx2 & 1)) {
    table_message(ctx, 186, "Bad size in table ", "cmap");
    return nullptr;
  }
  f->cmap4 = cm + sub;
  f->cmap4_len = slen;
  // optional metrics
  if (found[5] && found[6] && !bad[5] && !bad[6] && len[5] >= 36) {
    f->num_hmetrics = static_cast<int>(r.u16(off[5] + 34));
    f->hmtx = off[6];
    f->hmtx_len = len[6];
    if (uint64_t(4) * f->num_hmetrics > f->hmtx_len) f->num_hmetrics = static_cast<int>(f->hmtx_len / 4);
  }
  int gH = f->glyph_index('H');
  int x0, y0, x1, y1;
  f->cap_height = (gH > 0 && f->bbox(gH, x0, y0, x1, y1) && y1 > 0) ? y1 : 0.7 * f->units_per_em;
  return f;
}

}  // namespace tavero
