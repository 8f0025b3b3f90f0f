// Area fill: shading patterns, the hardware polygon fill and the software hatcher.
#pragma once
#include "core/context.h"

namespace tavero {

// Decodes a pattern number (shdpat value or mypat code) into the fill state.
void set_fill_pattern(Context& ctx, int pattern);
void reset_fill(Context& ctx);
void reset_fill_pattern(Context& ctx);
void reset_fill_cycle(Context& ctx);

}  // namespace tavero
