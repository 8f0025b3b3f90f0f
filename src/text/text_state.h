// Fields of the context record owned by the text subsystem, with their creation defaults:
// text attributes, alphabets and shift characters, the selected font, the text cursor, the
// number formatter and TeX mode.
#pragma once
#include <cstdint>
#include <memory>

#include "text/numfmt.h"

namespace tavero {

struct Context;
struct TrueTypeFont;
struct BitmapFont;

// Alphabet numbers: 1 STAN, 2 GREE, 3 MATH, 4 ITAL, 5 SCRI, 6 RUSS; 7 marks the instruction
// shift (INST) of smxalf.
enum Alpha : int { kStan = 1, kGree = 2, kMath = 3, kItal = 4, kScri = 5, kRuss = 6, kInst = 7 };

// Font kinds.
enum FontKind : int { kStrokeFont = 0, kPsFont = 1, kWindowFont = 2, kBitmapFont = 3, kTrueType = 4 };

// Code tables of chacod.
enum CodeTable : int { kCtStan = 0, kCtIso1, kCtIso2, kCtIso3, kCtIso5, kCtKoi8, kCtUtf8, kCtIso7 };

struct ShiftAlphabet {
  int alphabet = 0;   // 0: not defined
  int shin = 0, shout = 0;
};

struct TexSettings {
  int on = 0;
  int limits = 0;          // LIMI: limits above and below big operators
  int italic = 0;          // ITAL: italic letters
  int vector_brackets = 0; // BRAC: 0 from the font, 1 drawn as vectors
  double exp_factor = 0.8;
  double h1br = 1.0, h2br = 1.0, vbra = 0.0, oper = 1.5, wbra = 1.0;
};

// The text cursor and the working attributes of the string being drawn.
struct TextCursor {
  double x = 0, y = 0;          // current position on the base line (plot units, origin not added)
  double start_x = 0, start_y = 0;
  double last_gap = 0;          // gap after the last character drawn (999/999 continues after it)
  double vshift = 0;            // raised (> 0) or lowered (< 0) base line
  int valid = 0;                // a text was drawn since tavini
};

struct TextState {
  // --- attributes
  int height = 36;
  int angle = 0;
  double sin_a = 0.0, cos_a = 1.0;
  double shear = 0.0;           // tan of the chaang angle
  double shear_deg = 0.0;
  double spacing = 0.0;         // chaspc
  double width_factor = 1.0;    // chawth
  int fixed = 0;                // fixspc
  double fixed_factor = 1.0;
  int hjust = 0, vjust = 0;     // LEFT CENT RIGH / TOP MIDD BOTT
  int frame = 0;                // frmess
  int background = -1;          // txtbgd
  double line_spacing = 1.5;    // linesp
  int shdcha = 0;               // outline glyphs filled (shdcha) -- always on for outline fonts
  // --- alphabets and codes
  int base_alphabet = kStan;
  int alphabet = kStan;
  int code_table = kCtStan;
  ShiftAlphabet shift[6];
  int shift_on = 0;             // shift alphabets active
  int mix_on = 0;               // exponent, index and reset characters active
  // Before newmix the characters are '[' ']' '$' (newmix gives '^' '_' '%'); a user's '^'
  // in a plain label therefore stays a '^'.
  int exp_ch = '[', ind_ch = ']', res_ch = '$', leg_ch = '|', tex_ch = '$';
  double exp_factor = 0.8;      // setexp
  double base_factor = 0.6;     // setbas
  int national[8] = {};         // eushft characters: GERM DANI SPAN FREN ACUT GRAV CIRC TURK
  int national_on = 0;
  // --- font
  int font = 1;                 // stroke font number (1, 3..7, 11..14)
  int font_kind = kStrokeFont;
  int ps_font = 0;              // index into the standard PostScript fonts
  char device_font[81] = "";
  int bitmap_font = 0;          // 1 COMP, 2 SIMP, 3 HELV
  std::shared_ptr<TrueTypeFont> ttf;
  std::shared_ptr<BitmapFont> bdf;
  // the PostScript font last selected on the device (index, size, width size)
  int ps_sel = -1;
  double ps_sel_size = 0, ps_sel_w = 0;
  // --- cursor and the flag of rlmess / rlnumb
  TextCursor cur;
  int user_position = 0;
  // --- numbers and TeX
  NumFormatState num;
  TexSettings tex;
};

}  // namespace tavero
