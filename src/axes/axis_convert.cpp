// Placeholder conversion until axis systems are built: user coordinates are plot coordinates.
#include "axes/axis_convert.h"

namespace tavero {

void user_to_plot(Context&, double xu, double yu, double& xp, double& yp) {
  xp = xu;
  yp = yu;
}

void check_scaling(Context&, double, double) {}

}  // namespace tavero
