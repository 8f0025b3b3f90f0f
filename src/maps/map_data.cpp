// Readers of the map data files. Every reader checks each count and value against what the
// file can hold and stops at the first damage, keeping the complete lines read before it: a
// truncated or hostile file costs a warning, never a crash.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/files.h"
#include "core/messages.h"
#include "maps/maps.h"

namespace tavero {

namespace {

constexpr size_t kMaxFile = size_t(1) << 30;      // larger files are not map data
constexpr uint64_t kMaxPoints = 50'000'000;       // points of one line

bool read_file(const std::string& path, std::vector<unsigned char>& buf) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  f.seekg(0, std::ios::end);
  std::streamoff size = f.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFile) return false;
  f.seekg(0, std::ios::beg);
  buf.resize(static_cast<size_t>(size));
  if (size > 0 && !f.read(reinterpret_cast<char*>(buf.data()), size)) return false;
  return true;
}

// Longitudes of a line made continuous: no jump of more than half a turn between neighbours.
void unwrap(MapLine& l) {
  for (size_t i = 1; i < l.lon.size(); ++i) {
    double d = l.lon[i] - l.lon[i - 1];
    if (d > 180 || d < -180) l.lon[i] -= 360 * std::round(d / 360);
  }
}

struct Cursor {
  const unsigned char* p;
  size_t n, i = 0;
  bool varint(uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (i >= n) return false;
      unsigned char b = p[i++];
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool svarint(int64_t& v) {
    uint64_t u;
    if (!varint(u)) return false;
    v = static_cast<int64_t>(u >> 1) ^ -static_cast<int64_t>(u & 1);
    return true;
  }
  bool u32le(uint32_t& v) {
    if (n - i < 4 || i > n) return false;
    v = p[i] | (p[i + 1] << 8) | (p[i + 2] << 16) | (static_cast<uint32_t>(p[i + 3]) << 24);
    i += 4;
    return true;
  }
};

int32_t be32(const unsigned char* p) {
  return static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
}

int32_t le32(const unsigned char* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

template <typename Parse>
MapReadResult read_with(const std::string& path, std::vector<MapLine>& out, Parse parse) {
  MapReadResult r;
  r.path = path;
  std::vector<unsigned char> buf;
  if (!read_file(path, buf)) return r;
  r.opened = true;
  r.truncated = !parse(buf.data(), buf.size(), out);
  return r;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// The compact format: "TVMAP1\n\x1a", u32 line count, u32 point count, then per line the
// varints count, level, code, one flag byte (1 closed) and zigzag varint coordinates in
// 1/10000 degree, the first absolute, the others as differences.

bool parse_compact_map(const unsigned char* p, size_t n, std::vector<MapLine>& out) {
  static const unsigned char kMagic[8] = {'T', 'V', 'M', 'A', 'P', '1', '\n', 0x1a};
  if (n < 16 || std::memcmp(p, kMagic, 8) != 0) return false;
  Cursor c{p, n, 8};
  uint32_t lines, total;
  if (!c.u32le(lines) || !c.u32le(total)) return false;
  uint64_t left = total;
  for (uint32_t k = 0; k < lines; ++k) {
    uint64_t count, level, code;
    if (!c.varint(count) || !c.varint(level) || !c.varint(code)) return false;
    // every point takes at least two bytes: a count beyond that is a damaged file
    if (count < 1 || count > left || count > kMaxPoints || count > (n - c.i) / 2 + 1) return false;
    if (c.i >= n) return false;
    unsigned char flags = p[c.i++];
    MapLine l;
    l.level = static_cast<int>(level & 0x7fffffff);
    l.code = static_cast<int>(code & 0x7fffffff);
    l.closed = flags & 1;
    l.lon.reserve(count);
    l.lat.reserve(count);
    int64_t x = 0, y = 0;
    for (uint64_t j = 0; j < count; ++j) {
      int64_t dx, dy;
      if (!c.svarint(dx) || !c.svarint(dy)) return false;
      x += dx;
      y += dy;
      if (x < -7'200'000 || x > 7'200'000 || y < -900'100 || y > 900'100) return false;
      l.lon.push_back(x / 10000.0);
      l.lat.push_back(y / 10000.0);
    }
    left -= count;
    out.push_back(std::move(l));
  }
  return true;
}

// ------------------------------------------------------------------------------------------
// The published GSHHS binary format: per polygon a header of 11 big-endian int32 (id, point
// count, flag, west, east, south, north, area, full area, container, ancestor), then the
// points as big-endian int32 pairs in micro-degrees.

bool parse_gshhs(const unsigned char* p, size_t n, std::vector<MapLine>& out) {
  size_t i = 0;
  while (i < n) {
    if (n - i < 44) return false;
    int32_t count = be32(p + i + 4), flag = be32(p + i + 8);
    i += 44;
    if (count < 0 || static_cast<uint64_t>(count) > kMaxPoints ||
        static_cast<uint64_t>(count) * 8 > n - i)
      return false;
    MapLine l;
    l.level = flag & 255;
    l.lon.reserve(count);
    l.lat.reserve(count);
    for (int32_t j = 0; j < count; ++j, i += 8) {
      double x = be32(p + i) * 1e-6, y = be32(p + i + 4) * 1e-6;
      if (std::fabs(x) > 720 || std::fabs(y) > 90.0001) return false;
      l.lon.push_back(x);
      l.lat.push_back(y);
    }
    if (count < 1) continue;
    l.closed = count > 2 && l.lon.front() == l.lon.back() && l.lat.front() == l.lat.back();
    if (l.closed) {
      l.lon.pop_back();
      l.lat.pop_back();
    }
    unwrap(l);
    out.push_back(std::move(l));
  }
  return true;
}

// ------------------------------------------------------------------------------------------
// The own base map: blocks of 20 little-endian int32. Values >= 0 come in pairs
// (lon + 180, lat + 90) in thousandths of a degree; -1000 fills, -9000 ends the data, any
// other negative value ends the current line.

bool parse_block_map(const unsigned char* p, size_t n, std::vector<MapLine>& out) {
  const size_t words = n / 4;
  MapLine cur;
  bool half = false;
  int32_t a = 0;
  auto end_line = [&] {
    if (cur.lon.size() >= 1) {
      cur.level = 1;  // shorelines of land
      out.push_back(std::move(cur));
    }
    cur = MapLine{};
    half = false;
  };
  for (size_t w = 0; w < words; ++w) {
    int32_t v = le32(p + 4 * w);
    if (v == -1000) continue;
    if (v == -9000) {
      end_line();
      return true;
    }
    if (v < 0) {
      end_line();
      continue;
    }
    if (!half) {
      a = v;
      half = true;
      continue;
    }
    half = false;
    if (a > 720000 || v > 180000) {
      end_line();
      return false;
    }
    cur.lon.push_back(a / 1000.0 - 180);
    cur.lat.push_back(v / 1000.0 - 90);
  }
  end_line();
  return false;  // no end mark: the file was cut short
}

// ------------------------------------------------------------------------------------------
// "MAPG" text: a line starting with '#' ends the current line, the others hold a longitude
// and a latitude in degrees. Lines are read up to 132 characters.

bool parse_text_map(const char* p, size_t n, std::vector<MapLine>& out) {
  MapLine cur;
  bool ok = true;
  auto end_line = [&] {
    if (!cur.lon.empty()) {
      cur.level = 1;
      out.push_back(std::move(cur));
    }
    cur = MapLine{};
  };
  size_t i = 0;
  while (i < n) {
    size_t j = i;
    while (j < n && p[j] != '\n') ++j;
    char line[133];
    size_t len = std::min<size_t>(j - i, 132);
    std::memcpy(line, p + i, len);
    line[len] = 0;
    i = j + 1;
    char* s = line;
    if (s[0] == '#') {
      end_line();
      continue;
    }
    while (*s == ' ' || *s == '\t') ++s;
    if (!*s || *s == '\r') continue;
    char* e1;
    errno = 0;
    double lon = std::strtod(s, &e1);
    char* e2 = e1;
    double lat = e1 != s ? std::strtod(e1, &e2) : 0;
    bool sep = e1 != s && (*e1 == ' ' || *e1 == '\t');
    if (e1 == s || e2 == e1 || !sep || !std::isfinite(lon) || !std::isfinite(lat) ||
        std::fabs(lon) > 720 || std::fabs(lat) > 90.0001) {
      ok = false;  // an unreadable line ends the current line
      end_line();
      continue;
    }
    cur.lon.push_back(lon);
    cur.lat.push_back(lat);
  }
  end_line();
  return ok;
}

MapReadResult read_compact_map(const std::string& path, std::vector<MapLine>& out) {
  return read_with(path, out, parse_compact_map);
}

MapReadResult read_gshhs(const std::string& path, std::vector<MapLine>& out) {
  return read_with(path, out, parse_gshhs);
}

MapReadResult read_block_map(const std::string& path, std::vector<MapLine>& out) {
  return read_with(path, out, parse_block_map);
}

MapReadResult read_text_map(const std::string& path, std::vector<MapLine>& out) {
  return read_with(path, out, [](const unsigned char* p, size_t n, std::vector<MapLine>& o) {
    return parse_text_map(reinterpret_cast<const char*>(p), n, o);
  });
}

// ------------------------------------------------------------------------------------------
// Base maps

std::string map_directory(const Context& ctx) {
  namespace fs = std::filesystem;
  fs::path root(install_dir(ctx));
  std::error_code ec;
  // the package keeps its maps in "maps"; an installation may use "map"
  if (!fs::is_directory(root / "maps", ec) && fs::is_directory(root / "map", ec))
    return (root / "map").string();
  return (root / "maps").string();
}

bool load_base_layer(Context& ctx, int base, MapLayer layer, std::vector<MapLine>& out) {
  namespace fs = std::filesystem;
  static const char kRes[] = {'c', 'l', 'i', 'h', 'f'};
  if (base < 0 || base > 4) return false;
  const fs::path dir(map_directory(ctx));
  const char r = kRes[base];
  std::string compact, gshhs;
  switch (layer) {
    case MapLayer::kCoast:
      compact = std::string("coast_") + r + ".tvm";
      gshhs = std::string("gshhs_") + kRes[base == 0 ? 1 : base] + ".b";
      break;
    case MapLayer::kBorder:
      compact = std::string("border_") + r + ".tvm";
      gshhs = std::string("wdb_borders_") + kRes[base == 0 ? 1 : base] + ".b";
      break;
    case MapLayer::kRiver:
      compact = std::string("river_") + r + ".tvm";
      gshhs = std::string("wdb_rivers_") + kRes[base == 0 ? 1 : base] + ".b";
      break;
    case MapLayer::kCountry:
      compact = "countries.tvm";
      break;
    case MapLayer::kState:
      compact = "states.tvm";
      break;
  }
  MapReadResult res;
  std::error_code ec;
  if (base == 0 && layer == MapLayer::kCoast && fs::exists(dir / "map0.dat", ec)) {
    res = read_block_map((dir / "map0.dat").string(), out);  // an installed own base map
  } else if (fs::exists(dir / compact, ec) || gshhs.empty()) {
    res = read_compact_map((dir / compact).string(), out);
  } else {
    res = read_gshhs((dir / gshhs).string(), out);
  }
  if (!res.opened) {
    warn_string(ctx, kMsgFileError, res.path.c_str());
    return false;
  }
  if (res.truncated) {
    set_custom_message(ctx, "Read error");
    warn_code(ctx, 119);
  }
  return !out.empty();
}

}  // namespace tavero
