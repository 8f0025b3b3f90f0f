// The caller's projection ("MYPR"): a callback that maps longitude and latitude to offsets.
#include "core/entry.h"
#include "core/keywords.h"
#include "tavero_api.h"

namespace tavero {

void setcbk(CoordCallback func, const char* copt) {
  Context* ctx = enter(R::setcbk);
  if (!ctx) return;
  if (!lookup_keyword(*ctx, "MYPR", 1, copt)) return;
  ctx->maps.user = func;
}

}  // namespace tavero
