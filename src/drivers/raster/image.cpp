#include "drivers/raster/image.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tavero::raster {

ImageView ImageView::sub(int x, int y, int w, int h) const {
    ImageView v = *this;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    // 64-bit ends so that x + w cannot overflow for silly arguments.
    const long long x1 = std::min<long long>((long long)x + w, width);
    const long long y1 = std::min<long long>((long long)y + h, height);
    if (w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0) {
        v.width = v.height = 0;
        return v;
    }
    v.pixels = pixels + y0 * stride + std::ptrdiff_t(x0) * bytes_per_pixel();
    v.width = int(x1 - x0);
    v.height = int(y1 - y0);
    return v;
}

int nearest_index(const uint8_t* palette, int n, uint8_t r, uint8_t g, uint8_t b) {
    int best = 0, best_d = 1 << 30;
    n = std::clamp(n, 1, 256);
    for (int i = 0; i < n; ++i) {
        const uint8_t* e = palette + 3 * i;
        const int d = std::abs(e[0] - r) + std::abs(e[1] - g) + std::abs(e[2] - b);
        if (d < best_d) {
            best_d = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

int Image::create(int width, int height, bool truecolour, bool transparent) {
    // The limit keeps stride * height well inside size_t and the rasterisers' int math
    // (coordinates are ints, products are done in 64 bits).
    constexpr long long kMaxPixels = 1LL << 28;
    if (width <= 0 || height <= 0 || (long long)width * height > kMaxPixels) return kBadArgument;
    const int bpp = truecolour ? 4 : 1;
    const std::size_t bytes = std::size_t(width) * bpp * std::size_t(height);
    try {
        std::vector<uint32_t> s((bytes + 3) / 4);
        store_.swap(s);
        ++writes_;
    } catch (const std::bad_alloc&) {
        release();
        return kNoMemory;
    }
    width_ = width;
    height_ = height;
    stride_ = width * bpp;
    truecolour_ = truecolour;
    transparent_ = transparent;
    clip_on_ = true;
    reset_clip();
    clear();
    return kOk;
}

void Image::release() {
    ++writes_;
    std::vector<uint32_t>().swap(store_);
    width_ = height_ = stride_ = 0;
    clip_set_ = clip_eff_ = Rect{};
}

void Image::set_palette(const uint8_t* rgb, int count, int first) {
    if (!rgb || first < 0 || first >= 256 || count <= 0) return;
    count = std::min(count, 256 - first);
    std::memcpy(palette_.data() + 3 * first, rgb, std::size_t(3) * count);
}

void Image::set_palette_entry(int index, uint8_t r, uint8_t g, uint8_t b) {
    if (index < 0 || index > 255) return;
    palette_[3 * index] = r;
    palette_[3 * index + 1] = g;
    palette_[3 * index + 2] = b;
}

void Image::set_clip(int x0, int y0, int x1, int y1) {
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    // Intersect with the image; a window wholly outside becomes empty (draws nothing)
    // rather than a strip along the border.
    clip_set_ = Rect{std::max(x0, 0), std::max(y0, 0), std::min(x1, width_ - 1),
                     std::min(y1, height_ - 1)};
    update_clip();
}

void Image::set_clip_enabled(bool on) {
    clip_on_ = on;
    update_clip();
}

void Image::update_clip() {
    clip_eff_ = clip_on_ ? clip_set_ : Rect{0, 0, width_ - 1, height_ - 1};
}

Paint Image::paint_index(int index) const {
    Paint p;
    p.index = uint8_t(index & 0xFF);  // colour values used as an index keep their low byte
    p.r = palette_[3 * p.index];
    p.g = palette_[3 * p.index + 1];
    p.b = palette_[3 * p.index + 2];
    p.a = 255;
    return p;
}

Paint Image::paint_rgb(uint8_t r, uint8_t g, uint8_t b, int usable) const {
    Paint p;
    p.r = r;
    p.g = g;
    p.b = b;
    p.a = 255;
    if (!truecolour_) p.index = uint8_t(nearest_index(palette_.data(), usable, r, g, b));
    return p;
}

void Image::clear() {
    if (empty()) return;
    if (truecolour_ && transparent_) {
        Paint p;
        p.r = p.g = p.b = 255;
        p.a = 0;
        fill_all(p);
    } else {
        ++writes_;
        std::fill(store_.begin(), store_.end(), 0u);
    }
}

void Image::fill_all(const Paint& p) {
    if (empty()) return;
    if (truecolour_) {
        // stride is width * 4 and rows are contiguous, so the store is exactly the pixels.
        ++writes_;
        std::fill(store_.begin(), store_.end(), pixel_value(p));
    } else {
        std::memset(data(), p.index, size_bytes());
    }
}

bool Image::set_pixel(int x, int y, const Paint& p) {
    const Rect& c = clip_eff_;
    if (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1) return false;
    if (truecolour_) {
        uint8_t* q = row(y) + 4 * std::ptrdiff_t(x);
        q[0] = p.r;
        q[1] = p.g;
        q[2] = p.b;
        q[3] = p.a;
    } else {
        row(y)[x] = p.index;
    }
    return true;
}

bool Image::get_pixel(int x, int y, Paint& out) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    if (truecolour_) {
        const uint8_t* q = row(y) + 4 * std::ptrdiff_t(x);
        out.index = 0;
        out.r = q[0];
        out.g = q[1];
        out.b = q[2];
        out.a = q[3];
    } else {
        out = paint_index(row(y)[x]);
    }
    return true;
}

int Image::write_row(int x, int y, const uint8_t* src, int n) {
    const Rect& c = clip_eff_;
    if (!src || n <= 0 || y < c.y0 || y > c.y1) return 0;
    const long long a = std::max<long long>(x, c.x0);
    const long long b = std::min<long long>((long long)x + n - 1, c.x1);
    if (b < a) return 0;
    const int bpp = bytes_per_pixel();
    std::memcpy(row(y) + a * bpp, src + (a - x) * bpp, std::size_t(b - a + 1) * bpp);
    return int(b - a + 1);
}

int Image::read_row(int x, int y, uint8_t* dst, int n) const {
    if (!dst || n <= 0 || y < 0 || y >= height_) return 0;
    const long long a = std::max<long long>(x, 0);
    const long long b = std::min<long long>((long long)x + n - 1, width_ - 1);
    if (b < a) return 0;
    const int bpp = bytes_per_pixel();
    std::memcpy(dst + (a - x) * bpp, row(y) + a * bpp, std::size_t(b - a + 1) * bpp);
    return int(b - a + 1);
}

ImageView Image::view() const {
    ImageView v;
    v.pixels = data();
    v.width = width_;
    v.height = height_;
    v.stride = stride_;
    v.truecolour = truecolour_;
    v.palette = palette_.data();
    return v;
}

}  // namespace tavero::raster
