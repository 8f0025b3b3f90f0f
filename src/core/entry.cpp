#include "core/entry.h"

#include "core/messages.h"
#include "core/strutil.h"

namespace tavero {

Context* enter_checked(int lo, int hi, const char* name) {
  int status = 0;
  Context* ctx = context_manager(CtxOp::kGet, status);
  copy_field(ctx->core.routine, name);
  int lev = ctx->core.level;
  if (lo <= lev && lev <= hi) return ctx;
  if (lev == 0) ctx->core.message_unit = 6;
  warn_number(*ctx, kMsgIncorrectLevel, lev);
  return nullptr;
}

Context* enter_routine(const char* name) {
  if (Context* ctx = current_context()) {
    copy_field(ctx->core.routine, name);
    int lev = ctx->core.level;
    if (lev < 1 || lev > 3) warn_number(*ctx, kMsgIncorrectLevel, lev);
    return ctx;
  }
  enter_checked(1, 3, name);
  return current_context();
}

Context* enter(R r) {
  const RoutineInfo& info = kRoutines[static_cast<int>(r)];
  switch (info.kind) {
    case EntryKind::kParam:
      return enter_routine(info.name);
    case EntryKind::kNone: {
      int status = 0;
      return context_manager(CtxOp::kGet, status);
    }
    case EntryKind::kRanged:
      break;
  }
  return enter_checked(info.lo, info.hi, info.name);
}

int check_range(Context& ctx, int value, int lo, int hi) {
  if (value < lo || (lo <= hi && value > hi)) {
    warn_number(ctx, kMsgIncorrectParameter, value);
    return 1;
  }
  return 0;
}

}  // namespace tavero
