// Settings of the output drivers that are given before tavini (or at any level) and kept in
// the context record: PostScript page structure, PDF options, raster resolutions and modes.
#pragma once
#include <cstdint>
#include <string>

namespace tavero {

struct DriverSettings {
  int psmode = 0;                 // NONE GREE ITAL BOTH (device fonts for alphabets)
  int ps_single = 0;              // MULT 0, SING 1
  std::string psmeta;             // extra header line
  int pdf_compress = 1;           // pdfmod COMP
  int pdf_buffer = 0;             // pdfmod BUFF
  int bmp_resolution = 2500;
  int bmp_unit = 0;
  int tif_resolution = 100;
  int tif_unit = 2;
  int png_transparent = 0;
  int gif_transparent = 0;
  int line_smooth = 0;            // linmod
  int x11_mode = 0;
  int window_type = 0;
  int hpgl_mode = 0;
  int cgm_version = 0;
  int wmf_mode = 0;
};

}  // namespace tavero
