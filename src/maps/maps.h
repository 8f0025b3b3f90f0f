// Services of the map subsystem for its own routines and for the rest of the library: the
// projection of the active map axis system, lines between map points, and the map data.
#pragma once
#include <string>
#include <vector>

#include "core/context.h"
#include "maps/map_state.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Projection (projection.cpp)

// (lon, lat) in degrees -> plot coordinates of the active map axis system (relative to the
// origin shift). False when the point has no image (non-finite input or no map system).
bool map_user_to_plot(Context& ctx, double lon, double lat, double& xp, double& yp);
// Plot coordinates -> (lon, lat); false when no map system is active.
bool map_plot_to_user(Context& ctx, double xp, double yp, double& lon, double& lat);
// The projection before scaling: (x, y) of one family, in radians-sized units.
bool project_raw(const MapSystem& m, double lon, double lat, double& x, double& y);
// Derives the constants of m that do not depend on the page (conic cone, azimuthal centre).
void prepare_projection(const MapState& s, MapSystem& m);
// Radius of the azimuthal families at angular distance c (radians).
double azimuthal_radius(int code, double c);
// Installs the conversion hooks of the axis system (grafmp).
void install_map_conversion(Context& ctx);

// ------------------------------------------------------------------------------------------
// Lines between map points (map_lines.cpp)

// Draws the line from the previous map point to (lon, lat) with the line mode of mapmod;
// `first` starts a new line. Points are projected on the way to the line pipeline.
class MapPen {
 public:
  explicit MapPen(Context& ctx, int mode);
  void move(double lon, double lat);
  void draw(double lon, double lat);

 private:
  void put(double lon, double lat, bool down);
  Context& ctx_;
  int mode_;
  bool have_ = false;
  double lon_ = 0, lat_ = 0;
};

// Clips a map line in (lon, lat) against the axis limits for the families whose outline is
// not a rectangle on the page; the pieces are drawn straight between data points.
void draw_map_polyline(Context& ctx, const double* lon, const double* lat, int n);

// ------------------------------------------------------------------------------------------
// Map data (map_data.cpp)

// One line of a data file: points in degrees, its level and the code of its region.
struct MapLine {
  std::vector<double> lon, lat;
  int level = 0;
  int code = 0;
  bool closed = false;
};

// Data sets of the shipped base maps.
enum class MapLayer { kCoast, kBorder, kRiver, kCountry, kState };

// Reader results: ok, or the warning that ended the read (36 file error, 119 read error).
struct MapReadResult {
  bool opened = false;
  bool truncated = false;
  std::string path;
};

// Compact tavero map files (magic "TVMAP"), GSHHS binary files, the own base map blocks
// ("mapN.dat") and "MAPG" text files. Each calls sink for every line read; a damaged file
// ends the read at the damage.
MapReadResult read_compact_map(const std::string& path, std::vector<MapLine>& out);
MapReadResult read_gshhs(const std::string& path, std::vector<MapLine>& out);
MapReadResult read_block_map(const std::string& path, std::vector<MapLine>& out);
MapReadResult read_text_map(const std::string& path, std::vector<MapLine>& out);
// Parses an in-memory image of each format (the readers above read the file and call these).
bool parse_compact_map(const unsigned char* p, size_t n, std::vector<MapLine>& out);
bool parse_gshhs(const unsigned char* p, size_t n, std::vector<MapLine>& out);
bool parse_block_map(const unsigned char* p, size_t n, std::vector<MapLine>& out);
bool parse_text_map(const char* p, size_t n, std::vector<MapLine>& out);

// The map directory below the installation directory.
std::string map_directory(const Context& ctx);
// Loads one layer of a base map (0 own, 1..4 shoreline resolutions). Reports a missing or
// damaged file; false when nothing could be read.
bool load_base_layer(Context& ctx, int base, MapLayer layer, std::vector<MapLine>& out);

}  // namespace tavero
