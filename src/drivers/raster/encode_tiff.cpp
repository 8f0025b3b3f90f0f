#include <algorithm>
#include <new>

#include "drivers/raster/bytes.h"
#include "drivers/raster/encode.h"

namespace tavero::raster {

namespace {

enum : uint16_t { kShort = 3, kLong = 4, kRational = 5 };

struct Entry {
    uint16_t tag, type;
    uint32_t count, value;
};

// The colour of pixel x of row y of a view, through the palette for indexed views.
inline const uint8_t* rgb_at(const ImageView& v, const uint8_t* row, int x) {
    return v.truecolour ? row + 4 * x : v.palette + 3 * row[x];
}

}  // namespace

// Baseline TIFF, little-endian, uncompressed, one strip per row. Fixed layout:
//   header (8) | directory at 8: count, entries, next = 0 | strip offsets | strip byte
//   counts | X resolution | Y resolution | colour map (palette) or 8,8,8 (RGB) | rows.
int encode_tiff(const ImageView& v, const TiffOptions& opt, std::vector<uint8_t>& out) {
    out.clear();
    if (!v.pixels || v.width <= 0 || v.height <= 0) return kBadArgument;
    if (!v.truecolour && !v.palette) return kBadArgument;
    const int w = v.width, h = v.height;
    const TiffMode mode = opt.mode;
    const uint32_t row_len = mode == TiffMode::Palette ? uint32_t(w)
                             : mode == TiffMode::Rgb   ? uint32_t(w) * 3
                                                       : (uint32_t(w) + 7) / 8;
    const uint32_t n = mode == TiffMode::Palette ? 14 : 13;
    const uint64_t data_start = 14 + 12 * uint64_t(n);
    const uint64_t offsets_at = data_start;
    const uint64_t counts_at = offsets_at + 4 * uint64_t(h);
    const uint64_t xres_at = counts_at + 4 * uint64_t(h);
    const uint64_t yres_at = xres_at + 8;
    const uint64_t extra_at = yres_at + 8;  // colour map or bits per sample
    const uint64_t extra_len = mode == TiffMode::Palette ? 2 * 768 : mode == TiffMode::Rgb ? 6 : 0;
    const uint64_t image_at = extra_at + extra_len;
    const uint64_t total = image_at + uint64_t(row_len) * h;
    if (total > 0xFFFFFFFFull) return kBadArgument;  // 32-bit offsets

    try {
        // Palette mode needs indices: reduce a true-colour view first.
        PaletteImage pal;
        ImageView src = v;
        if (mode == TiffMode::Palette && v.truecolour) {
            if (const int rc = pal.reduce(v); rc != kOk) return rc;
            src = pal.view();
        }
        out.reserve(std::size_t(total));
        bytes::str(out, "II");
        bytes::le16(out, 42);
        bytes::le32(out, 8);

        const bool one_row = h == 1;
        // TIFF keeps values of at most 4 bytes inside the entry itself, so a single-row
        // image must carry its strip offset and byte count there instead of the address
        // of the (one-element) arrays, or readers would take the address for the value.
        const Entry entries[14] = {
            {254, kLong, 1, 0},
            {256, kLong, 1, uint32_t(w)},
            {257, kLong, 1, uint32_t(h)},
            {258, kShort, mode == TiffMode::Rgb ? 3u : 1u,
             mode == TiffMode::Rgb ? uint32_t(extra_at) : mode == TiffMode::Palette ? 8u : 1u},
            {259, kShort, 1, 1},
            {262, kShort, 1, mode == TiffMode::Palette ? 3u : mode == TiffMode::Rgb ? 2u : 1u},
            {273, kLong, uint32_t(h), one_row ? uint32_t(image_at) : uint32_t(offsets_at)},
            {277, kShort, 1, mode == TiffMode::Rgb ? 3u : 1u},
            {278, kShort, 1, 1},
            {279, kLong, uint32_t(h), one_row ? row_len : uint32_t(counts_at)},
            {282, kRational, 1, uint32_t(xres_at)},
            {283, kRational, 1, uint32_t(yres_at)},
            {296, kShort, 1, opt.unit},
            {320, kShort, 768, uint32_t(extra_at)},
        };
        bytes::le16(out, n);
        for (uint32_t i = 0; i < n; ++i) {
            bytes::le16(out, entries[i].tag);
            bytes::le16(out, entries[i].type);
            bytes::le32(out, entries[i].count);
            bytes::le32(out, entries[i].value);  // SHORTs sit in the low two bytes
        }
        bytes::le32(out, 0);

        for (int y = 0; y < h; ++y) bytes::le32(out, uint32_t(image_at + uint64_t(row_len) * y));
        for (int y = 0; y < h; ++y) bytes::le32(out, row_len);
        bytes::le32(out, opt.resolution);
        bytes::le32(out, 1);
        bytes::le32(out, opt.resolution);
        bytes::le32(out, 1);
        if (mode == TiffMode::Palette) {
            // 16-bit colour map: c / 255 * 65535 is exactly c * 257.
            for (int ch = 0; ch < 3; ++ch)
                for (int i = 0; i < 256; ++i) bytes::le16(out, src.palette[3 * i + ch] * 257u);
        } else if (mode == TiffMode::Rgb) {
            bytes::le16(out, 8);
            bytes::le16(out, 8);
            bytes::le16(out, 8);
        }

        const std::size_t at = out.size();
        out.resize(std::size_t(total), 0);
        uint8_t* o = out.data() + at;
        for (int y = 0; y < h; ++y, o += row_len) {
            const uint8_t* r = src.row(y);
            if (mode == TiffMode::Palette) {
                std::copy(r, r + w, o);
            } else if (mode == TiffMode::Rgb) {
                for (int x = 0; x < w; ++x) {
                    const uint8_t* c = rgb_at(src, r, x);
                    o[3 * x] = c[0];
                    o[3 * x + 1] = c[1];
                    o[3 * x + 2] = c[2];
                }
            } else {
                for (int x = 0; x < w; ++x) {
                    const uint8_t* c = rgb_at(src, r, x);
                    const bool white = opt.reverse ? (c[0] == 255 && c[1] == 255 && c[2] == 255)
                                                   : (c[0] | c[1] | c[2]) != 0;
                    if (white) o[x >> 3] |= uint8_t(0x80 >> (x & 7));
                }
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
    return kOk;
}

}  // namespace tavero::raster
