// Binary files by unit number (0 .. 99), for programs that keep their data in raw files next
// to their plots, and the bit-field helpers bitsi2 / bitsi4.
//
// Status results: 0 success, -1 failure (with a warning). Positions are byte offsets from
// the start of the file (0 is the first byte).
#include <sys/stat.h>

#include <climits>
#include <cstdio>

#include "core/entry.h"
#include "core/messages.h"
#include "files/file_state.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kMsgReadError = 119;

// The open unit nlu, or null after warning 2 (no such unit, or not open).
BinaryUnit* open_unit(Context& ctx, int nlu) {
  if (nlu < 0 || nlu >= kFileUnits || !ctx.files.units[nlu].file) {
    warn_number(ctx, kMsgIncorrectParameter, nlu);
    return nullptr;
  }
  return &ctx.files.units[nlu];
}

// A pipe, socket or directory would block or fail in surprising ways: only regular files,
// character devices (/dev/null) and names that do not exist yet are opened.
bool openable(const char* name) {
  struct stat st;
  if (::stat(name, &st) != 0) return true;
  return S_ISREG(st.st_mode) || S_ISCHR(st.st_mode);
}

}  // namespace

// irw: 0 read, 1 write (the file is created or emptied), 2 append. A unit that is still
// open is closed first, as a second open of a unit replaces the first.
int openfl(const char* cfil, int nlu, int irw) {
  Context* ctx = enter(R::openfl);
  if (!ctx) return -1;
  if (check_range(*ctx, nlu, 0, kFileUnits - 1) || check_range(*ctx, irw, 0, 2)) return -1;
  BinaryUnit& u = ctx->files.units[nlu];
  u.file.reset();
  static const char* const kModes[3] = {"rb", "wb", "ab"};
  std::FILE* f = nullptr;
  if (cfil && *cfil && openable(cfil)) f = std::fopen(cfil, kModes[irw]);
  if (!f) {
    warn_string(*ctx, kMsgFileError, cfil ? cfil : "");
    return -1;
  }
  u.file.reset(f);
  u.mode = irw;
  return 0;
}

int closfl(int nlu) {
  Context* ctx = enter(R::closfl);
  if (!ctx) return -1;
  BinaryUnit* u = open_unit(*ctx, nlu);
  if (!u) return -1;
  int rc = std::fclose(u->file.release());
  if (rc != 0) {
    warn_code(*ctx, kMsgFileError);
    return -1;
  }
  return 0;
}

// The number of bytes read: n, fewer at the end of the file, -1 on an error.
int readfl(int nlu, char* buf, int n) {
  Context* ctx = enter(R::readfl);
  if (!ctx) return -1;
  if (check_range(*ctx, n, 0, -1)) return -1;
  BinaryUnit* u = open_unit(*ctx, nlu);
  if (!u || !buf) return -1;
  std::FILE* f = u->file.get();
  if (u->mode != 0) {
    warn_text(*ctx, kMsgReadError, "Read error");
    return -1;
  }
  size_t got = std::fread(buf, 1, static_cast<size_t>(n), f);
  if (got < static_cast<size_t>(n) && std::ferror(f)) {
    std::clearerr(f);
    warn_text(*ctx, kMsgReadError, "Read error");
    return -1;
  }
  return static_cast<int>(got);
}

// The number of bytes written, -1 on an error.
int writfl(int nlu, const char* buf, int n) {
  Context* ctx = enter(R::writfl);
  if (!ctx) return -1;
  if (check_range(*ctx, n, 0, -1)) return -1;
  BinaryUnit* u = open_unit(*ctx, nlu);
  if (!u || !buf) return -1;
  std::FILE* f = u->file.get();
  if (u->mode == 0) {
    warn_code(*ctx, kMsgFileError);
    return -1;
  }
  size_t put = std::fwrite(buf, 1, static_cast<size_t>(n), f);
  if (put < static_cast<size_t>(n)) {
    std::clearerr(f);
    warn_code(*ctx, kMsgFileError);
    return -1;
  }
  return static_cast<int>(put);
}

namespace {

int seek_unit(Context& ctx, int nlu, long long off, int whence) {
  BinaryUnit* u = open_unit(ctx, nlu);
  if (!u) return -1;
  std::FILE* f = u->file.get();
  if (whence == SEEK_CUR) {
    long long here = ftello(f);
    if (here < 0 || here + off < 0) {
      warn_number(ctx, kMsgIncorrectParameter, off);
      return -1;
    }
  }
  if (fseeko(f, static_cast<off_t>(off), whence) != 0) {
    warn_code(ctx, kMsgFileError);
    return -1;
  }
  return 0;
}

}  // namespace

// Moves the position nbyt bytes on (back when negative).
int skipfl(int nlu, int nbyt) {
  Context* ctx = enter(R::skipfl);
  if (!ctx) return -1;
  return seek_unit(*ctx, nlu, nbyt, SEEK_CUR);
}

int posifl(int nlu, int nbyt) {
  Context* ctx = enter(R::posifl);
  if (!ctx) return -1;
  if (check_range(*ctx, nbyt, 0, -1)) return -1;
  return seek_unit(*ctx, nlu, nbyt, SEEK_SET);
}

// The current position; -1 when it is not known or beyond what an int can hold.
int tellfl(int nlu) {
  Context* ctx = enter(R::tellfl);
  if (!ctx) return -1;
  BinaryUnit* u = open_unit(*ctx, nlu);
  if (!u) return -1;
  long long p = ftello(u->file.get());
  if (p < 0 || p > INT_MAX) {
    warn_code(*ctx, kMsgFileError);
    return -1;
  }
  return static_cast<int>(p);
}

// ------------------------------------------------------------------------------------------
// bit fields: nbits bits of mher starting at bit iher are copied into mhin starting at bit
// ihin; bits are numbered from the least significant bit, 0 first (as Fortran's MVBITS).

namespace {

long long move_bits(Context& ctx, int width, int nbits, long long mher, int iher, long long mhin,
                    int ihin) {
  if (check_range(ctx, nbits, 1, width) || check_range(ctx, iher, 0, width - nbits) ||
      check_range(ctx, ihin, 0, width - nbits))
    return mhin;
  const unsigned long long mask = (nbits >= 64 ? ~0ULL : (1ULL << nbits) - 1);
  unsigned long long from = static_cast<unsigned long long>(mher);
  unsigned long long to = static_cast<unsigned long long>(mhin);
  unsigned long long field = (from >> iher) & mask;
  to = (to & ~(mask << ihin)) | (field << ihin);
  return static_cast<long long>(to);
}

}  // namespace

// The result is a 16-bit value, sign-extended like a Fortran INTEGER*2.
int bitsi2(int nbits, int mher, int iher, int mhin, int ihin) {
  Context* ctx = enter(R::bitsi2);
  if (!ctx) return mhin;
  long long v = move_bits(*ctx, 16, nbits, mher & 0xFFFF, iher, mhin & 0xFFFF, ihin);
  return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
}

int bitsi4(int nbits, int mher, int iher, int mhin, int ihin) {
  Context* ctx = enter(R::bitsi4);
  if (!ctx) return mhin;
  long long v = move_bits(*ctx, 32, nbits, static_cast<uint32_t>(mher), iher,
                          static_cast<uint32_t>(mhin), ihin);
  return static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFFLL));
}

}  // namespace tavero
