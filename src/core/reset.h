// The parameter reset of tavini and the routine reset(name).
#pragma once
#include "core/context.h"

namespace tavero {

// Every parameter of every subsystem back to its default (run by tavini after the device is
// open, and by reset("ALL")).
void reset_all(Context& ctx);
// reset(name): the parameters of one routine; warning 2 for an unknown name.
void reset_by_name(Context& ctx, const char* name);
// tavfin closes what is still open, in order: the triangle buffer of the surface routines,
// the z-buffer, an image of imgini, an open buffered drawing group, the PLY export.
void finish_open_phases(Context& ctx);

}  // namespace tavero
