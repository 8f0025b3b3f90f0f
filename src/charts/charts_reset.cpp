// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_charts(Context& ctx) { ctx.charts = {}; }

bool reset_named_charts(Context&, const char*) { return false; }

}  // namespace tavero
