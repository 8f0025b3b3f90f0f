// Parameter reset of the data-file routines. Open files (FITS, binary units) and an enabled
// PLY export outlive tavini: they are opened independently of the plot.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"
#include "files/ply.h"

namespace tavero {

void reset_files(Context& ctx) {
  FileState& f = ctx.files;
  for (int& v : f.box) v = 0;
  for (int& v : f.win) v = 0;
  f.colour_mode = 0;
}

bool reset_named_files(Context& ctx, const char* key) {
  if (std::memcmp(key, "FILB", 4) == 0) {
    for (int& v : ctx.files.box) v = 0;
    return true;
  }
  if (std::memcmp(key, "FILC", 4) == 0) {
    ctx.files.colour_mode = 0;
    return true;
  }
  return false;
}

void close_phases_files(Context& ctx) { ply_finish(ctx); }

}  // namespace tavero
