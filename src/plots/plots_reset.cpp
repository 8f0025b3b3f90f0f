// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_plots(Context& ctx) { ctx.plots = {}; }

bool reset_named_plots(Context&, const char*) { return false; }

}  // namespace tavero
