// BMP, PPM and raw image writers, and the format dispatcher.
#include <algorithm>
#include <cstdio>
#include <new>

#include "drivers/raster/bytes.h"
#include "drivers/raster/encode.h"

namespace tavero::raster {

namespace {

bool valid(const ImageView& v) {
    return v.pixels && v.width > 0 && v.height > 0 && (v.truecolour || v.palette);
}

int bmp_write(const ImageView& v, const BmpOptions& opt, std::vector<uint8_t>& out) {
    const bool tc = v.truecolour;
    const uint32_t entries = tc ? 0 : 256;
    const uint64_t row_len = ((tc ? 3ull * v.width : uint64_t(v.width)) + 3) & ~3ull;
    const uint64_t image = row_len * v.height;
    const uint64_t offset = 54 + 4ull * entries;
    if (offset + image > 0x7FFFFFFFull) return kBadArgument;
    out.reserve(std::size_t(offset + image));
    bytes::str(out, "BM");
    bytes::le32(out, uint32_t(offset + image));
    bytes::le16(out, 0);
    bytes::le16(out, 0);
    bytes::le32(out, uint32_t(offset));
    bytes::le32(out, 40);
    bytes::le32(out, uint32_t(v.width));
    bytes::le32(out, uint32_t(v.height));  // positive: rows stored bottom up
    bytes::le16(out, 1);
    bytes::le16(out, tc ? 24 : 8);
    bytes::le32(out, 0);
    bytes::le32(out, uint32_t(image));
    bytes::le32(out, uint32_t(opt.pixels_per_metre));
    bytes::le32(out, uint32_t(opt.pixels_per_metre));
    bytes::le32(out, entries);
    bytes::le32(out, entries);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* c = v.palette + 3 * i;
        out.insert(out.end(), {c[2], c[1], c[0], 0});
    }
    const std::size_t at = out.size();
    out.resize(at + std::size_t(image), 0);  // zero padding comes for free
    uint8_t* o = out.data() + at;
    for (int y = v.height - 1; y >= 0; --y, o += row_len) {
        const uint8_t* r = v.row(y);
        if (tc) {
            for (int x = 0; x < v.width; ++x, r += 4) {
                o[3 * x] = r[2];
                o[3 * x + 1] = r[1];
                o[3 * x + 2] = r[0];
            }
        } else {
            std::copy(r, r + v.width, o);
        }
    }
    return kOk;
}

}  // namespace

int encode_bmp(const ImageView& v, const BmpOptions& opt, std::vector<uint8_t>& out) {
    out.clear();
    if (!valid(v)) return kBadArgument;
    try {
        if (v.truecolour && opt.palette) {
            PaletteImage pal;
            if (const int rc = pal.reduce(v); rc != kOk) return rc;
            return bmp_write(pal.view(), opt, out);
        }
        return bmp_write(v, opt, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
}

int encode_ppm(const ImageView& v, std::vector<uint8_t>& out) {
    out.clear();
    if (!valid(v)) return kBadArgument;
    try {
        char head[64];
        const int len = std::snprintf(head, sizeof head, "P6\n%d %d\n255\n", v.width, v.height);
        const std::size_t body = std::size_t(v.width) * v.height * 3;
        out.resize(std::size_t(len) + body);
        std::copy(head, head + len, out.begin());
        uint8_t* o = out.data() + len;
        for (int y = 0; y < v.height; ++y) {
            const uint8_t* r = v.row(y);
            if (v.truecolour) {
                for (int x = 0; x < v.width; ++x, r += 4, o += 3) {
                    o[0] = r[0];
                    o[1] = r[1];
                    o[2] = r[2];
                }
            } else {
                for (int x = 0; x < v.width; ++x, o += 3) {
                    const uint8_t* c = v.palette + 3 * r[x];
                    o[0] = c[0];
                    o[1] = c[1];
                    o[2] = c[2];
                }
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
    return kOk;
}

int encode_raw(const ImageView& v, std::vector<uint8_t>& out) {
    out.clear();
    if (!v.pixels || v.width <= 0 || v.height <= 0) return kBadArgument;
    try {
        const std::size_t row = std::size_t(v.width) * v.bytes_per_pixel();
        out.resize(row * v.height);
        for (int y = 0; y < v.height; ++y)
            std::copy(v.row(y), v.row(y) + row, out.data() + row * y);
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
    return kOk;
}

int encode_image(int format, const ImageView& v, const EncodeOptions& o,
                 std::vector<uint8_t>& out) {
    switch (ImageFormat(format)) {
        case ImageFormat::Tiff: return encode_tiff(v, o.tiff, out);
        case ImageFormat::Raw: return encode_raw(v, out);
        case ImageFormat::Png: return encode_png(v, o.png, out);
        case ImageFormat::Ppm: return encode_ppm(v, out);
        case ImageFormat::Bmp: return encode_bmp(v, o.bmp, out);
        case ImageFormat::Gif: return encode_gif(v, o.gif, out);
    }
    out.clear();
    return kBadArgument;
}

}  // namespace tavero::raster
