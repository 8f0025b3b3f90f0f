// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_axes(Context& ctx) { ctx.axes = {}; }

bool reset_named_axes(Context&, const char*) { return false; }

}  // namespace tavero
