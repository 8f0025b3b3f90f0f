// The state of one string while the engine draws or measures it. Text space: u along the
// text from the start of the string, v up from the base line; a text-space point (u, v)
// lies on the page at (bx + u cos a - v sin a, by - u sin a - v cos a).
#pragma once
#include <string>

#include "core/context.h"
#include "text/engine.h"

namespace tavero {

class TextRun {
 public:
  TextRun(Context& ctx, bool draw, double bx, double by);

  // One code through instruction collection, exponent/index/reset and shift alphabets.
  void put(int code);
  // One character: code in the code table, drawn from `alphabet` (or the current one, 0).
  void character(int code, int alphabet = 0);
  // One code of an alphabet, already mapped (32 = blank).
  void glyph(int alphabet, int code);
  // Advance that glyph() would make for the code, gap included (nothing drawn or moved).
  double advance_of(int alphabet, int code, double* gap = nullptr);
  // Gap after a character of the current alphabet.
  double current_gap();
  // A straight line in text space (fraction bars, roots, strike-through).
  void line(double u1, double v1, double u2, double v2);
  // Ends the string: colour restored, extent complete.
  TextExtent finish();

  // Exponent, index and reset of the shift characters.
  void raise();
  void lower();
  void reset_base();

  void to_page(double u, double v, double& x, double& y) const {
    x = bx + u * ca - v * sa;
    y = by - u * sa - v * ca;
  }
  // Extends the extent with the current height at the current vertical shift.
  void note_height(double hh);

  Context& ctx;
  TextState& ts;
  bool draw;
  double bx, by, ca, sa;
  double u = 0;            // advance from the string start
  double s = 0;            // vertical shift of the base line
  int h;                   // current height
  int hstart;              // height at the start of the string
  int alphabet, base_alphabet;
  double wf, spc, shear;
  bool fixed;
  double fixfac;
  bool italic = false;     // TeX italic letters
  double maxlen = 0, top = 0, bottom = 0, last_gap = 0;
  int colour_start;
  bool colour_changed = false;
  double tabs[20] = {};
  bool collecting = false;
  std::string inst;
  int active_shift = -1;
  bool any_char = false;

 private:
  void stroke_glyph(int alph, int code, double& adv, double& gap);
  void execute_instruction();
};

// Device fonts (devfont.cpp): draws or measures one character with the selected device font.
// Returns false when the device font does not serve this alphabet or code (the stroke font
// takes it); otherwise sets the advance without gap and the gap.
bool device_glyph(TextRun& r, int alph, int code, double& width, double& gap);

// Fills a polygon (plot units, origin not added) with the current colour and a solid pattern,
// or with the current pattern after shdcha.
void fill_glyph_polygon(Context& ctx, const double* x, const double* y, int n);

}  // namespace tavero
