// What the core asks of every subsystem: its parameter reset, reset(name) for the names it
// owns, and the closing of phases that tavfin finds still open.
#pragma once

namespace tavero {

struct Context;

void reset_draw(Context& ctx);
void reset_text(Context& ctx);
void reset_axes(Context& ctx);
void reset_charts(Context& ctx);
void reset_contour(Context& ctx);
void reset_graph3d(Context& ctx);
void reset_maps(Context& ctx);
void reset_files(Context& ctx);
void reset_plots(Context& ctx);

// key: the four upper-case characters of the name; false when not owned.
bool reset_named_draw(Context& ctx, const char* key);
bool reset_named_text(Context& ctx, const char* key);
bool reset_named_axes(Context& ctx, const char* key);
bool reset_named_charts(Context& ctx, const char* key);
bool reset_named_contour(Context& ctx, const char* key);
bool reset_named_graph3d(Context& ctx, const char* key);
bool reset_named_maps(Context& ctx, const char* key);
bool reset_named_files(Context& ctx, const char* key);
bool reset_named_plots(Context& ctx, const char* key);

void close_phases_graph3d(Context& ctx);  // triangle buffer, z-buffer
void close_phases_drivers(Context& ctx);  // an image opened with imgini
void close_phases_draw(Context& ctx);     // an open buffered drawing group
void close_phases_files(Context& ctx);    // the PLY export

}  // namespace tavero
