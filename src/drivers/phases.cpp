#include "core/context.h"
#include "core/subsystems.h"
#include "drivers/raster_driver.h"

namespace tavero {

void close_phases_drivers(Context& ctx) { close_image_phase(ctx); }

}  // namespace tavero
