// Factories of the drivers, one per format (defined in the format's own file). A factory
// returns null while its format is not available; tavini then reports message 40.
#pragma once
#include "drivers/driver.h"

namespace tavero {

Driver* make_metafile_driver(Context& ctx);
Driver* make_cgm_driver(Context& ctx);
Driver* make_hpgl_driver(Context& ctx);
Driver* make_screen_driver(Context& ctx);
Driver* make_ps_driver(Context& ctx);
Driver* make_pdf_driver(Context& ctx);
Driver* make_raster_driver(Context& ctx);
Driver* make_java_driver(Context& ctx);
Driver* make_wmf_driver(Context& ctx);
Driver* make_emf_driver(Context& ctx);
Driver* make_svg_driver(Context& ctx);
Driver* make_ipe_driver(Context& ctx);

}  // namespace tavero
