// Character codes of the text engine: decoding of strings into codes, the code tables of
// chacod, the national shift characters of eushft, and the conversion of the engine's STAN
// codes into the encodings of device fonts.
#pragma once
#include <cstdint>

namespace tavero {

inline constexpr int kMaxCodes = 256;   // codes of one decoded UTF-8 string

// Result of decoding: 0 success, 1 bad UTF-8, 2 too many codes.
enum DecodeResult : int { kDecodeOk = 0, kDecodeSyntax = 1, kDecodeOverflow = 2 };

// Decodes a UTF-8 string into code points (at most cap of them).
DecodeResult decode_utf8(const char* s, int* codes, int cap, int* n);

// A code mapped for drawing: the alphabet it must come from (0: the current one) and the code
// within that alphabet (32 = blank).
struct MappedCode {
  int alphabet;
  int code;
};

// Step 2 of drawing one code: codes below 32 become blanks, codes from 127 on go through the
// lookup table of the code table.
MappedCode map_code(int table, int code);

// National shift: the code that the shift character of language `lang` (0 GERM .. 7 TURK)
// followed by `letter` stands for in the code table, or -1 when the letter is not allowed
// there.
int national_code(int table, int lang, int letter);

// The Unicode character of a STAN code (0 when the STAN layout has none).
char32_t stan_unicode(int code);
// STAN code -> byte of a device font: WinAnsi (PDF, SVG, IPE) or the re-encoded PostScript
// fonts (codes 127..186 are the national letters of the re-encoding vector). 0: no character.
int stan_to_winansi(int code);
int stan_to_ps(int code);

// Unicode layouts of the alphabets (code 32 first), from the font data.
const char32_t* alphabet_layout(int alphabet, int* n);

}  // namespace tavero
