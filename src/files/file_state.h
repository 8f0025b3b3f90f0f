// Fields of the context record owned by the data-file routines: the open FITS file, the
// table of binary file units, the placement of included image files and the PLY export.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace tavero {

struct Context;

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The open FITS file and its current header-and-data unit. Offsets are 64-bit so that files
// beyond 2 GB can be walked.
struct FitsRecord {
  FileHandle file;
  long long size = 0;          // bytes in the file when it was opened
  int hdu = 1;
  long long start = 0;         // offset of the current HDU's first card
  int type = 0;                // 0 primary, 1 IMAGE, 2 TABLE, 3 BINTABLE
  int bitpix = -1;
  int naxis = -1;
  std::vector<int> naxes;      // NAXIS1.. ; -1 while not found
  bool naxes_missing = false;  // NAXIS beyond what NAXISn cards can name
  long long headlen = 0;
};

inline constexpr int kFileUnits = 100;

struct BinaryUnit {
  FileHandle file;
  int mode = 0;  // 0 read, 1 write, 2 append
};

struct PlyExport;  // files/ply.h
struct PlyDeleter {
  void operator()(PlyExport* p) const;
};

// A decoded image kept between the two calls of ldimg (size, then data).
struct DecodedImage;  // files/image_decode.h
struct DecodedDeleter {
  void operator()(DecodedImage* p) const;
};

struct FileState {
  std::unique_ptr<FitsRecord> fits;
  BinaryUnit units[kFileUnits];
  std::unique_ptr<PlyExport, PlyDeleter> ply;
  std::unique_ptr<DecodedImage, DecodedDeleter> ldimg_cache;
  // --- included image files: filbox (plot units, upper left corner and size; size 0 = the
  // whole page), filwin (pixels of the file; size 0 = the whole image), filclr
  int box[4] = {0, 0, 0, 0};
  int win[4] = {0, 0, 0, 0};
  uint8_t colour_mode = 0;  // COLO GREY BW
};

}  // namespace tavero
