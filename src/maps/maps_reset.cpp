// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_maps(Context& ctx) { ctx.maps = {}; }

bool reset_named_maps(Context&, const char*) { return false; }

}  // namespace tavero
