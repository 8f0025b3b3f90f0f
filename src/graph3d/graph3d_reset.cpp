// Parameter reset of the 3-D graphics, reset(name) for its routines, and the end of the
// buffers that tavfin finds open.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"

namespace tavero {

Graph3dBuffers::Graph3dBuffers() = default;
Graph3dBuffers::~Graph3dBuffers() = default;
Graph3dBuffers::Graph3dBuffers(Graph3dBuffers&&) noexcept = default;
Graph3dBuffers& Graph3dBuffers::operator=(Graph3dBuffers&&) noexcept = default;

void reset_graph3d(Context& ctx) {
  Graph3dState& g = ctx.g3d;
  g.p = Graph3dParams{};
  const double id[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  std::memcpy(g.obj, id, sizeof id);
  g.obj_on = 0;
  // an active axis system (reset("ALL") at level 3) keeps its view and scaling
  if (ctx.core.level < 3 && !g.sys.plane) g.sys = Graph3dSystem{};
}

bool reset_named_graph3d(Context& ctx, const char* key) {
  Graph3dParams& p = ctx.g3d.p;
  const Graph3dParams def;
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("AX3L")) {
    ctx.axes.len[0] = ctx.core.axis_len_default_x;
    ctx.axes.len[1] = ctx.axes.len[2] = ctx.core.axis_len_default_y;
    p.zlen = def.zlen;
  } else if (is("FLAB")) {
    p.flab = def.flab;
  } else if (is("NOHI")) {
    p.no_hide = def.no_hide;
  } else if (is("SHLS")) {
    p.keep_hidden = def.keep_hidden;
    horizon_remove(ctx);
  } else if (is("SURC")) {
    p.sur_color_on = def.sur_color_on;
    p.color_top = def.color_top;
    p.color_bottom = def.color_bottom;
  } else if (is("SURS")) {
    p.size_on = def.size_on;
  } else if (is("SURV")) {
    p.visible = def.visible;
  } else if (is("VIEW")) {
    p.view_mode = def.view_mode;
  } else {
    return false;
  }
  return true;
}

void close_buffers(Context& ctx) {
  if (ctx.g3d.buf.polys) polygon_buffer_close(ctx);
  if (ctx.g3d.buf.zbuf) zbuffer_close(ctx);
  horizon_remove(ctx);
  Horizon& h = ctx.g3d.buf.horizon;
  h.upper.clear();
  h.upper.shrink_to_fit();
  h.lower.clear();
  h.lower.shrink_to_fit();
  if (ctx.g3d.sys.plane) plane_off(ctx);
  ctx.g3d.sys = Graph3dSystem{};
}

void close_phases_graph3d(Context& ctx) { close_buffers(ctx); }

void graph3d_end_system(Context& ctx) {
  if (ctx.axes.kind != kKind3d && !(ctx.axes.kind == kKindGraf && ctx.g3d.sys.colour_system))
    return;  // a 2-D system drawn inside a plane ends, the 3-D system stays
  if (ctx.g3d.sys.plane) plane_off(ctx);
  horizon_remove(ctx);
  ctx.g3d.sys.active = 0;
  ctx.g3d.sys.colour_system = 0;
}

}  // namespace tavero
