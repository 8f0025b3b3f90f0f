// Parameter reset of the axis systems: everything back to its default at tavini, and the
// parameters of one routine for reset(name).
#include <cmath>
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

namespace {

// Layout defaults come from the page that tavini has just measured.
void reset_layout(Context& ctx) {
  AxisState& a = ctx.axes;
  a.len[0] = ctx.core.axis_len_default_x;
  a.len[1] = ctx.core.axis_len_default_y;
  a.len[2] = ctx.core.axis_len_default_y;
}

void reset_position(Context& ctx) {
  ctx.axes.pos_x = ctx.core.axis_pos_default_x;
  ctx.axes.pos_y = ctx.core.axis_pos_default_y;
  ctx.axes.pos_is_origin = 0;
}

template <typename F>
void each_axis(Context& ctx, F f) {
  const AxisParams def;
  for (AxisParams& p : ctx.axes.ax) f(p, def);
}

}  // namespace

void reset_axes(Context& ctx) {
  AxisState& a = ctx.axes;
  // the base date of basdat may be set before tavini; an active axis system (reset("ALL")
  // inside graf ... endgrf) keeps its scaling
  AxisState keep = a;
  a = AxisState{};
  a.base_set = keep.base_set;
  a.base_day = keep.base_day;
  if (ctx.core.level >= 2) {
    a.kind = keep.kind;
    for (int i = 0; i < 3; ++i) a.sc[i] = keep.sc[i];
    a.crossed = keep.crossed;
    a.cross_x = keep.cross_x;
    a.cross_y = keep.cross_y;
    a.polar_cx = keep.polar_cx;
    a.polar_cy = keep.polar_cy;
    a.polar_r = keep.polar_r;
    a.polar_f = keep.polar_f;
    a.polar_a0 = keep.polar_a0;
    a.polar_dir = keep.polar_dir;
    a.smith_admittance = keep.smith_admittance;
    a.convert = keep.convert;
    a.invert = keep.invert;
  }
  reset_layout(ctx);
  reset_position(ctx);
  a.con_labdis = static_cast<int>(std::lround(500.0 / ctx.core.unit_factor));
}

bool reset_named_axes(Context& ctx, const char* key) {
  AxisState& a = ctx.axes;
  const AxisState def;
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("AUTR")) {
    a.autres_on = 0;
    a.autres_x = a.autres_y = 0;
  } else if (is("AXCL")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) {
      p.clr_line = d.clr_line;
      p.clr_tick = d.clr_tick;
      p.clr_label = d.clr_label;
      p.clr_name = d.clr_name;
    });
  } else if (is("AXEN")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.axends = d.axends; });
  } else if (is("AXSL")) {
    reset_layout(ctx);
  } else if (is("AXSP")) {
    reset_position(ctx);
  } else if (is("CENT")) {
    a.center = 0;
  } else if (is("DIGI") || is("LABD") || is("INTA")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.digits = d.digits; });
    if (is("LABD")) {
      a.bar_digits = def.bar_digits;
      a.con_digits = def.con_digits;
      a.pie_data_digits = def.pie_data_digits;
      a.pie_percent_digits = def.pie_percent_digits;
    }
  } else if (is("FRAM")) {
    a.frame = def.frame;
  } else if (is("GRAC")) {
    a.grace = def.grace;
  } else if (is("HNAM")) {
    a.hname = def.hname;
  } else if (is("HTIT")) {
    a.htitle = def.htitle;
  } else if (is("LABC")) {
    a.bar_label_color = a.pie_label_color = a.con_label_color = -1;
  } else if (is("LABE")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.label = d.label; });
    a.bar_label = def.bar_label;
    a.pie_label = def.pie_label;
    a.con_label = def.con_label;
  } else if (is("LABJ")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.labjus = d.labjus; });
  } else if (is("LABP")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) {
      p.labpos = d.labpos;
      p.labpos_polar = d.labpos_polar;
    });
    a.bar_labpos = def.bar_labpos;
  } else if (is("LABT")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.labtyp = d.labtyp; });
    a.bar_labtyp = def.bar_labtyp;
    a.pie_labtyp = def.pie_labtyp;
  } else if (is("LFTT")) {
    a.titjus = def.titjus;
  } else if (is("LOGT")) {
    a.logtic = def.logtic;
  } else if (is("MYLA")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams&) {
      p.nmylab = 0;
      std::memset(p.mylab, 0, sizeof p.mylab);
    });
  } else if (is("NAMD")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.namdis = d.namdis; });
  } else if (is("NAME")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams&) { p.name[0] = 0; });
  } else if (is("NEGL")) {
    a.neglog_on = 0;
    a.neglog = 0;
  } else if (is("NOBA")) {
    a.bar.shown = def.bar.shown;
  } else if (is("NOFI")) {
    a.nofill = 0;
  } else if (is("VKXB")) {
    a.bar.shift_x = def.bar.shift_x;
  } else if (is("VKYB")) {
    a.bar.shift_y = def.bar.shift_y;
  } else if (is("VKYT")) {
    a.bar.title_shift = def.bar.title_shift;
  } else if (is("WIDB")) {
    a.bar.width = def.bar.width;
  } else if (is("NOCH")) {
    a.nochek = 0;
  } else if (is("NOGR")) {
    a.nograf = 0;
  } else if (is("NOLI")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams&) { p.noline = 0; });
  } else if (is("RGTL")) {
    a.rgtlab = 0;
  } else if (is("RVYN")) {
    a.rvynam = 0;
  } else if (is("SCAL")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams&) { p.log = 0; });
  } else if (is("SETG")) {
    std::memcpy(a.setgrf, def.setgrf, sizeof a.setgrf);
    a.ax2grf = 0;
  } else if (is("SETS")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams&) { p.auto_on = 0; });
  } else if (is("TICK")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.ticks = d.ticks; });
  } else if (is("TICL")) {
    a.ticlen_major = def.ticlen_major;
    a.ticlen_minor = def.ticlen_minor;
  } else if (is("TICP")) {
    each_axis(ctx, [](AxisParams& p, const AxisParams& d) { p.ticpos = d.ticpos; });
  } else if (is("TIMO")) {
    a.timopt = 0;
  } else if (is("TITL")) {
    std::memset(a.title, 0, sizeof a.title);
    std::memset(a.title_underline, 0, sizeof a.title_underline);
  } else {
    return false;
  }
  return true;
}

}  // namespace tavero
