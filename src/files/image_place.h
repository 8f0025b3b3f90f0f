// Painting decoded pixels onto the page of any device: straight into the image of a raster
// device, as an image object on PDF pages, and as runs of filled rectangles elsewhere.
#pragma once
#include <cstdint>

#include "core/context.h"

namespace tavero {

// w x h pixels of 4 bytes (red, green, blue, alpha), rows from the top, `stride` bytes from
// one row to the next.
struct PixelBlock {
  const uint8_t* rgba = nullptr;
  int width = 0, height = 0;
  long long stride = 0;
};

// Paints the block into the rectangle between (x1, y1), its upper left corner, and
// (x2, y2), its lower right corner, in plot coordinates relative to the origin shift.
// Pixels with alpha below 128 are left out on devices that cannot blend.
void paint_image(Context& ctx, const PixelBlock& block, double x1, double y1, double x2, double y2);

}  // namespace tavero
