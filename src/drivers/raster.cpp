// Not built yet: the format is reported as unavailable.
#include "drivers/factories.h"

namespace tavero {

Driver* make_raster_driver(Context&) { return nullptr; }

}  // namespace tavero
