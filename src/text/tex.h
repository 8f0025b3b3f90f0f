// TeX mode inside the text engine: a string is parsed into a small tree of boxes (glyphs,
// spaces, lists, scripts, fractions, roots, accents, brackets), laid out bottom-up and then
// drawn through the text run, which owns the glyph drawing. Text space as in run.h: u along
// the text, v up from the base line.
#pragma once
#include <string>
#include <vector>

#include "text/run.h"

namespace tavero::tex {

// Custom message codes of the TeX syntax errors (their texts are in tex_parse.cpp).
enum Error : int {
  kOk = 0,
  kUnknownCommand = 210,
  kNestedGroups,
  kUnbalanced,
  kNestedScripts,
  kScriptSyntax,
  kTooManyFractions,
  kFractionSyntax,
  kMissingDenominator,
  kNestedRoots,
  kMissingRoot,
  kOverlineSyntax,
  kUnderlineSyntax,
  kHatSyntax,
  kTildeSyntax,
  kDotSyntax,
  kVecSyntax,
  kTooManyBrackets,
  kBadBracket,
  kMissingLeft,
};
const char* error_text(int code);

enum class Kind : unsigned char {
  kGlyph,     // one code of an alphabet
  kSpace,     // horizontal space
  kList,      // children side by side
  kScripts,   // base with exponent and/or index
  kFrac,      // numerator over denominator
  kRoot,      // root sign over its argument, with an optional index
  kAccent,    // line, hat, tilde, dot or arrow over (or a line under) its argument
  kDelim,     // brackets grown round their argument (\left ... \right, \bigg)
  kNegated,   // a glyph struck through by a slash
  kMirrored,  // a glyph drawn mirrored (a symbol the alphabet holds only the other way round)
  kCircled,   // a small letter in a circle (copyright)
  kShifted,   // text raised or lowered by the exponent and index characters of setmix
};

enum Accent : int { kOverline = 1, kUnderline, kHat, kTilde, kDot, kVec };

struct Node {
  Kind kind = Kind::kList;
  int h = 1;             // character height in force for the node
  int colour = -1;       // colour value; -1 the colour at the start of the string
  // kGlyph (and the glyph of kNegated, kMirrored, kCircled)
  int alph = 1, code = 32;
  bool italic = false;
  bool op = false;       // big operator or function: scripts may become limits
  int limits = -1;       // -1 the texopt setting, 0 beside, 1 above and below
  int hc = 0;            // height of the text round a big operator (its glyph is larger)
  // kSpace
  double space = 0;
  // children: kList all of kids; kScripts base, sup, sub; kFrac num, den; kRoot body, index;
  // kAccent and kDelim body (-1 for none)
  std::vector<int> kids;
  int a = -1, b = -1, c = -1;
  int accent = 0;            // kAccent: its kind; kShifted: +1 raised, -1 lowered
  int left = 0, right = 0;   // bracket characters, '.' or 0 for none
  double big = 0;            // > 0: a \bigg bracket of that many heights
  // layout: advance (trailing gap included), trailing gap, extent above / below the base line;
  // the offsets of the children a, b, c; the vertical offset of an operator glyph
  double w = 0, tg = 0, asc = 0, desc = 0;
  double ax = 0, av = 0, bx = 0, bv = 0, cx = 0, cv = 0;
  double shift = 0;
  double ink() const { return w - tg; }
};

// Settings a parse needs from the record.
struct Setup {
  int height = 36;           // height at the start of the string
  int alphabet = 1;          // base alphabet
  int code_table = 0;
  int tex_char = '$';        // ignored inside TeX strings
  // the exponent, index and reset characters of setmix, when they are switched on and are
  // not characters of TeX itself (number labels are written with them)
  bool mix = false;
  int exp_char = 0, ind_char = 0, res_char = 0;
  double mix_exp = 0.8;
  // the shift alphabets of smxalf when they are switched on: alphabet, shift-in, shift-out
  int shifts = 0;
  int shift[6][3] = {};
  bool italic = false;       // ITAL: letters slanted
  bool limits = false;       // LIMI
  double exp_factor = 0.8;
  double oper = 1.5;
  const Context* ctx = nullptr;   // for the codes of the Greek letters in the current font
  int colours[11] = {};      // colour values of the colour commands
};

struct Tree {
  std::vector<Node> nodes;
  int root = -1;
  int add(const Node& n) {
    nodes.push_back(n);
    return static_cast<int>(nodes.size()) - 1;
  }
};

// Parses the codes of one string; returns kOk or the error code.
int parse(const Setup& setup, const std::vector<int>& codes, Tree& tree);

// Lays the tree out with the run's fonts and draws it when the run draws; the run's cursor,
// extent and last gap are left as after ordinary text.
void layout_and_draw(TextRun& run, Tree& tree);

// --- command tables (tex_tables.cpp)

enum class Cmd : unsigned char {
  kNone, kGreek, kSpace, kSymbol, kAlphabet, kSize, kStyle, kColour, kFunction, kSpecial,
  kStructure, kBracket
};
struct CmdInfo {
  Cmd kind = Cmd::kNone;
  int index = 0;             // position in its table
};
// Looks a command name up in the tables in their fixed order.
CmdInfo lookup(const std::string& name);

extern const char* const kGreekNames[34];
extern const char kGreekLetters[35];   // the GREE letters of the Greek names, in order
extern const char32_t kGreekUnicode[34];
extern const double kSpaceEighteenths[6];
extern const char* const kFunctionNames[20];
extern const double kSizeFactors[10];

// A symbol of the MATH alphabet: its character, and how it is drawn.
enum SymbolForm : int { kPlain = 0, kStruck = 1, kMirror = 2, kDotted = 3, kTriple = 4 };
struct Symbol {
  const char* name;
  char32_t ch;       // the character, looked up in the MATH alphabet
  int form;
};
extern const Symbol kSymbols[];
extern const int kSymbolCount;

// Structures in table order.
enum Structure : int {
  kInt = 0, kOint, kProd, kSqrt, kFrac, kLim, kOverlineS, kUnderlineS, kVecS, kHatS, kTildeS,
  kDotS, kLimits, kNolimits
};

// The MATH code of a character (0 when the alphabet does not hold it).
int math_code(char32_t ch);
// The GREE code of a Greek command in the current font (its letter of kGreekLetters when the
// font's layout does not say).
int greek_code(const Context& ctx, int index);

}  // namespace tavero::tex
