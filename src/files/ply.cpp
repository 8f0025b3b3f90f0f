#include "files/ply.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "tavero_api.h"

namespace tavero {

namespace {

struct VertexKey {
  float x, y, z;
  uint32_t rgb;
  bool operator==(const VertexKey& o) const {
    return std::memcmp(this, &o, sizeof *this) == 0;
  }
};

struct VertexHash {
  size_t operator()(const VertexKey& k) const {
    uint32_t w[4];
    std::memcpy(w, &k, sizeof w);
    uint64_t h = 1469598103934665603ULL;
    for (uint32_t v : w) h = (h ^ v) * 1099511628211ULL;
    return static_cast<size_t>(h ^ (h >> 29));
  }
};

}  // namespace

struct PlyExport {
  FileHandle file;
  std::string name;
  std::vector<VertexKey> vertices;
  std::vector<uint32_t> faces;  // three vertex numbers per face
  std::unordered_map<VertexKey, uint32_t, VertexHash> index;
  bool failed = false;          // out of memory while collecting: reported once at the end
};

void PlyDeleter::operator()(PlyExport* p) const { delete p; }

namespace {

constexpr int kMsgEnabled = 190;
constexpr int kMsgNotEnabled = 191;

uint32_t rgb_of(const Context& ctx, int colour) {
  int r, g, b;
  color_rgb(ctx, colour, r, g, b);
  return (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) | uint32_t(b & 255);
}

void append_float(std::string& s, float v) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, res.ptr);
}

void append_uint(std::string& s, uint32_t v) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, res.ptr);
}

}  // namespace

bool ply_active(const Context& ctx) { return ctx.files.ply != nullptr; }

void ply_add_triangle(Context& ctx, const double x[3], const double y[3], const double z[3],
                      const int colour[3]) {
  PlyExport* p = ctx.files.ply.get();
  if (!p || p->failed) return;
  VertexKey k[3];
  for (int i = 0; i < 3; ++i) {
    k[i] = {static_cast<float>(x[i]), static_cast<float>(y[i]), static_cast<float>(z[i]),
            rgb_of(ctx, colour[i])};
    // non-finite, or beyond what a float holds
    if (!std::isfinite(k[i].x) || !std::isfinite(k[i].y) || !std::isfinite(k[i].z)) return;
  }
  try {
    uint32_t id[3];
    for (int i = 0; i < 3; ++i) {
      auto it = p->index.find(k[i]);
      if (it == p->index.end()) {
        it = p->index.emplace(k[i], static_cast<uint32_t>(p->vertices.size())).first;
        p->vertices.push_back(k[i]);
      }
      id[i] = it->second;
    }
    p->faces.insert(p->faces.end(), id, id + 3);
  } catch (const std::bad_alloc&) {
    p->failed = true;
  }
}

void ply_add_triangle(Context& ctx, const double x[3], const double y[3], const double z[3],
                      int colour) {
  const int c[3] = {colour, colour, colour};
  ply_add_triangle(ctx, x, y, z, c);
}

void ply_finish(Context& ctx) {
  std::unique_ptr<PlyExport, PlyDeleter> p = std::move(ctx.files.ply);
  if (!p) return;
  if (p->failed) {
    warn_code(ctx, kMsgNoMemory);
    return;
  }
  p->index = {};
  std::string s;
  bool ok = true;
  try {
    s.reserve(256 + p->vertices.size() * 40 + p->faces.size() * 8);
    s += "ply\nformat ascii 1.0\ncomment tavero 11.5\nelement vertex ";
    append_uint(s, static_cast<uint32_t>(p->vertices.size()));
    s += "\nproperty float x\nproperty float y\nproperty float z\n"
         "property uchar red\nproperty uchar green\nproperty uchar blue\nelement face ";
    append_uint(s, static_cast<uint32_t>(p->faces.size() / 3));
    s += "\nproperty list uchar int vertex_indices\nend_header\n";
    for (const VertexKey& v : p->vertices) {
      append_float(s, v.x);
      s += ' ';
      append_float(s, v.y);
      s += ' ';
      append_float(s, v.z);
      s += ' ';
      append_uint(s, v.rgb >> 16);
      s += ' ';
      append_uint(s, (v.rgb >> 8) & 255);
      s += ' ';
      append_uint(s, v.rgb & 255);
      s += '\n';
    }
    for (size_t i = 0; i + 2 < p->faces.size(); i += 3) {
      s += "3 ";
      append_uint(s, p->faces[i]);
      s += ' ';
      append_uint(s, p->faces[i + 1]);
      s += ' ';
      append_uint(s, p->faces[i + 2]);
      s += '\n';
    }
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return;
  }
  std::FILE* f = p->file.release();
  ok = std::fwrite(s.data(), 1, s.size(), f) == s.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) warn_string(ctx, kMsgFileError, p->name.c_str());
}

// ------------------------------------------------------------------------------------------

// The file is opened at once, so that a name that cannot be written is reported here; its
// contents are written by plyfin or tavfin. An empty name gives "tavero.ply".
void plyini(const char* cfil) {
  Context* ctx = enter(R::plyini);
  if (!ctx) return;
  if (ctx->files.ply) {
    warn_text(*ctx, kMsgEnabled, "Output to PLY format is already enabled");
    return;
  }
  std::string name = cfil && *cfil ? cfil : "tavero.ply";
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) {
    warn_string(*ctx, kMsgFileError, name.c_str());
    return;
  }
  std::unique_ptr<PlyExport, PlyDeleter> p(new (std::nothrow) PlyExport);
  if (!p) {
    std::fclose(f);
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  p->file.reset(f);
  p->name = std::move(name);
  ctx->files.ply = std::move(p);
}

void plyfin() {
  Context* ctx = enter(R::plyfin);
  if (!ctx) return;
  if (!ctx->files.ply) {
    warn_text(*ctx, kMsgNotEnabled, "Output to PLY format is not enabled");
    return;
  }
  ply_finish(*ctx);
}

}  // namespace tavero
