// Fields of the context record owned by the contours and triangulation, with their creation
// defaults. The contour label mode, digits, distance and colour belong to the label settings of
// the axis systems (labels, labdig, labdis, labclr with "CON") and live in AxisState.
#pragma once

namespace tavero {

struct Context;

inline constexpr int kConLabelLen = 20;
inline constexpr int kMaxLevelColors = 256;

struct ContourState {
  // --- labels of contour lines
  char label_text[kConLabelLen + 1] = "";  // conlab
  int label_orient = 0;                    // HORI VERT (labtyp with "CON")
  double gap_factor = 0.5;                 // congap: gap G = 2 * factor * character height
  double window_factor = 0.5;              // conmod: label window around the gap
  double straightness = 1.5;               // conmod: path length / chord allowed under a label
  // --- shaded contours
  int shade_method = 0;                    // shdmod CONT: CELL POLY
  int outer_bands = 0;                     // shdmod CELL: BOTH UPPE LOWE NONE
  int color_rule = 0;                      // shdmod COLO: LOWE MIDD UPPE
  int level_colors[kMaxLevelColors] = {};  // conclr
  int nlevel_colors = 0;
  int zscale_set = 0;                      // zscale: colour range of shadings and surfaces
  double zscale_min = 0, zscale_max = 1;
  // --- shdmod objects read by the surfaces and colour plots
  int surface_shading = 0;                 // SURF: FLAT SMOO
  int curve_shading = 0;                   // CURV: RECT SYMB PIXE 2D 3D
  int culling = 0;                         // CULL: OFF ON FRON
  int symbol_shading = 0;                  // SYMB: 2D 3D
  int value_colors_lit = 0;                // ZSCA: ON (0) OFF (1), colours of values under lighting
  // --- gridding of scattered data (mdfmat)
  int grid_window_x = 2, grid_window_y = 2;  // neighbourhood in grid cells
  double grid_weight = 2.0;                  // power of the inverse distance
};

}  // namespace tavero
