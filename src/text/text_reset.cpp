// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_text(Context& ctx) { ctx.text = {}; }

bool reset_named_text(Context&, const char*) { return false; }

}  // namespace tavero
