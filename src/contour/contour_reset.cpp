// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_contour(Context& ctx) { ctx.contour = {}; }

bool reset_named_contour(Context&, const char*) { return false; }

}  // namespace tavero
