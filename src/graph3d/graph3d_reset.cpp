// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_graph3d(Context& ctx) { ctx.g3d = {}; }

bool reset_named_graph3d(Context&, const char*) { return false; }

void close_phases_graph3d(Context&) {}
}  // namespace tavero
