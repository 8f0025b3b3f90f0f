// Image buffer of the raster devices and the screen windows.
//
// Layout (shared with the pixel routines and the raw image writer, so it is fixed):
// rows are stored top row first; an indexed image has 1 byte per pixel (palette index),
// a true-colour image 4 bytes per pixel in the memory order red, green, blue, alpha.
// Pixel x of row y lives at y * stride + x * bytes_per_pixel, stride = width * bpp.
//
// Nothing here throws: failures are reported as Status codes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tavero::raster {

// Return codes of the raster module. The negative file/memory codes match the
// export dispatcher's convention (-1 file error, -2 no memory).
enum Status : int {
    kOk = 0,
    kFileError = -1,
    kNoMemory = -2,
    kZlibError = -3,
    kBadArgument = -4,
    kTooManyIntersections = -5,
};

// Inclusive pixel rectangle.
struct Rect {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    bool empty() const { return x1 < x0 || y1 < y0; }
};

// A colour as the rasterisers need it: the palette index is used by indexed images,
// red/green/blue/alpha by true-colour images. Image::paint_index / paint_rgb fill in both.
struct Paint {
    uint8_t index = 0;
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Read-only view of pixels in the buffer layout (possibly a sub-window of a buffer).
// The encoders work on views so that exporting a window of the image needs no copy.
struct ImageView {
    const uint8_t* pixels = nullptr;   // first pixel of the top row
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0;         // bytes from one row to the next
    bool truecolour = false;           // 4 bytes RGBA per pixel, else 1 byte index
    const uint8_t* palette = nullptr;  // 256 entries of red, green, blue (768 bytes)

    int bytes_per_pixel() const { return truecolour ? 4 : 1; }
    const uint8_t* row(int y) const { return pixels + y * stride; }
    // Sub-window clamped to this view; an empty intersection gives a 0 x 0 view.
    ImageView sub(int x, int y, int w, int h) const;
};

// Nearest palette entry among entries 0 .. n-1: distance |dr| + |dg| + |db|, an exact match
// ends the search, ties go to the lower index.
int nearest_index(const uint8_t* palette, int n, uint8_t r, uint8_t g, uint8_t b);

class Image {
public:
    Image() = default;

    // Allocates width x height pixels and clears them (see clear()). Any earlier contents
    // are dropped. Returns kOk, kBadArgument (non-positive or absurd size) or kNoMemory.
    int create(int width, int height, bool truecolour, bool transparent);
    void release();

    bool empty() const { return width_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return stride_; }
    int bytes_per_pixel() const { return truecolour_ ? 4 : 1; }
    bool truecolour() const { return truecolour_; }
    bool transparent() const { return transparent_; }
    void set_transparent(bool on) { transparent_ = on; }

    // Every write access counts (writes(), for who needs to know the pixels are untouched).
    uint8_t* data() {
        ++writes_;
        return reinterpret_cast<uint8_t*>(store_.data());
    }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(store_.data()); }
    std::size_t size_bytes() const { return std::size_t(stride_) * std::size_t(height_); }
    uint8_t* row(int y) { return data() + std::ptrdiff_t(y) * stride_; }
    const uint8_t* row(int y) const { return data() + std::ptrdiff_t(y) * stride_; }

    // Palette: 256 entries red, green, blue. New images get an all-black palette.
    const uint8_t* palette() const { return palette_.data(); }
    void set_palette(const uint8_t* rgb, int count, int first = 0);
    void set_palette_entry(int index, uint8_t r, uint8_t g, uint8_t b);

    // Clip rectangle in pixels. It is always kept inside the image, so the rasterisers can
    // trust it. While clipping is switched off, the whole image is the clip rectangle.
    void set_clip(int x0, int y0, int x1, int y1);
    void reset_clip() { set_clip(0, 0, width_ - 1, height_ - 1); }
    void set_clip_enabled(bool on);
    bool clip_enabled() const { return clip_on_; }
    const Rect& clip() const { return clip_eff_; }

    // Colours. paint_rgb in an indexed image picks the nearest of the first `usable` palette
    // entries; paint_index gives the entry's red, green and blue too.
    Paint paint_index(int index) const;
    Paint paint_rgb(uint8_t r, uint8_t g, uint8_t b, int usable = 256) const;
    // The value stored in memory for a paint: the index, or the four bytes RGBA.
    uint32_t pixel_value(const Paint& p) const {
        if (!truecolour_) return p.index;
        const uint8_t bytes[4] = {p.r, p.g, p.b, p.a};
        uint32_t v;
        std::memcpy(&v, bytes, 4);
        return v;
    }

    // Initial contents: white with alpha 0 for a transparent true-colour image, else all
    // bytes 0 (index 0, or black with alpha 0).
    void clear();
    // Fills every pixel (ignoring the clip rectangle) with a colour.
    void fill_all(const Paint& p);

    // Single pixels: writes are tested against the clip rectangle (false if outside),
    // reads against the image bounds. get_pixel returns the index and its palette colour
    // for indexed images, the stored red, green, blue and alpha for true colour.
    bool set_pixel(int x, int y, const Paint& p);
    bool get_pixel(int x, int y, Paint& out) const;

    // Rows of n pixels starting at (x, y) in the buffer's own pixel format (1 or 4 bytes
    // per pixel). Writes are clipped to the clip rectangle, reads to the image.
    // Both return the number of pixels transferred.
    int write_row(int x, int y, const uint8_t* src, int n);
    int read_row(int x, int y, uint8_t* dst, int n) const;

    ImageView view() const;

    // Number of write accesses so far (data(), row(), pixel and row writes, clear, fills).
    uint64_t writes() const { return writes_; }

private:
    void update_clip();

    // Stored as 32-bit words so true-colour pixels can be written as whole words without
    // aliasing trouble; indexed images use the same storage byte-wise.
    std::vector<uint32_t> store_;
    int width_ = 0, height_ = 0, stride_ = 0;
    bool truecolour_ = false;
    bool transparent_ = false;
    bool clip_on_ = true;
    Rect clip_set_;   // as last given (already inside the image)
    Rect clip_eff_;   // what the rasterisers use
    std::array<uint8_t, 768> palette_{};
    uint64_t writes_ = 0;
};

}  // namespace tavero::raster
