// Parameter reset of the maps: all settings (tavini, reset "ALL") and single groups by name.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

// The projection callback belongs to the binding and the active map system to the open axis
// system: both outlive a parameter reset.
void reset_maps(Context& ctx) {
  MapState fresh;
  fresh.user = ctx.maps.user;
  if (ctx.core.level >= 2) {
    fresh.sys = ctx.maps.sys;
  } else {
    ctx.dev.map_projection = 0;
    ctx.dev.map_circle = 0;
  }
  ctx.maps = fresh;
}

bool reset_named_maps(Context& ctx, const char* key) {
  MapState& m = ctx.maps;
  const MapState d;
  auto is = [key](const char* name) { return std::memcmp(key, name, 4) == 0; };
  if (is("MAPD")) {  // map data: base map, user file and level
    m.base = d.base;
    m.file[0] = 0;
    m.file_type = d.file_type;
    m.level = d.level;
  } else if (is("MAPM")) {
    m.mode = d.mode;
  } else if (is("MAPP")) {
    m.pol_lon = d.pol_lon;
    m.pol_lat = d.pol_lat;
  } else if (is("MAPR")) {
    m.ref_set = 0;
    m.ref1 = m.ref2 = 0;
  } else if (is("MAPS")) {
    m.sph = d.sph;
  } else if (is("MPLA")) {
    m.label_angle = d.label_angle;
  } else if (is("MPLC")) {
    m.label_bg = d.label_bg;
    m.label_fg = d.label_fg;
  } else if (is("MPLS")) {
    m.label_size = d.label_size;
  } else if (is("PROJ")) {
    m.proj = d.proj;
  } else {
    return false;
  }
  return true;
}

}  // namespace tavero
