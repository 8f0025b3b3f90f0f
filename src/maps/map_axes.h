// Drawing of the map axis system: frames and outlines, ticks and longitude/latitude labels.
#pragma once
#include "core/context.h"

namespace tavero {

// Background, outline or frame, axes and labels of the map system set up by grafmp.
void draw_map_axis_system(Context& ctx);

// One labelled point of a map axis: plot position, value in degrees, label index (-1 for a
// tick without label) and whether it is a major tick.
struct MapMark {
  double x, y, v;
  int k;
  bool major;
};

// A row of marks with their outward direction (unit vector from the line to the labels),
// drawn with the axis parameters of `axis` (0 longitudes, 1 latitudes) up to `level`
// (NONE LINE TICK LABE NAME). The line runs from (x1, y1) to (x2, y2) when `line` is set.
struct MapEdge {
  int axis = 0;
  double ox = 0, oy = 1;
  int level = 4;
  bool line = false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int name_angle = 0;
  const char* name = nullptr;   // overrides the axis name (xaxmap, yaxmap)
  bool outline_style = false;   // labels with the map-label size, angle and colours
};
void draw_map_edge(Context& ctx, const MapEdge& e, const MapMark* marks, int n);

}  // namespace tavero
