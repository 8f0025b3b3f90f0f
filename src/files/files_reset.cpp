// Parameter reset of this subsystem (grows as the subsystem is built).
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_files(Context& ctx) { ctx.files = {}; }

bool reset_named_files(Context&, const char*) { return false; }

void close_phases_files(Context&) {}
}  // namespace tavero
