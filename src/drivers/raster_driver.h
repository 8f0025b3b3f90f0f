// The image buffer of a context record and what draws into it: the raster devices
// (601 .. 607) paint their page into it, and imgini opens it on any other device so that the
// pixel routines have something to work on. One buffer per record, created on first use.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"
#include "drivers/raster/encode.h"
#include "drivers/raster/image.h"
#include "drivers/raster/raster.h"

namespace tavero {

struct RasterStore {
  raster::Image img;
  raster::Paint paint;            // current colour as the rasterisers take it
  raster::StrokeStyle style;      // width in pixels, cap, join, smoothing
  bool device = false;            // the open device is a raster device; img is its page
  bool phase = false;             // between imgini and imgfin
  bool own = false;               // img was made by imgini (the device has no image buffer)
  bool tpr = false;               // between tprini and tprfin
  // placement of an imgini image on the page (plot units, origin not added)
  double box_x = 0, box_y = 0, box_w = 1, box_h = 1;
  // the pixel routines' clip (imgclp) while the phase is open
  raster::Rect pixel_clip{0, 0, -1, -1};
};

// The record's store, created on first use; null after message 53.
RasterStore* raster_store(Context& ctx);

// Export dispatcher formats beyond the encoders' own numbers.
enum : int { kExportPostScript = 8, kExportPdf = 9 };

// Encodes the current image (or the tifwin window of it) in an export format into `out`.
// Returns a raster::Status; the caller reports it.
int encode_export(Context& ctx, int format, std::vector<uint8_t>& out);

// tavfin: an image still open from imgini is finished (painted onto the page of a device
// without an image buffer) and transparency ends.
void close_image_phase(Context& ctx);

}  // namespace tavero
