// Parameter reset of the further plot types: at tavini and reset("ALL") every option and the
// region store; reset("SHIE") the automatic shielded regions.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"
#include "plots/shield.h"

namespace tavero {

void reset_plots(Context& ctx) {
  ctx.plots.vec = VectorOptions{};
  ctx.plots.stm = StreamOptions{};
  shield_clear(ctx);
}

bool reset_named_plots(Context& ctx, const char* key) {
  if (std::memcmp(key, "SHIE", 4) == 0) {
    shield_reset_auto(ctx);
    return true;
  }
  return false;
}

}  // namespace tavero
