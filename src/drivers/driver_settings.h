// Settings of the output drivers that are given before tavini (or at any level) and kept in
// the context record: PostScript page structure, PDF options, raster resolutions and modes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace tavero {

struct RasterStore;  // the image buffer and its pen (drivers/raster_driver.h)
struct ScreenStore;  // the screen windows, kept across plots (drivers/x11.h)

struct DriverSettings {
  int psmode = 0;                 // NONE GREE ITAL BOTH (device fonts for alphabets)
  int ps_single = 0;              // MULT 0, SING 1
  std::string psmeta;             // extra header line
  int pdf_compress = 1;           // pdfmod COMP
  int pdf_buffer = 0;             // pdfmod BUFF
  std::string pdf_document;       // the finished document of buffer output, for pdfbuf
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
  // export window of the image files (tifwin, tiforg): pixels; width 0 = the whole image
  int tif_x = 0, tif_y = 0, tif_w = 0, tif_h = 0;
  // images opened by imgini on devices without an image buffer
  int img_mode = 1;               // imgmod: 0 INDE, 1 RGB
  int img_w = 0, img_h = 0;       // imgsiz; 0 = the window size
  int img_box[4] = {0, 0, 0, 0};  // imgbox x, y, w, h in plot units; w 0 = the page
  int img_clip[4] = {0, 0, 0, 0}; // imgclp x, y, w, h in pixels; w 0 = no clip
  int img_transparent = -1;       // imgtpr: colour index not painted by imgfin
  double tpr_alpha = 0.5;         // tprval: opacity of drawing between tprini and tprfin
  int tpr_lines = 1, tpr_fills = 1;  // tprmod
  // created on first use and kept with the record (one image per record)
  std::shared_ptr<RasterStore> raster;
  // CGM: background colour of the pictures (cgmbgd) and the picture name (cgmpic)
  int cgm_bg_set = 0;
  uint8_t cgm_bg[3] = {255, 255, 255};
  std::string cgm_picture;
  // screen windows
  int win_mode = 0;               // winmod: FULL NOER NONE NOHO DELA NOMB
  int win_key = 0;                // winkey: NONE RETU ESCA
  int win_delay_ms = 0;           // winopt
  int win_just = 0;               // winjus: NONE CENT UL UR LL LR
  std::string win_title;          // wintit before the window exists
  std::string win_icon;           // winico
  int win_page_w = 0, win_page_h = 0;  // pagwin: drawing page of the window in pixels
  int ext_xid = 0, ext_xid_kind = 0;  // setxid: drawable of the caller (1 window, 2 pixmap)
  int csr_type = 1;               // csrtyp: ARRO CROS HAIR
  int csr_pixels = 0;             // csruni: 0 plot units, 1 window pixels
  int csr_echo = 0, csr_warp = 1; // csrmod: ECHO and WARP items
  std::shared_ptr<ScreenStore> screen;
};

}  // namespace tavero
