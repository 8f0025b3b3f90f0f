// Fields of the context record owned by the further plot types: vector and streamline options,
// line integral convolution, the shielded-region store and the 2-D transformation.
#pragma once
#include <cstdint>

namespace tavero {

struct Context;

struct VectorOptions {
  int color = -1;           // -1 current colour, -2 colour by length, >= 0 colour index
  int angle = 20;           // half angle of the open arrow head (degrees)
  double ratio = 0.25;      // head length of the open arrow as a part of the vector length
  double scale = 0.0;       // factor for field components; 0 automatic
  double size = 1.0;        // multiplies every head size
};

// Integration methods of stmmod "INTE".
enum StreamMethod : int { kEuler = 0, kRk2 = 1, kRk4 = 2 };

struct StreamOptions {
  int method = kRk2;
  int close = 0;            // stop a streamline that returns to its start
  int arrows = 0;           // arrow heads along the streamlines
  int points = 1000;        // POIN: points per pass
  int close_count = 10;     // CLOS: points before the closing test begins
  int arrow_type = 1201;    // ARRO: vector type of the heads
  int stre = 4;             // STRE: 3-D variants
  int hits = 1, licm = 100, licl = 10;
  // the single-precision defaults widened to double
  double step = static_cast<double>(0.01f);
  double dist = static_cast<double>(0.02f);
  double test = 0.5;
  double close_dist = static_cast<double>(0.005f);
  double arrow_space = 0.25;
  double lics = 0.5;
  int lic_fast = 0;         // licmod FAST: fast convolution along shared streamlines
  int lic_scale = 0;        // licmod SCAL: stretch the result to the texture's range
};

inline constexpr int kShieldWords = 1000;
inline constexpr int kShieldKinds = 5;    // MESS SYMB BARS PIE LEGE

// Shape codes of the region store.
enum ShieldType : int { kShRect = 1, kShRotRect, kShCircle, kShEllipse, kShPie, kShPolygon };

struct ShieldStore {
  // Words are kept as int32 so that coordinates of pages beyond 32767 plot units survive.
  int32_t words[kShieldWords] = {};
  int used = 0;
  int count = 0;
  int last_id = 0;
  int user_count = 0;
  int adding_kind = 0;      // 0 the caller, 1..5 an automatic kind
  int auto_on[kShieldKinds] = {};
  int suspended = 0;        // outlines being drawn: no filtering
};

struct PlotState {
  VectorOptions vec;
  StreamOptions stm;
  ShieldStore shield;
};

}  // namespace tavero
