// Routine entry: every public routine begins with enter(R::name), which returns the context
// record, records the routine's name for messages and enforces the routine's level range
// (from the method table). A null result means: return at once without effect.
#pragma once
#include "core/context.h"
#include "routines.h"

namespace tavero {

// Ranged entry: the record when lo <= level <= hi, else warning 3 and null.
Context* enter_checked(int lo, int hi, const char* name);
// Parameter entry: always a record; warns "Incorrect level" outside 1..3.
Context* enter_routine(const char* name);
// Entry by routine id: ranged, parameter or none as the method table says.
Context* enter(R r);
// 0 when lo <= value (and value <= hi when lo <= hi); else warning 2 with the value and 1.
int check_range(Context& ctx, int value, int lo, int hi);

inline const char* routine_name(R r) { return kRoutines[static_cast<int>(r)].name; }

}  // namespace tavero
