// Code tables, national shifts and device-font encodings.
//
// The tables of the 8-bit code pages give Unicode; Unicode is turned into a code of an
// alphabet through the alphabet's own layout (the font data says which character each code
// of STAN, GREE and RUSS is), so the tables can never disagree with the glyphs.
#include "text/codepages.h"

#include <array>

#include "text/text_state.h"

namespace tavero {

namespace {

// Upper halves (160..255) of the 8-bit code pages; 0 where the page has no character.
constexpr char16_t kLatin2[96] = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164,
    0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170,
    0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};
constexpr char16_t kLatin3[96] = {
    0x00A0, 0x0126, 0x02D8, 0x00A3, 0x00A4, 0x0000, 0x0124, 0x00A7, 0x00A8, 0x0130, 0x015E, 0x011E,
    0x0134, 0x00AD, 0x0000, 0x017B, 0x00B0, 0x0127, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x0125, 0x00B7,
    0x00B8, 0x0131, 0x015F, 0x011F, 0x0135, 0x00BD, 0x0000, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0000,
    0x00C4, 0x010A, 0x0108, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0000, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x0120, 0x00D6, 0x00D7, 0x011C, 0x00D9, 0x00DA, 0x00DB,
    0x00DC, 0x016C, 0x015C, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0000, 0x00E4, 0x010B, 0x0109, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0000, 0x00F1, 0x00F2, 0x00F3,
    0x00F4, 0x0121, 0x00F6, 0x00F7, 0x011D, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x016D, 0x015D, 0x02D9,
};
constexpr char16_t kIso5[96] = {
    0x00A0, 0x0401, 0x0402, 0x0403, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040A, 0x040B,
    0x040C, 0x00AD, 0x040E, 0x040F, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, 0x2116, 0x0451, 0x0452, 0x0453,
    0x0454, 0x0455, 0x0456, 0x0457, 0x0458, 0x0459, 0x045A, 0x045B, 0x045C, 0x00A7, 0x045E, 0x045F,
};
constexpr char16_t kKoi8[96] = {
    0x2550, 0x2551, 0x2552, 0x0451, 0x2553, 0x2554, 0x2555, 0x2556, 0x2557, 0x2558, 0x2559, 0x255A,
    0x255B, 0x255C, 0x255D, 0x255E, 0x255F, 0x2560, 0x2561, 0x0401, 0x2562, 0x2563, 0x2564, 0x2565,
    0x2566, 0x2567, 0x2568, 0x2569, 0x256A, 0x256B, 0x256C, 0x00A9, 0x044E, 0x0430, 0x0431, 0x0446,
    0x0434, 0x0435, 0x0444, 0x0433, 0x0445, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E,
    0x043F, 0x044F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0436, 0x0432, 0x044C, 0x044B, 0x0437, 0x0448,
    0x044D, 0x0449, 0x0447, 0x044A, 0x042E, 0x0410, 0x0411, 0x0426, 0x0414, 0x0415, 0x0424, 0x0413,
    0x0425, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x042F, 0x0420, 0x0421,
    0x0422, 0x0423, 0x0416, 0x0412, 0x042C, 0x042B, 0x0417, 0x0428, 0x042D, 0x0429, 0x0427, 0x042A,
};
constexpr char16_t kIso7[96] = {
    0x00A0, 0x2018, 0x2019, 0x00A3, 0x20AC, 0x20AF, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x037A, 0x00AB,
    0x00AC, 0x00AD, 0x0000, 0x2015, 0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x0385, 0x0386, 0x00B7,
    0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F, 0x0390, 0x0391, 0x0392, 0x0393,
    0x0394, 0x0395, 0x0396, 0x0397, 0x0398, 0x0399, 0x039A, 0x039B, 0x039C, 0x039D, 0x039E, 0x039F,
    0x03A0, 0x03A1, 0x0000, 0x03A3, 0x03A4, 0x03A5, 0x03A6, 0x03A7, 0x03A8, 0x03A9, 0x03AA, 0x03AB,
    0x03AC, 0x03AD, 0x03AE, 0x03AF, 0x03B0, 0x03B1, 0x03B2, 0x03B3, 0x03B4, 0x03B5, 0x03B6, 0x03B7,
    0x03B8, 0x03B9, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BE, 0x03BF, 0x03C0, 0x03C1, 0x03C2, 0x03C3,
    0x03C4, 0x03C5, 0x03C6, 0x03C7, 0x03C8, 0x03C9, 0x03CA, 0x03CB, 0x03CC, 0x03CD, 0x03CE, 0x0000,
};

// National shifts: allowed letters and the characters they stand for, per language.
struct Shift {
  const char* letters;
  const char16_t* result;
};
const Shift kShifts[8] = {
    {"AOUaous", u"ÄÖÜäöüß"},
    {"AOEaoe", u"ÅØÆåøæ"},
    {"Nn!?", u"Ññ¡¿"},
    {"CcEIei", u"ÇçËÏëï"},
    {"AEIOUaeiou", u"ÁÉÍÓÚáéíóú"},
    {"AEIOUaeiou", u"ÀÈÌÒÙàèìòù"},
    {"AEIOUaeiou", u"ÂÊÎÔÛâêîôû"},
    {"CcGgIiOoSsUu", u"ÇçĞğİıÖöŞşÜü"},
};

// Unicode -> code of one alphabet, built once from the alphabet's layout.
class Reverse {
 public:
  explicit Reverse(int alphabet) {
    int n = 0;
    const char32_t* lay = alphabet_layout(alphabet, &n);
    for (int i = n - 1; i >= 0; --i) {  // the first code of a character wins
      char32_t u = lay[i];
      if (u >= 0x80 && u < 0x10000) {
        size_t k = slot(u);
        while (keys_[k] && keys_[k] != u) k = (k + 1) & (kSize - 1);
        keys_[k] = u;
        vals_[k] = static_cast<int16_t>(32 + i);
      } else if (u < 0x80) {
        ascii_[u] = static_cast<int16_t>(32 + i);
      }
    }
  }
  // The code of u, or 0.
  int find(char32_t u) const {
    if (u < 0x80) return ascii_[u];
    if (u >= 0x10000) return 0;
    size_t k = slot(u);
    while (keys_[k]) {
      if (keys_[k] == u) return vals_[k];
      k = (k + 1) & (kSize - 1);
    }
    return 0;
  }

 private:
  static constexpr size_t kSize = 1024;
  static size_t slot(char32_t u) { return (u * 2654435761u >> 8) & (kSize - 1); }
  std::array<char32_t, kSize> keys_{};
  std::array<int16_t, kSize> vals_{};
  std::array<int16_t, 128> ascii_{};
};

const Reverse& reverse(int alphabet) {
  static const Reverse stan(kStan), gree(kGree), russ(kRuss);
  return alphabet == kGree ? gree : alphabet == kRuss ? russ : stan;
}

int stan_of(char32_t u) {
  int c = u ? reverse(kStan).find(u) : 0;
  return c ? c : 32;
}

// Unicode of a code of an 8-bit table in 160..255.
char32_t upper_half(int table, int code) {
  const char16_t* t = table == kCtIso2   ? kLatin2
                      : table == kCtIso3 ? kLatin3
                      : table == kCtIso5 ? kIso5
                      : table == kCtKoi8 ? kKoi8
                                         : kIso7;
  return t[code - 160];
}

MappedCode from_alphabet(int alphabet, char32_t u) {
  int c = u ? reverse(alphabet).find(u) : 0;
  return c ? MappedCode{alphabet, c} : MappedCode{kStan, 32};
}

}  // namespace

DecodeResult decode_utf8(const char* s, int* codes, int cap, int* n) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  int k = 0;
  while (*p) {
    unsigned b = *p++;
    int more;
    unsigned cp;
    if (b < 0x80) {
      more = 0;
      cp = b;
    } else if (b >= 0xC0 && b < 0xE0) {
      more = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b < 0xF0) {
      more = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b < 0xF8) {
      more = 3;
      cp = b & 0x07;
    } else {
      *n = k;  // a lone continuation byte or a lead byte of 248 and more
      return kDecodeSyntax;
    }
    for (int i = 0; i < more; ++i) {
      unsigned c = *p;
      if (c < 0x80 || c > 0xBF) {  // also the terminator: a missing byte
        *n = k;
        return kDecodeSyntax;
      }
      cp = (cp << 6) | (c & 0x3F);
      ++p;
    }
    if (k >= cap) {
      *n = k;
      return kDecodeOverflow;
    }
    codes[k++] = static_cast<int>(cp);
  }
  *n = k;
  return kDecodeOk;
}

MappedCode map_code(int table, int code) {
  if (code < 32) return {0, 32};
  if (code < 127) return {0, code};
  switch (table) {
    case kCtStan:
      return {0, code};
    case kCtIso1:
    case kCtUtf8:
      if (code <= 255) {
        if (code == 161) return {0, 185};
        if (code == 164) return {0, 263};
        if (code == 169) return {0, 264};
        if (code >= 191) return {kStan, stan_of(static_cast<char32_t>(code))};
        return {0, 32};
      }
      if (table == kCtUtf8) {
        if (code >= 1024 && code <= 1119) return from_alphabet(kRuss, static_cast<char32_t>(code));
        if (code >= 902 && code <= 974) return from_alphabet(kGree, static_cast<char32_t>(code));
      }
      return {0, 32};
    case kCtIso2:
    case kCtIso3:
      if (code >= 160 && code <= 255) return {kStan, stan_of(upper_half(table, code))};
      return {0, 32};
    case kCtIso5:
    case kCtKoi8:
      if (code >= 160 && code <= 255) return from_alphabet(kRuss, upper_half(table, code));
      return {0, code};
    case kCtIso7:
      if (code >= 160 && code <= 255) return from_alphabet(kGree, upper_half(table, code));
      return {0, code};
  }
  return {0, 32};
}

int national_code(int table, int lang, int letter) {
  if (lang < 0 || lang > 7) return -1;
  const Shift& s = kShifts[lang];
  int pos = -1;
  for (int i = 0; s.letters[i]; ++i)
    if (static_cast<unsigned char>(s.letters[i]) == letter) pos = i;
  if (pos < 0) return -1;
  char32_t u = s.result[pos];
  switch (table) {
    case kCtIso1:
    case kCtUtf8:
      return u <= 0xFF ? static_cast<int>(u) : 32;  // letters without a Latin-1 form
    case kCtIso2:
    case kCtIso3: {
      const char16_t* t = table == kCtIso2 ? kLatin2 : kLatin3;
      for (int i = 0; i < 96; ++i)
        if (t[i] == u) return 160 + i;
      return 32;
    }
    default:
      return stan_of(u);
  }
}

char32_t stan_unicode(int code) {
  int n = 0;
  const char32_t* lay = alphabet_layout(kStan, &n);
  if (code < 32 || code >= 32 + n) return 0;
  return lay[code - 32];
}

int stan_to_winansi(int code) {
  if (code >= 32 && code < 127) return code;
  char32_t u = stan_unicode(code);
  if (u == 0x20AC) return 128;
  if (u >= 0xA0 && u <= 0xFF) return static_cast<int>(u);
  return 0;
}

int stan_to_ps(int code) {
  if (code >= 32 && code <= 186) return code;
  if (code == 264) return 187;
  return 0;
}

}  // namespace tavero
