// Image files in plots: loading pixels into an array (ldimg), the size and type of a file
// (filsiz, filtyp), including a file on the page (incfil with filbox, filwin, filclr), and an
// image stretched over an axis system (grfimg) or laid onto a map (mapimg).
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "files/image_decode.h"
#include "files/image_place.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kMsgReadError = 119;
constexpr int kMsgImage = 123;
constexpr int kMsgFileFormat = 56;

void report_decode(Context& ctx, int st, const char* cfil) {
  switch (st) {
    case kDecodeOk: break;
    case kDecodeOpen: warn_string(ctx, kMsgFileError, cfil ? cfil : ""); break;
    case kDecodeRead: warn_text(ctx, kMsgReadError, "Read error"); break;
    case kDecodeUnsupported: warn_text(ctx, kMsgImage, "Not supported TIFF feature"); break;
    case kDecodeMemory: warn_code(ctx, kMsgNoMemory); break;
    case kDecodeFormat: warn_code(ctx, kMsgFileFormat); break;
    default: warn_text(ctx, kMsgImage, "Syntax error in image file"); break;
  }
}

// Reads and decodes an image file; false after a warning.
bool load_image(Context& ctx, const char* cfil, DecodedImage& img, bool header_only = false) {
  std::vector<uint8_t> data;
  int st = read_whole_file(cfil, data);
  if (st == kDecodeOk) {
    try {
      st = decode_image(data.data(), data.size(), img, header_only);
    } catch (const std::bad_alloc&) {
      st = kDecodeMemory;
    }
  }
  report_decode(ctx, st, cfil);
  return st == kDecodeOk;
}

// What identifies a file between ldimg's two calls.
bool file_identity(const char* cfil, long long& mtime, long long& size, long long& inode) {
  struct stat st;
  if (!cfil || ::stat(cfil, &st) != 0) return false;
  mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  size = static_cast<long long>(st.st_size);
  inode = static_cast<long long>(st.st_ino);
  return true;
}

// The pixels an included file contributes: the filwin window of the image, in the filclr
// colour mode. `store` keeps converted pixels alive when a copy was needed.
bool window_block(Context& ctx, const DecodedImage& img, std::vector<uint8_t>& store,
                  PixelBlock& out) {
  const FileState& f = ctx.files;
  int x0 = 0, y0 = 0, w = img.width, h = img.height;
  if (f.win[2] > 0 && f.win[3] > 0) {
    x0 = f.win[0];
    y0 = f.win[1];
    w = std::min(f.win[2], img.width - x0);
    h = std::min(f.win[3], img.height - y0);
    if (x0 >= img.width || y0 >= img.height || w < 1 || h < 1) {
      warn_number(ctx, kMsgIncorrectParameter, x0 >= img.width || w < 1 ? x0 : y0);
      return false;
    }
  }
  const long long stride = 4LL * img.width;
  out.rgba = img.rgba.data() + y0 * stride + 4LL * x0;
  out.width = w;
  out.height = h;
  out.stride = stride;
  if (f.colour_mode == 0) return true;
  try {
    store.resize(size_t(w) * size_t(h) * 4);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* q = out.rgba + y * stride;
    uint8_t* d = store.data() + size_t(y) * w * 4;
    for (int x = 0; x < w; ++x, q += 4, d += 4) {
      int g = (299 * q[0] + 587 * q[1] + 114 * q[2] + 500) / 1000;
      if (f.colour_mode == 2) g = g >= 128 ? 255 : 0;
      d[0] = d[1] = d[2] = static_cast<uint8_t>(g);
      d[3] = q[3];
    }
  }
  out.rgba = store.data();
  out.stride = 4LL * w;
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// loading into an array

// nc: values per pixel. 1 (and -1, which the binding returns as bytes): the value as stored
// (palette index, grey sample, or the luminance of colour pixels); 3: red, green, blue;
// 4: red, green, blue, alpha. Rows from the top. Without an array (or nmax = 0) the element
// count is returned; the decoded image is then kept for the call that fetches the data.
int ldimg(const char* cfil, int* iray, int nmax, int nc) {
  Context* ctx = enter(R::ldimg);
  if (!ctx) return 0;
  const int per = (nc == 1 || nc == -1) ? 1 : (nc == 3 || nc == 4) ? nc : 0;
  if (!per) {
    warn_number(*ctx, kMsgIncorrectParameter, nc);
    return 0;
  }
  if (nmax < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nmax);
    return 0;
  }
  FileState& fs = ctx->files;
  long long mtime = 0, size = 0, inode = 0;
  const bool known = file_identity(cfil, mtime, size, inode);
  DecodedImage* img = fs.ldimg_cache.get();
  if (!(img && known && img->path == cfil && img->mtime == mtime && img->size == size &&
        img->inode == inode)) {
    fs.ldimg_cache.reset();
    std::unique_ptr<DecodedImage, DecodedDeleter> fresh(new (std::nothrow) DecodedImage);
    if (!fresh) {
      warn_code(*ctx, kMsgNoMemory);
      return 0;
    }
    if (!load_image(*ctx, cfil, *fresh)) return 0;
    fresh->path = cfil;
    fresh->mtime = mtime;
    fresh->size = size;
    fresh->inode = inode;
    fs.ldimg_cache = std::move(fresh);
    img = fs.ldimg_cache.get();
  }
  const long long count = static_cast<long long>(img->width) * img->height * per;
  if (count > INT_MAX) {
    fs.ldimg_cache.reset();
    warn_code(*ctx, kMsgNoMemory);
    return 0;
  }
  if (!iray || nmax == 0) return static_cast<int>(count);
  std::unique_ptr<DecodedImage, DecodedDeleter> done = std::move(fs.ldimg_cache);
  if (nmax < count) {
    warn_text(*ctx, kMsgImage, "Not enough space in array");
    return -1;
  }
  const size_t np = img->values.size();
  if (per == 1) {
    for (size_t i = 0; i < np; ++i) iray[i] = img->values[i];
  } else {
    for (size_t i = 0; i < np; ++i)
      for (int c = 0; c < per; ++c) iray[i * per + c] = img->rgba[4 * i + c];
  }
  return static_cast<int>(count);
}

// ------------------------------------------------------------------------------------------
// file queries

// Width and height in pixels; -1, -1 when the file cannot be read as an image.
void filsiz(const char* cfil, int* nw, int* nh) {
  if (nw) *nw = -1;
  if (nh) *nh = -1;
  Context* ctx = enter(R::filsiz);
  if (!ctx) return;
  DecodedImage img;
  if (!load_image(*ctx, cfil, img, true)) return;
  if (nw) *nw = img.width;
  if (nh) *nh = img.height;
}

// The type of an image file: 1 TIFF, 4 PNG, 5 PBM/PGM/PPM, 6 BMP, 7 GIF (the numbers of the
// export formats), 0 any other file, -1 a file that cannot be read.
int filtyp(const char* cfil) {
  Context* ctx = enter(R::filtyp);
  if (!ctx) return -1;
  struct stat st;
  std::FILE* f = nullptr;
  if (cfil && *cfil && ::stat(cfil, &st) == 0 && S_ISREG(st.st_mode)) f = std::fopen(cfil, "rb");
  if (!f) {
    warn_string(*ctx, kMsgFileError, cfil ? cfil : "");
    return -1;
  }
  uint8_t head[16];
  size_t n = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  return image_file_type(head, n);
}

// ------------------------------------------------------------------------------------------
// included files

// Without filbox the image fills as much of the page as it can with its own proportions,
// centred; with filbox it fills the box exactly.
void incfil(const char* cfil) {
  Context* ctx = enter(R::incfil);
  if (!ctx) return;
  DecodedImage img;
  if (!load_image(*ctx, cfil, img)) return;
  std::vector<uint8_t> store;
  PixelBlock b;
  if (!window_block(*ctx, img, store, b)) return;
  const int* box = ctx->files.box;
  double x1, y1, x2, y2;
  if (box[2] > 0 && box[3] > 0) {
    x1 = box[0];
    y1 = box[1];
    x2 = x1 + box[2];
    y2 = y1 + box[3];
  } else {
    const double W = ctx->core.page_w, H = ctx->core.page_h;
    const double s = std::min(W / b.width, H / b.height);
    x1 = (W - b.width * s) / 2;
    y1 = (H - b.height * s) / 2;
    x2 = x1 + b.width * s;
    y2 = y1 + b.height * s;
  }
  paint_image(*ctx, b, x1, y1, x2, y2);
}

void filbox(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::filbox);
  if (!ctx) return;
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  int* b = ctx->files.box;
  b[0] = nx;
  b[1] = ny;
  b[2] = nw;
  b[3] = nh;
}

void filwin(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::filwin);
  if (!ctx) return;
  if (nx < 0 || ny < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nx, ny));
    return;
  }
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  int* w = ctx->files.win;
  w[0] = nx;
  w[1] = ny;
  w[2] = nw;
  w[3] = nh;
}

// Colour mode of included images: "COLOR" as they are, "GREY" grey levels, "BW" black and
// white at half intensity.
void filclr(const char* copt) {
  Context* ctx = enter(R::filclr);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "COLO+GREY+BW  ", 3, copt);
  if (k) ctx->files.colour_mode = static_cast<uint8_t>(k - 1);
}

// ------------------------------------------------------------------------------------------
// images in axis systems

// The whole image (filwin and filclr apply) stretched over the area of the axis system.
void grfimg(const char* cfil) {
  Context* ctx = enter(R::grfimg);
  if (!ctx) return;
  DecodedImage img;
  if (!load_image(*ctx, cfil, img)) return;
  std::vector<uint8_t> store;
  PixelBlock b;
  if (!window_block(*ctx, img, store, b)) return;
  const AxisScale& sx = ctx->axes.sc[0];
  const AxisScale& sy = ctx->axes.sc[1];
  paint_image(*ctx, b, sx.start, sy.start - sy.len + 1, sx.start + sx.len - 1, sy.start);
}

// An image of the longitudes x1 .. x2 (left to right edge) and latitudes x3 .. x4 (lower to
// upper edge), laid onto the map through its projection as a grid of cells of x5 degrees of
// longitude by x6 degrees of latitude (0 or less: one cell per pixel), each filled with the
// colour of the pixel at its centre.
void mapimg(const char* cfil, double x1, double x2, double x3, double x4, double x5, double x6) {
  Context* ctx = enter(R::mapimg);
  if (!ctx) return;
  const double v[6] = {x1, x2, x3, x4, x5, x6};
  for (double d : v)
    if (!std::isfinite(d)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  if (x1 == x2 || x3 == x4) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  DecodedImage img;
  if (!load_image(*ctx, cfil, img)) return;
  std::vector<uint8_t> store;
  PixelBlock b;
  if (!window_block(*ctx, img, store, b)) return;
  // a grid beyond 2000 cells a side would only repeat pixels
  constexpr int kMaxSide = 2000;
  auto cells = [&](double span, double step, int pixels) {
    double n = step > 0 ? std::ceil(std::fabs(span) / step) : pixels;
    return static_cast<int>(std::clamp(n, 1.0, static_cast<double>(kMaxSide)));
  };
  const int nx = cells(x2 - x1, x5, b.width), ny = cells(x4 - x3, x6, b.height);
  std::vector<double> gx, gy;
  try {
    gx.resize(size_t(nx + 1) * size_t(ny + 1));
    gy.resize(gx.size());
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) {
      const size_t k = size_t(j) * (nx + 1) + i;
      user_to_plot(*ctx, x1 + (x2 - x1) * i / nx, x4 - (x4 - x3) * j / ny, gx[k], gy[k]);
    }
  qqflsh(*ctx);
  FillState saved_fill = ctx->fill;
  const int saved_colour = ctx->color.current;
  ctx->fill.pattern = 16;
  ctx->fill.type = 1;
  ctx->fill.hw_shade = 1;
  axis_clip_on(*ctx);
  int current = -1;
  for (int j = 0; j < ny; ++j) {
    const uint8_t* row = b.rgba + static_cast<long long>((j + 0.5) * b.height / ny) * b.stride;
    for (int i = 0; i < nx; ++i) {
      const uint8_t* q = row + 4 * static_cast<long long>((i + 0.5) * b.width / nx);
      if (q[3] < 128) continue;
      const size_t k = size_t(j) * (nx + 1) + i, k2 = k + nx + 1;
      double px[4] = {gx[k], gx[k + 1], gx[k2 + 1], gx[k2]};
      double py[4] = {gy[k], gy[k + 1], gy[k2 + 1], gy[k2]};
      bool finite = true;
      for (int c = 0; c < 4; ++c) finite = finite && std::isfinite(px[c]) && std::isfinite(py[c]);
      if (!finite) continue;
      const int colour = make_explicit(q[0], q[1], q[2]);
      if (colour != current) {
        qqsclr(*ctx, colour);
        current = colour;
      }
      qqfpol(*ctx, px, py, 4);
    }
  }
  axis_clip_off(*ctx);
  ctx->fill = saved_fill;
  if (ctx->color.current != saved_colour) qqsclr(*ctx, saved_colour);
}

}  // namespace tavero
