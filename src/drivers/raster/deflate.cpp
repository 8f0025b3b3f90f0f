#include "drivers/raster/deflate.h"

#include <zlib.h>

#include <climits>
#include <new>

// The build defines TAVERO_HAVE_LIBDEFLATE (0 or 1) after finding header and library;
// compiled by hand without it, the header decides.
#if defined(TAVERO_NO_LIBDEFLATE)
#define TAVERO_USE_LIBDEFLATE 0
#elif defined(TAVERO_HAVE_LIBDEFLATE)
#define TAVERO_USE_LIBDEFLATE TAVERO_HAVE_LIBDEFLATE
#elif __has_include(<libdeflate.h>)
#define TAVERO_USE_LIBDEFLATE 1
#else
#define TAVERO_USE_LIBDEFLATE 0
#endif
#if TAVERO_USE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace tavero::raster {

namespace {

int effective_level(int level) { return (level < 0 || level > 9) ? 6 : level; }

bool compress_zlib(const uint8_t* data, std::size_t n, std::vector<uint8_t>& out, int level) {
    if (n > ULONG_MAX / 2) return false;
    try {
        uLongf len = compressBound(uLong(n));
        out.resize(len);
        if (compress2(out.data(), &len, data, uLong(n), effective_level(level)) != Z_OK) {
            out.clear();
            return false;
        }
        out.resize(len);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
    return true;
}

#if TAVERO_USE_LIBDEFLATE
// One compressor per thread and level, kept while the thread lives: a compressor carries
// large match-finder tables, and small images and pages would otherwise pay for setting
// them up on every stream. Compressors keep no state between calls, so the output is the
// same.
struct CompressorCache {
    libdeflate_compressor* c[10] = {};
    ~CompressorCache() {
        for (libdeflate_compressor* p : c)
            if (p) libdeflate_free_compressor(p);
    }
};

libdeflate_compressor* compressor(int level) {
    static thread_local CompressorCache cache;
    libdeflate_compressor*& c = cache.c[level];
    if (!c) c = libdeflate_alloc_compressor(level);
    return c;
}

bool compress_libdeflate(const uint8_t* data, std::size_t n, std::vector<uint8_t>& out,
                         int level) {
    libdeflate_compressor* c = compressor(effective_level(level));
    if (!c) return false;
    bool ok = false;
    try {
        out.resize(libdeflate_zlib_compress_bound(c, n));
        const std::size_t len = libdeflate_zlib_compress(c, data, n, out.data(), out.size());
        if (len != 0) {
            out.resize(len);
            ok = true;
        }
    } catch (const std::bad_alloc&) {
    }
    if (!ok) out.clear();
    return ok;
}
#endif

}  // namespace

bool have_libdeflate() { return TAVERO_USE_LIBDEFLATE != 0; }

bool zlib_compress_with(DeflateBackend backend, const uint8_t* data, std::size_t n,
                        std::vector<uint8_t>& out, int level) {
    if (!data && n) return false;
    static const uint8_t empty = 0;
    if (!data) data = &empty;
    switch (backend) {
        case DeflateBackend::Zlib:
            return compress_zlib(data, n, out, level);
        case DeflateBackend::Libdeflate:
#if TAVERO_USE_LIBDEFLATE
            return compress_libdeflate(data, n, out, level);
#else
            return false;
#endif
        case DeflateBackend::Auto:
        default:
#if TAVERO_USE_LIBDEFLATE
            if (compress_libdeflate(data, n, out, level)) return true;
#endif
            return compress_zlib(data, n, out, level);
    }
}

bool zlib_compress(const uint8_t* data, std::size_t n, std::vector<uint8_t>& out, int level) {
    return zlib_compress_with(DeflateBackend::Auto, data, n, out, level);
}

uint32_t crc32_update(uint32_t crc, const uint8_t* data, std::size_t n) {
    // zlib's crc32 takes uInt lengths; feed huge buffers in pieces.
    uLong c = crc;
    while (n > 0) {
        const uInt part = n > (1u << 30) ? (1u << 30) : uInt(n);
        c = ::crc32(c, data, part);
        data += part;
        n -= part;
    }
    return uint32_t(c);
}

}  // namespace tavero::raster
