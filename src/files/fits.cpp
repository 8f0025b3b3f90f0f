// FITS files: one open file per context record, its header-and-data units (HDUs), keyword
// values and the raw data array.
//
// Every offset and size is checked against the file's length, so a truncated or hostile
// file ends a walk early instead of seeking or allocating without bound.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "core/entry.h"
#include "core/messages.h"
#include "files/file_state.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kCard = 80;
constexpr int kBlockCards = 36;
constexpr int kBlock = kCard * kBlockCards;
// NAXISn cards have at most three digits, so no axis beyond 999 can ever be defined.
constexpr int kMaxAxes = 999;

enum FitsMsg : int {
  kMsgOpen = 195, kMsgBitpix = 196, kMsgNaxis = 197, kMsgNaxisN = 198, kMsgNoFile = 199,
  kMsgNoKey = 200, kMsgType = 201, kMsgNoHdu = 201, kMsgNoSpace = 201, kMsgHduMemory = 202,
  kMsgSyntax = 202, kMsgFloatType = 203, kMsgTooLong = 204
};

bool seek_to(std::FILE* f, long long off) {
  return off >= 0 && fseeko(f, static_cast<off_t>(off), SEEK_SET) == 0;
}

// The integer after the first "= " of a card, read like atoi (blanks, sign, digits), clamped
// to int32; false when the card has no "= ".
bool card_int(const char* card, int& value) {
  int i = 0;
  while (i < kCard - 1 && !(card[i] == '=' && card[i + 1] == ' ')) ++i;
  if (i >= kCard - 1) return false;
  i += 2;
  while (i < kCard && card[i] == ' ') ++i;
  bool neg = false;
  if (i < kCard && (card[i] == '+' || card[i] == '-')) neg = card[i++] == '-';
  long long v = 0;
  for (; i < kCard && card[i] >= '0' && card[i] <= '9'; ++i)
    if (v < 10000000000LL) v = v * 10 + (card[i] - '0');
  if (neg) v = -v;
  value = static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
  return true;
}

struct Header {
  int bitpix = -1, naxis = -1, type = 0;
  std::vector<int> naxes;
  bool naxes_missing = false;
  long long headlen = 0;
  int cards = 0;
  bool ended = false;
  bool no_memory = false;
};

// The kind of an extension from its XTENSION card. Files that spell the keyword in full
// ("EXTENSIO" in the first eight columns) are accepted too.
int extension_type(const char* card) {
  if (std::memcmp(card, "XTENSION", 8) != 0 && std::memcmp(card, "EXTENSIO", 8) != 0) return -1;
  std::string s(card, kCard);
  if (s.find("IMAGE") != std::string::npos) return 1;
  if (s.find("BINTABLE") != std::string::npos) return 3;
  if (s.find("TABLE") != std::string::npos) return 2;
  return -1;
}

// Reads one header from the current position of f.
void read_header(std::FILE* f, Header& h) {
  char card[kCard];
  while (std::fread(card, 1, kCard, f) == static_cast<size_t>(kCard)) {
    h.headlen += kCard;
    ++h.cards;
    if (std::memcmp(card, "BITPIX  ", 8) == 0) {
      card_int(card, h.bitpix);
    } else if (std::memcmp(card, "NAXIS", 5) == 0 && card[5] == ' ') {
      int n = -1;
      if (!card_int(card, n)) continue;
      h.naxis = n;
      h.naxes_missing = n > kMaxAxes;
      try {
        h.naxes.assign(static_cast<size_t>(n < 0 ? 0 : n > kMaxAxes ? kMaxAxes : n), -1);
      } catch (const std::bad_alloc&) {
        h.no_memory = true;
        return;
      }
    } else if (std::memcmp(card, "NAXIS", 5) == 0 && card[5] >= '0' && card[5] <= '9') {
      int n = 0, i = 5;
      for (; i < 8 && card[i] >= '0' && card[i] <= '9'; ++i) n = n * 10 + (card[i] - '0');
      if (i < 8 && card[i] != ' ') continue;
      int v;
      if (n >= 1 && n <= static_cast<int>(h.naxes.size()) && card_int(card, v)) h.naxes[n - 1] = v;
    } else if (std::memcmp(card, "END", 3) == 0) {
      h.ended = true;
      int rest = h.cards % kBlockCards;
      if (rest) h.headlen += static_cast<long long>(kBlockCards - rest) * kCard;
      return;
    } else {
      int t = extension_type(card);
      if (t > 0 && h.type == 0) h.type = t;
    }
  }
}

// 0, or the validation result -3 / -4 / -5 with its message.
int validate(Context& ctx, const FitsRecord& r) {
  if (r.bitpix == -1) {
    warn_text(ctx, kMsgBitpix, "Keyword BITPIX is not defined");
    return -3;
  }
  if (r.naxis == -1) {
    warn_text(ctx, kMsgNaxis, "Keyword NAXIS is not defined");
    return -4;
  }
  bool missing = r.naxes_missing;
  for (int v : r.naxes) missing = missing || v == -1;
  if (missing) {
    warn_text(ctx, kMsgNaxisN, "Some NAXISn are not defined");
    return -5;
  }
  return 0;
}

void store(FitsRecord& r, const Header& h) {
  r.bitpix = h.bitpix;
  r.naxis = h.naxis;
  r.naxes = h.naxes;
  r.naxes_missing = h.naxes_missing;
  r.headlen = h.headlen;
  r.type = h.type;
}

// Bytes of the data array (without the rounding to blocks); -1 when the header cannot
// describe a real array (an undefined or negative axis, or a size beyond any file).
long long data_bytes(int bitpix, int naxis, const std::vector<int>& naxes, bool missing) {
  if (naxis <= 0) return 0;
  if (missing) return -1;
  long long n = bitpix / 8;
  if (n < 0) n = -n;
  if (n < 1) n = 1;
  for (int v : naxes) {
    if (v < 0) return -1;
    if (v == 0) return 0;
    if (n > (LLONG_MAX / 4) / v) return -1;
    n *= v;
  }
  return n;
}

FitsRecord* open_record(Context& ctx) {
  FitsRecord* r = ctx.files.fits.get();
  if (!r) warn_text(ctx, kMsgNoFile, "No open FITS file");
  return r;
}

// Reads the card of a keyword in the current HDU into card; false when it is not defined.
bool find_card(Context& ctx, FitsRecord& r, const char* ckey, char* card) {
  char key[8];
  std::memset(key, ' ', 8);
  for (int i = 0; i < 8 && ckey && ckey[i]; ++i) key[i] = ckey[i];
  std::FILE* f = r.file.get();
  if (seek_to(f, r.start)) {
    while (std::fread(card, 1, kCard, f) == static_cast<size_t>(kCard)) {
      if (std::memcmp(card, "END", 3) == 0) break;
      if (std::memcmp(card, key, 8) == 0) return true;
    }
  }
  warn_text(ctx, kMsgNoKey, "Keyword is not defined in FITS file");
  return false;
}

// The value of a card, classified by one left-to-right scan (class numbers as fitstyp
// returns them); `text` receives the string of classes 2 and 3, or the number's characters.
int classify(const char* card, std::string& text) {
  text.clear();
  int i = 0;
  while (i < kCard - 1 && !(card[i] == '=' && card[i + 1] == ' ')) ++i;
  if (i >= kCard - 1) return 9;
  i += 2;
  char first = 0;
  bool dot = false, paren = false;
  for (; i < kCard; ++i) {
    char c = card[i];
    if (c == '/') break;
    if (c == ' ') continue;
    if (c == '\'') {
      std::string s;
      for (++i;; ++i) {
        if (i >= kCard) return 9;
        if (card[i] != '\'') {
          s += card[i];
        } else if (i + 1 < kCard && card[i + 1] == '\'') {
          s += '\'';
          ++i;
        } else {
          break;
        }
      }
      if (!first) {
        text = s;
        return s.empty() ? 2 : 3;
      }
      continue;
    }
    if (!first) first = c;
    if (c == '.') dot = true;
    if (c == '(') paren = true;
    text += c;
  }
  if (!first) return 8;
  if (first == 'T') return 4;
  if (first == 'F') return 5;
  if (paren) return dot ? 7 : 6;
  return dot ? 1 : 0;
}

// The number of a class 0 or 1 value; FITS writes double exponents with D.
double number_of(std::string text) {
  for (char& c : text)
    if (c == 'D' || c == 'd') c = 'E';
  return std::strtod(text.c_str(), nullptr);
}

int clamp_int(double v) {
  if (!(v == v)) return 0;
  if (v <= INT_MIN) return INT_MIN;
  if (v >= INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// opening and closing

int fitsopn(const char* cfil) {
  Context* ctx = enter(R::fitsopn);
  if (!ctx) return -2;
  // only regular files: a pipe or a device could block the reader
  struct stat st;
  std::FILE* f = nullptr;
  if (cfil && *cfil && ::stat(cfil, &st) == 0 && S_ISREG(st.st_mode)) f = std::fopen(cfil, "rb");
  if (!f) {
    warn_text(*ctx, kMsgOpen, "Open error in FITS file");
    return -1;
  }
  FileHandle file(f);
  std::unique_ptr<FitsRecord> r(new (std::nothrow) FitsRecord);
  if (!r) {
    warn_code(*ctx, kMsgNoMemory);
    return -2;
  }
  r->file = std::move(file);
  r->size = static_cast<long long>(st.st_size);
  Header h;
  read_header(r->file.get(), h);
  if (h.no_memory) {
    warn_code(*ctx, kMsgNoMemory);
    return -2;
  }
  h.type = 0;
  store(*r, h);
  // a second fitsopn simply replaces the record (and closes the first file)
  ctx->files.fits = std::move(r);
  return validate(*ctx, *ctx->files.fits);
}

void fitscls() {
  Context* ctx = enter(R::fitscls);
  if (!ctx || !open_record(*ctx)) return;
  ctx->files.fits.reset();
}

// ------------------------------------------------------------------------------------------
// HDUs

int fitshdu(int nhdu) {
  Context* ctx = enter(R::fitshdu);
  if (!ctx) return -2;
  FitsRecord* r = open_record(*ctx);
  if (!r) return -6;
  if (nhdu < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nhdu);
    return -1;
  }
  std::FILE* f = r->file.get();
  long long off = 0;
  for (int k = 1;; ++k) {
    Header h;
    if (off >= r->size || !seek_to(f, off)) break;
    read_header(f, h);
    if (h.cards == 0) break;
    if (h.no_memory) {
      warn_text(*ctx, kMsgHduMemory, "Not enough memory");
      return -2;
    }
    if (k == nhdu) {
      store(*r, h);
      r->hdu = k;
      r->start = off;
      int st = validate(*ctx, *r);
      return st ? st : r->type;
    }
    // the next HDU begins after this one's data, rounded up to whole blocks
    long long n = data_bytes(h.bitpix, h.naxis, h.naxes, h.naxes_missing);
    if (!h.ended || n < 0 || n > r->size) break;
    off += h.headlen + (n + kBlock - 1) / kBlock * kBlock;
  }
  warn_text(*ctx, kMsgNoHdu, "No HDU in FITS file");
  return -1;
}

// ------------------------------------------------------------------------------------------
// keywords

int fitsval(const char* ckey) {
  Context* ctx = enter(R::fitsval);
  if (!ctx) return -2;
  FitsRecord* r = open_record(*ctx);
  if (!r) return -3;
  char card[kCard];
  if (!find_card(*ctx, *r, ckey, card)) return -1;
  std::string text;
  switch (classify(card, text)) {
    case 0: {
      char* end = nullptr;
      long long v = std::strtoll(text.c_str(), &end, 10);
      if (end && *end) return clamp_int(number_of(text));  // 1E5 and the like
      return clamp_int(static_cast<double>(v));
    }
    case 4: return 1;
    case 5: return 0;
    default:
      warn_text(*ctx, kMsgType, "Keyword does not match type in FITS file");
      return -2;
  }
}

double fitsflt(const char* ckey) {
  Context* ctx = enter(R::fitsflt);
  if (!ctx) return -2.0;
  FitsRecord* r = open_record(*ctx);
  if (!r) return -3.0;
  char card[kCard];
  if (!find_card(*ctx, *r, ckey, card)) return -1.0;
  std::string text;
  int k = classify(card, text);
  if (k == 0 || k == 1) return number_of(text);
  warn_text(*ctx, kMsgFloatType, "Keyword does not match type in FITS file");
  return -2.0;
}

int fitstyp(const char* ckey) {
  Context* ctx = enter(R::fitstyp);
  if (!ctx) return -2;
  FitsRecord* r = open_record(*ctx);
  if (!r) return -3;
  char card[kCard];
  if (!find_card(*ctx, *r, ckey, card)) return -1;
  std::string text;
  return classify(card, text);
}

// The C routine's status (0, or -1 .. -4 as the other keyword routines) is reported as a
// warning; the Python result is the string alone.
void fitsstr(const char* ckey, char* cval) {
  if (cval) cval[0] = 0;
  Context* ctx = enter(R::fitsstr);
  if (!ctx) return;
  FitsRecord* r = open_record(*ctx);
  if (!r) return;
  char card[kCard];
  if (!find_card(*ctx, *r, ckey, card)) return;
  std::string text;
  int k = classify(card, text);
  if (k != 2 && k != 3) {
    warn_text(*ctx, kMsgType, "Keyword does not match type in FITS file");
    return;
  }
  constexpr size_t kMax = 256;
  if (text.size() > kMax) {
    text.resize(kMax);
    warn_text(*ctx, kMsgTooLong, "String does not fit into buffer");
  }
  if (cval) std::memcpy(cval, text.c_str(), text.size() + 1);
}

// ------------------------------------------------------------------------------------------
// data

int fitsimg(char* buf, int nmax) {
  Context* ctx = enter(R::fitsimg);
  if (!ctx) return -2;
  if (nmax < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nmax);
    return -2;
  }
  FitsRecord* r = open_record(*ctx);
  if (!r) return -3;
  if (r->naxis <= 0) return 0;
  long long n = data_bytes(r->bitpix, r->naxis, r->naxes, r->naxes_missing);
  if (n < 0 || n > INT_MAX) {
    // an undefined axis, or more data than one call can return
    warn_text(*ctx, kMsgSyntax, "Syntax error in FITS file");
    return -2;
  }
  if (nmax == 0) return static_cast<int>(n);
  if (nmax < n || !buf) {
    warn_text(*ctx, kMsgNoSpace, "Not enough space in array for FITS image");
    return -1;
  }
  std::FILE* f = r->file.get();
  if (!seek_to(f, r->start + r->headlen) ||
      std::fread(buf, 1, static_cast<size_t>(n), f) != static_cast<size_t>(n)) {
    warn_text(*ctx, kMsgSyntax, "Syntax error in FITS file");
    return -2;
  }
  return static_cast<int>(n);
}

}  // namespace tavero
