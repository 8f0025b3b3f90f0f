// Image file encoders. Each writes a complete file image into a byte vector (its previous
// contents are replaced); writing it to a file or handing it to Python is the caller's
// business. All return a Status: kOk, kNoMemory, kZlibError (PNG compression failed) or
// kBadArgument (empty view, or a size the format cannot hold).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "drivers/raster/image.h"

namespace tavero::raster {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

struct PngOptions {
    // Transparency is written as a tRNS chunk: indexed images make background_index fully
    // transparent, true-colour images the colour `background`.
    bool transparent = false;
    int background_index = 0;
    Rgb background{255, 255, 255};
    // Write a true-colour view as a palette image (colour type 3), reducing it first.
    bool palette = false;
    int level = -1;  // deflate level, -1 default
};

struct GifOptions {
    // GIF89a with a graphic control extension marking the background index transparent;
    // otherwise GIF87a. The background index is also the screen background.
    bool transparent = false;
    int background_index = 0;
    Rgb background{255, 255, 255};  // for true-colour views: the colour whose index is used
};

enum class TiffMode : int { Palette = 0, Rgb = 1, Bilevel = 2 };

struct TiffOptions {
    TiffMode mode = TiffMode::Palette;
    uint32_t resolution = 100;  // pixels per unit, both axes
    uint16_t unit = 2;          // ResolutionUnit: 1 none, 2 inch, 3 centimetre
    // Bilevel only: with a white background (reverse screen mode) only white pixels
    // become white; otherwise every pixel that is not black does.
    bool reverse = false;
};

struct BmpOptions {
    int32_t pixels_per_metre = 2500;
    bool palette = false;  // write a true-colour view as an 8-bit image, reducing it first
};

int encode_png(const ImageView& v, const PngOptions& o, std::vector<uint8_t>& out);
int encode_gif(const ImageView& v, const GifOptions& o, std::vector<uint8_t>& out);
int encode_tiff(const ImageView& v, const TiffOptions& o, std::vector<uint8_t>& out);
int encode_bmp(const ImageView& v, const BmpOptions& o, std::vector<uint8_t>& out);
// Binary PPM (P6), rows from the top.
int encode_ppm(const ImageView& v, std::vector<uint8_t>& out);
// The raw image format: the pixel rows exactly as stored in the buffer (1 byte per pixel
// indexed, 4 bytes red, green, blue, alpha true colour), top row first, no header.
int encode_raw(const ImageView& v, std::vector<uint8_t>& out);

// Format numbers of the export dispatcher.
enum class ImageFormat : int { Tiff = 1, Raw = 2, Png = 4, Ppm = 5, Bmp = 6, Gif = 7 };

struct EncodeOptions {
    PngOptions png;
    GifOptions gif;
    TiffOptions tiff;
    BmpOptions bmp;
};

// Dispatches on the format number; unknown numbers give kBadArgument.
int encode_image(int format, const ImageView& v, const EncodeOptions& o,
                 std::vector<uint8_t>& out);

// Palette reduction of true-colour pixels for the formats that need a palette.
// Images with at most 256 distinct colours keep them exactly; others are reduced by
// median cut over a 15-bit colour histogram.
class PaletteImage {
public:
    // Returns kOk, kNoMemory or kBadArgument (not a true-colour view).
    int reduce(const ImageView& tc);

    int width() const { return width_; }
    int height() const { return height_; }
    int colours() const { return colours_; }
    const uint8_t* palette() const { return palette_.data(); }  // 256 x RGB, unused zero
    const uint8_t* pixels() const { return pixels_.data(); }    // width x height indices
    // Index that a pixel of this colour was (or would have been) given.
    int index_of(uint8_t r, uint8_t g, uint8_t b) const;
    // View over the reduced pixels, for the indexed encoders.
    ImageView view() const;

private:
    int lookup_exact(uint32_t key) const;

    int width_ = 0, height_ = 0, colours_ = 0;
    bool exact_ = true;
    std::vector<uint8_t> pixels_;
    std::array<uint8_t, 768> palette_{};
    // Exact mode: open-addressing table of (colour + 1, index); reduced mode: index per
    // 15-bit colour.
    std::vector<uint32_t> keys_;
    std::vector<uint8_t> vals_;
    std::vector<uint8_t> lut_;
};

}  // namespace tavero::raster
