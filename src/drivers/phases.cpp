#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

// An image opened with imgini is finished by the raster driver when it is built.
void close_phases_drivers(Context&) {}

}  // namespace tavero
