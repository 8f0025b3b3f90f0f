// Readers of the image files that can be included in a plot: PNG, GIF, BMP, the PNM family
// (PBM, PGM, PPM) and TIFF. Each reader takes the whole file in memory and checks every size
// and offset against it: a truncated or hostile file gives a status, never a crash, a hang or
// an allocation out of proportion to the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/file_state.h"

namespace tavero {

// File types as filtyp returns them (the numbers of the image export formats).
enum ImageFileType : int { kTypeUnknown = 0, kTypeTiff = 1, kTypePng = 4, kTypePnm = 5,
                           kTypeBmp = 6, kTypeGif = 7 };

// Results of the readers.
enum DecodeStatus : int {
  kDecodeOk = 0,
  kDecodeOpen = -1,         // the file cannot be opened
  kDecodeRead = -2,         // reading failed
  kDecodeSyntax = -3,       // not a well-formed file of its type
  kDecodeUnsupported = -4,  // a TIFF feature this reader does not handle
  kDecodeMemory = -5,
  kDecodeFormat = -6,       // not an image file of a known type
};

// Decoded pixels. `rgba` holds 4 bytes per pixel (red, green, blue, alpha), rows from the
// top. `values` holds one number per pixel as the file stores it: the palette index of
// palette images, the grey sample (up to 16 bits) of grey images, the luminance 0..255 of
// colour images.
struct DecodedImage {
  enum Kind { kPalette, kGrey, kColour };
  int width = 0, height = 0;
  Kind kind = kColour;
  int bits = 8;               // bits of one value
  bool alpha = false;         // some pixel is not opaque
  std::vector<uint8_t> rgba;
  std::vector<uint16_t> values;
  // identity of the file it came from (for ldimg's second call)
  std::string path;
  long long mtime = 0, size = 0, inode = 0;
};

// Pixel count above which an image is refused (about 134 million pixels, 512 MB of RGBA).
inline constexpr long long kMaxImagePixels = 1LL << 27;

int image_file_type(const uint8_t* head, size_t n);
// Reads a whole file; kDecodeOpen, kDecodeRead or kDecodeMemory on failure. Only regular
// files are read.
int read_whole_file(const char* path, std::vector<uint8_t>& out);
// Decodes a file image. With header_only, only width and height are filled in.
int decode_image(const uint8_t* data, size_t n, DecodedImage& img, bool header_only = false);

// --- the readers (internal; decode_image dispatches)
int decode_png(const uint8_t* p, size_t n, DecodedImage& img, bool header_only);
int decode_gif(const uint8_t* p, size_t n, DecodedImage& img, bool header_only);
int decode_bmp(const uint8_t* p, size_t n, DecodedImage& img, bool header_only);
int decode_pnm(const uint8_t* p, size_t n, DecodedImage& img, bool header_only);
int decode_tiff(const uint8_t* p, size_t n, DecodedImage& img, bool header_only);

// Shared by the readers: allocates rgba and values for width x height pixels after checking
// the size (kDecodeSyntax for empty or oversized images, kDecodeMemory).
int allocate_pixels(DecodedImage& img, int width, int height);
// Fills rgba from values for palette images (palette of `count` RGB entries, optional alpha
// per entry) and grey images (scaled from `bits`).
void expand_palette(DecodedImage& img, const uint8_t* palette, int count, const uint8_t* alpha);
void expand_grey(DecodedImage& img);
// Luminance values of colour images.
void luminance_values(DecodedImage& img);

// zlib stream -> exactly `expect` bytes (fewer when the stream is short: `out` is shrunk).
// False on a broken stream or no memory.
bool inflate_zlib(const uint8_t* src, size_t n, size_t expect, std::vector<uint8_t>& out,
                  bool raw_deflate = false);

}  // namespace tavero
