#include "core/reset.h"

#include <cstring>

#include "core/keywords.h"
#include "core/messages.h"
#include "core/subsystems.h"
#include "drivers/x11.h"

namespace tavero {

namespace {

// The 133 names accepted by reset, in table order.
const char* const kResetNames =
    "ALL +ANGL+AUTR+AX3L+AXCL+AXEN+AXIS+AXSL+AXSP+BARD+BARG+BARP+BART+BARW+BASA+CENT+CHAA+"
    "CHAS+CHAW+CHNC+CHNP+CIRC+CLPB+CLPM+CLPW+CLRC+COLM+COLO+COLR+CONC+CONG+CONM+DIGI+EUSH+"
    "EXPZ+FILB+FILC+FIXS+FLAB+FRAM+FRME+GAPC+GRAC+HEIG+HNAM+HTIT+IANG+IMGC+INTA+LABC+LABD+"
    "LABE+LABJ+LABP+LABT+LEGC+LEGE+LFTT+LINC+LINS+LOGT+MAPD+MAPM+MAPP+MAPR+MAPS+MDFM+MIXA+"
    "MIXL+MPLA+MPLC+MPLS+MYLA+NAMD+NAME+NEGL+NEWM+NOAR+NOBA+NOBG+NOCH+NOCL+NOFI+NOGR+NOHI+"
    "NOLI+NUMF+NUMO+ORIG+PATC+PIEC+PIEE+PIEL+PIEV+POLC+PROJ+PSME+RGTL+RVYN+SCAL+SETB+SETC+"
    "SETE+SETG+SETM+SETR+SETS+SHDC+SHDP+SHIE+SHLS+SMXA+SPLM+SURC+SURS+SURV+SYMR+THKC+TICK+"
    "TICL+TICP+TIMO+TITL+UNIT+VIEW+VKXB+VKYB+VKYT+WIDB+WIND+WINM+WINS+ZSCA";

void reset_core(Context& ctx) {
  CoreState& c = ctx.core;
  c.origin_x = c.origin_y = 0;
  c.message_stream = c.error_file_open ? c.error_file : nullptr;
  c.message_unit = c.error_file_open ? 17 : 6;
  c.warnings_on = 1;
  c.protocol_mode = 1;
}

bool reset_named_core(Context& ctx, const char* key) {
  if (std::memcmp(key, "ORIG", 4) == 0) {
    ctx.core.origin_x = ctx.core.origin_y = 0;
    return true;
  }
  if (std::memcmp(key, "PSME", 4) == 0) {
    ctx.drv.psmeta.clear();
    return true;
  }
  if (std::memcmp(key, "UNIT", 4) == 0) {
    ctx.core.message_unit = ctx.core.error_file_open ? 17 : 6;
    ctx.core.message_stream = ctx.core.error_file_open ? ctx.core.error_file : nullptr;
    return true;
  }
  return false;
}

}  // namespace

void reset_all(Context& ctx) {
  reset_core(ctx);
  reset_draw(ctx);
  reset_text(ctx);
  reset_axes(ctx);
  reset_charts(ctx);
  reset_contour(ctx);
  reset_graph3d(ctx);
  reset_maps(ctx);
  reset_files(ctx);
  reset_plots(ctx);
}

void reset_by_name(Context& ctx, const char* name) {
  int count = keyword_count(kResetNames);
  int k = lookup_keyword(ctx, kResetNames, count, name);
  if (!k) return;
  if (k == 1) {
    reset_all(ctx);
    return;
  }
  const char* key = kResetNames + 5 * (k - 1);
  using Fn = bool (*)(Context&, const char*);
  static const Fn kOwners[] = {reset_named_core,    reset_named_screen, reset_named_draw,  reset_named_text,
                               reset_named_axes,    reset_named_charts, reset_named_contour,
                               reset_named_graph3d, reset_named_maps,  reset_named_files,
                               reset_named_plots};
  for (Fn f : kOwners)
    if (f(ctx, key)) return;
}

void finish_open_phases(Context& ctx) {
  close_phases_graph3d(ctx);
  close_phases_drivers(ctx);
  close_phases_draw(ctx);
  close_phases_files(ctx);
}

}  // namespace tavero
