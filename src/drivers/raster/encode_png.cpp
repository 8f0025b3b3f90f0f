#include <algorithm>
#include <new>

#include "drivers/raster/bytes.h"
#include "drivers/raster/deflate.h"
#include "drivers/raster/encode.h"

namespace tavero::raster {

namespace {

void chunk(std::vector<uint8_t>& o, const char type[4], const uint8_t* data, uint32_t n) {
    bytes::be32(o, n);
    const std::size_t start = o.size();
    o.insert(o.end(), type, type + 4);
    if (n) o.insert(o.end(), data, data + n);
    bytes::be32(o, crc32_update(0, o.data() + start, 4 + std::size_t(n)));
}

int png_indexed(const ImageView& v, const PngOptions& opt, std::vector<uint8_t>& out) {
    const std::size_t row_len = std::size_t(v.width) + 1;
    std::vector<uint8_t> raw(row_len * v.height);
    int max_index = 0;
    for (int y = 0; y < v.height; ++y) {
        uint8_t* r = raw.data() + y * row_len;
        r[0] = 0;  // filter type None
        const uint8_t* src = v.row(y);
        std::copy(src, src + v.width, r + 1);
        max_index = std::max<int>(max_index, *std::max_element(src, src + v.width));
    }
    const int bg = std::clamp(opt.background_index, 0, 255);
    // PLTE holds the entries in use; tRNS may not be longer than PLTE.
    const int entries = std::max(max_index, opt.transparent ? bg : 0) + 1;

    std::vector<uint8_t> z;
    if (!zlib_compress(raw.data(), raw.size(), z, opt.level)) return kZlibError;
    std::vector<uint8_t>().swap(raw);

    static const uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    out.assign(sig, sig + 8);
    out.reserve(z.size() + 3 * entries + 256 + 64);
    std::vector<uint8_t> h;
    bytes::be32(h, uint32_t(v.width));
    bytes::be32(h, uint32_t(v.height));
    h.insert(h.end(), {8, 3, 0, 0, 0});
    chunk(out, "IHDR", h.data(), 13);
    chunk(out, "PLTE", v.palette, uint32_t(3 * entries));
    if (opt.transparent) {
        std::vector<uint8_t> t(std::size_t(bg) + 1, 255);
        t[bg] = 0;
        chunk(out, "tRNS", t.data(), uint32_t(t.size()));
    }
    chunk(out, "IDAT", z.data(), uint32_t(z.size()));
    chunk(out, "IEND", nullptr, 0);
    return kOk;
}

int png_rgb(const ImageView& v, const PngOptions& opt, std::vector<uint8_t>& out) {
    const std::size_t row_len = std::size_t(v.width) * 3 + 1;
    std::vector<uint8_t> raw(row_len * v.height);
    for (int y = 0; y < v.height; ++y) {
        uint8_t* r = raw.data() + y * row_len;
        *r++ = 0;
        const uint8_t* s = v.row(y);
        for (int x = 0; x < v.width; ++x, s += 4, r += 3) {
            r[0] = s[0];
            r[1] = s[1];
            r[2] = s[2];
        }
    }
    std::vector<uint8_t> z;
    if (!zlib_compress(raw.data(), raw.size(), z, opt.level)) return kZlibError;
    std::vector<uint8_t>().swap(raw);

    static const uint8_t sig[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    out.assign(sig, sig + 8);
    out.reserve(z.size() + 128);
    std::vector<uint8_t> h;
    bytes::be32(h, uint32_t(v.width));
    bytes::be32(h, uint32_t(v.height));
    h.insert(h.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", h.data(), 13);
    if (opt.transparent) {
        const uint8_t t[6] = {0, opt.background.r, 0, opt.background.g, 0, opt.background.b};
        chunk(out, "tRNS", t, 6);
    }
    chunk(out, "IDAT", z.data(), uint32_t(z.size()));
    chunk(out, "IEND", nullptr, 0);
    return kOk;
}

}  // namespace

int encode_png(const ImageView& v, const PngOptions& opt, std::vector<uint8_t>& out) {
    out.clear();
    if (!v.pixels || v.width <= 0 || v.height <= 0) return kBadArgument;
    // Each chunk length must fit in 31 bits; the raw rows are the largest part.
    if ((std::size_t(v.width) * 3 + 1) * std::size_t(v.height) > 0x7FFF0000u) return kBadArgument;
    try {
        if (!v.truecolour) {
            if (!v.palette) return kBadArgument;
            return png_indexed(v, opt, out);
        }
        if (!opt.palette) return png_rgb(v, opt, out);
        PaletteImage pal;
        if (const int rc = pal.reduce(v); rc != kOk) return rc;
        PngOptions o = opt;
        o.background_index = pal.index_of(opt.background.r, opt.background.g, opt.background.b);
        return png_indexed(pal.view(), o, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
}

}  // namespace tavero::raster
