// zlib-format compression shared by the PNG and PDF writers.
//
// Streams are standard zlib (RFC 1950) containers around deflate data. When libdeflate is
// available it does the work (it is several times faster than zlib at the same level and
// ratio); zlib is the fallback and the reference. Build with TAVERO_NO_LIBDEFLATE defined
// to force zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavero::raster {

enum class DeflateBackend { Auto, Zlib, Libdeflate };

// Compresses n bytes into `out` (replacing its contents) as one zlib stream.
// level: 0..9 as in zlib, or -1 for the default level (6). Returns false on failure
// (no memory, compressor error, or the libdeflate backend asked for but not built in).
bool zlib_compress(const uint8_t* data, std::size_t n, std::vector<uint8_t>& out,
                   int level = -1);
bool zlib_compress_with(DeflateBackend backend, const uint8_t* data, std::size_t n,
                        std::vector<uint8_t>& out, int level = -1);

// True when the libdeflate backend was compiled in.
bool have_libdeflate();

// CRC-32 (as used by PNG chunks and gzip), continuing from `crc` (start with 0).
uint32_t crc32_update(uint32_t crc, const uint8_t* data, std::size_t n);

}  // namespace tavero::raster
