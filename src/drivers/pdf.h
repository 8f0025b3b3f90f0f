// Entries of the PDF driver for the other subsystems: standard fonts and text (device fonts),
// images and forms as XObjects, and the finished document of buffer output.
//
// All entries take the context record and do nothing (returning false or 0) unless the open
// device is the PDF driver. Coordinates of text are device units (points, y upwards, as the
// driver receives lines); images are placed by absolute plot coordinates so that turned
// pages need no care from the caller.
#pragma once
#include <cstdint>
#include <string>

#include "core/context.h"

namespace tavero {

// --- the 35 standard fonts, in the order of the psfont table
inline constexpr int kPdfFontCount = 35;
// Index 0..34 of a standard font name (case-insensitive), or -1.
int pdf_font_index(const char* name);
const char* pdf_font_name(int index);
// Ascender of the font in 1/1000 em (for the character size of psfont).
int pdf_font_ascender(int index);

// Writes text in a standard font: `size` in points, `hscale` horizontal scaling in percent
// (100 = normal), (x, y) the start of the baseline, `angle` in degrees counterclockwise on the
// device (a turned page needs 90 more). The bytes are WinAnsi codes (Symbol and ZapfDingbats:
// their own); the font becomes a resource of the page.
bool pdf_show_text(Context& ctx, int font, double size, double hscale, double x, double y,
                   double angle, const char* text, int n);

// --- images. Pixels run row by row from the top row; `rgb` holds 3 bytes per pixel, or one
// palette index per pixel when `palette` is given (ncolors entries 0x00RRGGBB). With
// white_transparent, white pixels are not painted.
struct PdfImage {
  int width = 0, height = 0;
  const uint8_t* pixels = nullptr;
  const uint32_t* palette = nullptr;
  int ncolors = 0;
  bool white_transparent = false;
};
// Writes the image as an XObject (Flate compressed unless compression is off); returns its
// number (1, 2, ...) or 0 when the device is not PDF or the image is unusable.
int pdf_add_image(Context& ctx, const PdfImage& image);
// Paints image `number` into the rectangle between two corners in absolute plot coordinates
// (x1, y1 upper left, x2, y2 lower right as seen on the page).
bool pdf_place_image(Context& ctx, int number, double x1, double y1, double x2, double y2);

// --- forms: everything drawn between begin and end becomes one form XObject that is painted
// where begin was called (a group of drawing, e.g. for fills that belong together).
bool pdf_begin_form(Context& ctx);
bool pdf_end_form(Context& ctx);

// The document finished in buffer output (pdfmod "ON", "BUFF") of the record's last run;
// empty when there is none.
const std::string& pdf_document(const Context& ctx);

}  // namespace tavero
