// Fields of the context record owned by the maps, with their creation defaults: the settings
// of projections, base maps and map labels, and the projection of the active map axis system.
#pragma once
#include "core/callbacks.h"

namespace tavero {

struct Context;

inline constexpr int kMapFileLen = 256;

// Projection codes of projct; the families are told apart by code ranges.
enum MapProjection : int {
  kProjCyli = 0, kProjMerc = 1, kProjExac = 2, kProjCorr = 3, kProjUtm = 4, kProjObli = 5,
  kProjEqua = 6,
  kProjMoll = 10, kProjAito = 11, kProjHamm = 12, kProjWink = 13, kProjSans = 14,
  kProjElli = 15,
  kProjConf = 20, kProjAlbe = 21, kProjPoly = 22, kProjConi = 23,
  kProjGnom = 30, kProjOrth = 31, kProjSter = 32, kProjAzim = 33, kProjLamb = 34,
  kProjUser = 100
};

inline bool proj_cylindrical(int p) { return p >= 0 && p <= 9; }
inline bool proj_pseudo(int p) { return p >= 10 && p <= 19; }
inline bool proj_conic(int p) { return p >= 20 && p <= 29; }
inline bool proj_azimuthal(int p) { return p >= 30 && p <= 39; }

// The projection of the active map axis system, derived by grafmp.
struct MapSystem {
  int active = 0;
  int code = 0;
  double xa = -180, xe = 180, ya = -90, ye = 90;  // axis limits in degrees
  double lonc = 0;                   // centre longitude of the non-azimuthal families
  // plot position: X = x0 + sx * x, Y = y0 - sy * y (sx == sy except for "CYLI")
  double x0 = 0, y0 = 0, sx = 1, sy = 1;
  double bx1 = 0, by1 = 0, bx2 = 0, by2 = 0;   // box of the map in plot units (upper left, lower right)
  // conic constants
  double n = 1, k = 1, c = 0, rho0 = 0, c1 = 0, c2 = 0;
  int south = 0;
  int two_parallels = 0;
  // azimuthal centre and circle
  double lon0 = 0, lat0 = 0, sin0 = 0, cos0 = 1;
  double cx = 0, cy = 0, radius = 1, rscale = 1;
  double visible = 1.5707963267948966;   // visible radius in radians
  // oblique and polyconic aspects
  double phi0 = 0;
  CoordCallback user = nullptr;
};

struct MapState {
  int proj = 0;                        // projct
  double pol_lon = 0, pol_lat = 0;     // mappol
  int ref_set = 0;                     // mapref was called
  double ref1 = 0, ref2 = 0;           // standard parallels in degrees
  double sph = 1.5707963267948966;     // mapsph in radians
  int base = 0;                        // mapbas: TAVE GSHL GSHI GSHH GSHF MAPF
  char file[kMapFileLen + 1] = "";     // mapfil
  int file_type = 0;                   // 0 none, 1 GSHH, 2 MAPG
  int level = 0;                       // maplev: 0 all, 1 land, 2 lake, 4 rivers
  int mode = 1;                        // mapmod: STRA INTE GREA
  int xaxis_auto = 0;                  // mapopt XAXI: STAN AUTO
  int world = 0;                       // mapopt WORL: COAS BORD BOTH
  int lat_labels = 1;                  // maplab LATI: NONE LEFT RIGH BOTH
  int lon_labels = 1;                  // mplpos LONG: NONE BOTT TOP BOTH
  int outline_labels = 1;              // mpaepl: label the outline of non-rectangular maps
  double label_angle = 0;              // mplang, degrees
  int label_bg = -1, label_fg = -1;    // mplclr: box and text colour; -1 none / current
  int label_size = 0;                  // mplsiz: 0 = current character height
  CoordCallback user = nullptr;        // projection callback of "MYPR"
  MapSystem sys;
};

}  // namespace tavero
