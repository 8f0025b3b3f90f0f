// Fields of the context record owned by this subsystem, with their creation defaults.
#pragma once

namespace tavero {

struct Context;

struct ContourState {
  int unused_ = 0;  // filled in as the subsystem is built
};


}  // namespace tavero
