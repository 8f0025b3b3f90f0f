// The command tables of TeX mode and their lookup, and the codes of Greek letters and math
// symbols in the alphabets of the fonts.
#include <cstring>

#include "text/fontdata/fontdata.h"
#include "text/tex.h"

namespace tavero::tex {

namespace fd = fontdata;

const char* const kGreekNames[34] = {
    "alpha", "beta",  "gamma", "delta",   "epsilon", "zeta",  "eta",   "theta", "iota",
    "kappa", "lambda", "mu",   "nu",      "xi",      "pi",    "rho",   "sigma", "tau",
    "upsilon", "phi", "chi",   "psi",     "omega",   "Gamma", "Delta", "Theta", "Lambda",
    "Xi",    "Pi",    "Sigma", "Upsilon", "Phi",     "Psi",   "Omega"};
const char kGreekLetters[35] = "abcdezhqiklmnxprstyfguwCDQLXPSYFUW";
const char32_t kGreekUnicode[34] = {
    0x3B1, 0x3B2, 0x3B3, 0x3B4, 0x3B5, 0x3B6, 0x3B7, 0x3B8, 0x3B9, 0x3BA, 0x3BB, 0x3BC,
    0x3BD, 0x3BE, 0x3C0, 0x3C1, 0x3C3, 0x3C4, 0x3C5, 0x3C6, 0x3C7, 0x3C8, 0x3C9, 0x393,
    0x394, 0x398, 0x39B, 0x39E, 0x3A0, 0x3A3, 0x3A5, 0x3A6, 0x3A8, 0x3A9};

namespace {

const char* const kSpaceNames[6] = {"quad", "qquad", ",", ":", ";", "!"};
const char* const kAlphabetNames[5] = {"rm", "gr", "it", "cal", "ru"};
const char* const kSizeNames[10] = {"tiny",  "scriptsize", "footnotesize", "small", "normalsize",
                                    "large", "Large",      "LARGE",        "huge",  "Huge"};
const char* const kStyleNames[4] = {"displaystyle", "textstyle", "scriptstyle",
                                    "scriptscriptstyle"};
const char* const kColourNames[11] = {"black",  "red",     "green", "blue", "cyan", "yellow",
                                      "orange", "magenta", "white", "fore", "back"};
const char* const kSpecialNames[2] = {"copyright", "diameter"};
const char* const kStructureNames[14] = {"int",      "oint",      "prod", "sqrt",  "frac",
                                         "lim",      "overline",  "underline", "vec", "hat",
                                         "tilde",    "dot",       "limits",    "nolimits"};
const char* const kBracketNames[14] = {"left",  "right", "big",   "Big",   "bigg",  "Bigg", "bigl",
                                       "bigr",  "Bigl",  "Bigr",  "biggl", "biggr", "Biggl", "Biggr"};

template <size_t N>
int find(const char* const (&table)[N], const std::string& name) {
  for (size_t i = 0; i < N; ++i)
    if (name == table[i]) return static_cast<int>(i);
  return -1;
}

}  // namespace

const double kSpaceEighteenths[6] = {18, 36, 3, 4, 5, -3};
const char* const kFunctionNames[20] = {"arccos", "arcsin", "arctan", "arg",  "cos", "cosh", "cot",
                                        "coth",   "csc",    "dec",    "dim",  "exp", "hom",  "ln",
                                        "log",    "sec",    "sin",    "sinh", "tan", "tanh"};
const double kSizeFactors[10] = {0.482, 0.578, 0.695, 0.83, 1.0, 1.2, 1.44, 1.728, 2.0736, 2.488};

// Operators, relations and symbols. Characters the MATH alphabet lacks are made from the
// nearest one it holds: negations strike it through, \ni mirrors the element sign, \lll repeats.
const Symbol kSymbols[] = {
    {"pm", U'±', kPlain},          {"mp", U'∓', kPlain},
    {"times", U'×', kPlain},       {"div", U'÷', kPlain},
    {"cdot", U'·', kPlain},        {"ast", U'*', kPlain},
    {"star", U'★', kPlain},        {"cap", U'∩', kPlain},
    {"cup", U'∪', kPlain},         {"vee", U'∨', kPlain},
    {"wedge", U'∧', kPlain},       {"setminus", U'\\', kPlain},
    {"odot", U'☉', kPlain},        {"oplus", U'⊕', kPlain},
    {"ominus", U'⊖', kPlain},      {"le", U'≤', kPlain},
    {"leq", U'≤', kPlain},         {"subset", U'⊂', kPlain},
    {"subseteq", U'⊆', kPlain},    {"in", U'∈', kPlain},
    {"ge", U'≥', kPlain},          {"geq", U'≥', kPlain},
    {"supset", U'⊃', kPlain},      {"supseteq", U'⊇', kPlain},
    {"ni", U'∈', kMirror},         {"neq", U'≠', kPlain},
    {"cong", U'≅', kPlain},        {"equiv", U'≡', kPlain},
    {"parallel", U'‖', kPlain},    {"sim", U'~', kPlain},
    {"mid", U'|', kPlain},         {"notin", U'∉', kPlain},
    {"not=", U'≠', kPlain},        {"leftarrow", U'←', kPlain},
    {"Leftarrow", U'⇐', kPlain},   {"rightarrow", U'→', kPlain},
    {"to", U'→', kPlain},          {"Rightarrow", U'⇒', kPlain},
    {"Leftrightarrow", U'⇔', kPlain}, {"uparrow", U'↑', kPlain},
    {"downarrow", U'↓', kPlain},   {"emptyset", U'∅', kPlain},
    {"nabla", U'∇', kPlain},       {"surd", U'√', kPlain},
    {"partial", U'∂', kPlain},     {"forall", U'∀', kPlain},
    {"exists", U'∃', kPlain},      {"backslash", U'\\', kPlain},
    {"infty", U'∞', kPlain},       {"perp", U'⊥', kPlain},
    {"approx", U'≈', kPlain},      {"leqslant", U'≤', kPlain},
    {"geqslant", U'≥', kPlain},    {"nless", U'<', kStruck},
    {"ngtr", U'>', kStruck},       {"nleq", U'≤', kStruck},
    {"ngeq", U'≥', kStruck},       {"prec", U'<', kPlain},
    {"succ", U'>', kPlain},        {"nprec", U'<', kStruck},
    {"nsucc", U'>', kStruck},      {"preceq", U'≤', kPlain},
    {"succeq", U'≥', kPlain},      {"npreceq", U'≤', kStruck},
    {"nsucceq", U'≥', kStruck},    {"ll", U'≪', kPlain},
    {"gg", U'≫', kPlain},          {"lll", U'<', kTriple},
    {"ggg", U'>', kTriple},        {"not", U'/', kStruck},
    {"sqsubset", U'⊂', kPlain},    {"sqsupset", U'⊃', kPlain},
    {"doteq", U'=', kDotted},      {"simeq", U'≃', kPlain},
    {"propto", U'∝', kPlain},      {"angle", U'∠', kPlain},
    {"nleqslant", U'≤', kStruck},  {"ngeqslant", U'≥', kStruck},
    {"nsubseteq", U'⊆', kStruck},  {"nsupseteq", U'⊇', kStruck},
    {"sqsubseteq", U'⊆', kPlain},  {"sqsupseteq", U'⊇', kPlain},
    {"measuredangle", U'∠', kPlain}, {"sphericalangle", U'∠', kPlain},
    {"circ", U'∘', kPlain},
};
const int kSymbolCount = sizeof kSymbols / sizeof kSymbols[0];

CmdInfo lookup(const std::string& name) {
  int k;
  if ((k = find(kGreekNames, name)) >= 0) return {Cmd::kGreek, k};
  if ((k = find(kSpaceNames, name)) >= 0) return {Cmd::kSpace, k};
  for (int i = 0; i < kSymbolCount; ++i)
    if (name == kSymbols[i].name) return {Cmd::kSymbol, i};
  if ((k = find(kAlphabetNames, name)) >= 0) return {Cmd::kAlphabet, k};
  if ((k = find(kSizeNames, name)) >= 0) return {Cmd::kSize, k};
  if ((k = find(kStyleNames, name)) >= 0) return {Cmd::kStyle, k};
  if ((k = find(kColourNames, name)) >= 0) return {Cmd::kColour, k};
  if ((k = find(kFunctionNames, name)) >= 0) return {Cmd::kFunction, k};
  if ((k = find(kSpecialNames, name)) >= 0) return {Cmd::kSpecial, k};
  if ((k = find(kStructureNames, name)) >= 0) return {Cmd::kStructure, k};
  if ((k = find(kBracketNames, name)) >= 0) return {Cmd::kBracket, k};
  return {};
}

namespace {

// Code of a character in an alphabet by its layout; 0 when absent.
int code_in(const fd::Alphabet* a, char32_t ch) {
  if (!a || !a->unicode) return 0;
  for (int i = 1; i < a->n_chars; ++i)
    if (a->unicode[i] == ch) return 32 + i;
  return 0;
}

}  // namespace

int math_code(char32_t ch) {
  // the MATH alphabet is common to all stroke fonts
  static const fd::StrokeFont* f = fd::stroke_font(3);
  const fd::Alphabet* a = f ? f->alphabets[fd::kMath] : nullptr;
  if (ch == U'/') return '/';
  return code_in(a, ch);
}

int greek_code(const Context& ctx, int index) {
  const TextState& ts = ctx.text;
  // device fonts draw Greek with the Symbol layout, which the common GREE alphabet follows
  const fd::StrokeFont* f = fd::stroke_font(ts.font_kind == kStrokeFont ? ts.font : 3);
  if (!f) f = fd::stroke_font(3);
  int c = f ? code_in(f->alphabets[fd::kGree], kGreekUnicode[index]) : 0;
  return c ? c : static_cast<unsigned char>(kGreekLetters[index]);
}

}  // namespace tavero::tex
