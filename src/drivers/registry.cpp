#include "drivers/registry.h"

#include <cstring>

#include "drivers/factories.h"

namespace tavero {

namespace {

// Screen windows are opened by the window driver when it is available.
const DeviceEntry kDevices[] = {
    {"GKSL", 201, "met", FileKind::kText, make_metafile_driver},
    {"CGM ", 211, "cgm", FileKind::kBinary, make_cgm_driver},
    {"HPGL", 401, "hpg", FileKind::kText, make_hpgl_driver},
    {"HPA4", 402, "hpg", FileKind::kText, make_hpgl_driver},
    {"HPA3", 403, "hpg", FileKind::kText, make_hpgl_driver},
    {"HPA2", 404, "hpg", FileKind::kText, make_hpgl_driver},
    {"HPA1", 405, "hpg", FileKind::kText, make_hpgl_driver},
    {"CONS", 80, "   ", FileKind::kNone, make_screen_driver},
    {"POST", 501, "psc", FileKind::kText, make_ps_driver},
    {"PSCL", 502, "psc", FileKind::kText, make_ps_driver},
    {"EPS ", 503, "eps", FileKind::kText, make_ps_driver},
    {"PS  ", 504, "ps", FileKind::kText, make_ps_driver},
    {"PDF ", 511, "pdf", FileKind::kNone, make_pdf_driver},
    {"XWIN", 72, "   ", FileKind::kNone, make_screen_driver},
    {"XWI1", 72, "   ", FileKind::kNone, make_screen_driver},
    {"XWI2", 73, "   ", FileKind::kNone, make_screen_driver},
    {"XWI3", 74, "   ", FileKind::kNone, make_screen_driver},
    {"XWI4", 75, "   ", FileKind::kNone, make_screen_driver},
    {"XWI5", 76, "   ", FileKind::kNone, make_screen_driver},
    {"XWI6", 77, "   ", FileKind::kNone, make_screen_driver},
    {"XWI7", 78, "   ", FileKind::kNone, make_screen_driver},
    {"XWI8", 79, "   ", FileKind::kNone, make_screen_driver},
    {"XWND", 80, "   ", FileKind::kNone, make_screen_driver},
    {"GL  ", 81, "   ", FileKind::kNone, nullptr},
    {"TIFF", 601, "tif", FileKind::kBinary, make_raster_driver},
    {"IMAG", 602, "img", FileKind::kBinary, make_raster_driver},
    {"VIRT", 603, "   ", FileKind::kNone, make_raster_driver},
    {"PNG ", 604, "png", FileKind::kBinary, make_raster_driver},
    {"PPM ", 605, "ppm", FileKind::kBinary, make_raster_driver},
    {"BMP ", 606, "bmp", FileKind::kBinary, make_raster_driver},
    {"GIF ", 607, "gif", FileKind::kBinary, make_raster_driver},
    {"JAVA", 701, "java", FileKind::kText, make_java_driver},
    {"WMF ", 221, "wmf", FileKind::kNone, make_wmf_driver},
    {"EMF ", 231, "emf", FileKind::kNone, make_emf_driver},
    {"SVG ", 801, "svg", FileKind::kText, make_svg_driver},
    {"IPE ", 802, "ipe", FileKind::kText, make_ipe_driver},
};

inline char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const DeviceEntry* find_device_keyword(const char* option) {
  char key[5] = "    ";
  for (int i = 0; i < 4 && option && option[i]; ++i) key[i] = up(option[i]);
  for (const DeviceEntry& e : kDevices)
    if (std::memcmp(e.keyword, key, 4) == 0) return &e;
  return nullptr;
}

const DeviceEntry* find_device(int code) {
  for (const DeviceEntry& e : kDevices)
    if (e.code == code) return &e;
  return nullptr;
}

}  // namespace tavero
