// The context record: the whole state of the library for one process (or one thread after
// thrini), made of the state of every subsystem. Routines get it from an entry check
// (core/entry.h) and never keep it between calls.
#pragma once
#include <memory>

#include "axes/axis_state.h"
#include "charts/chart_state.h"
#include "contour/contour_state.h"
#include "core/core_state.h"
#include "draw/draw_state.h"
#include "drivers/driver_settings.h"
#include "files/file_state.h"
#include "graph3d/g3d_state.h"
#include "maps/map_state.h"
#include "plots/plot_state.h"
#include "text/text_state.h"

namespace tavero {

class Driver;

struct Context {
  CoreState core;
  DeviceState dev;
  LineState line;
  ColorState color;
  FillState fill;
  DriverSettings drv;
  TextState text;
  AxisState axes;
  ChartState charts;
  ContourState contour;
  Graph3dState g3d;
  MapState maps;
  FileState files;
  PlotState plots;
  std::unique_ptr<Driver> driver;   // the open output device between tavini and tavfin
  std::shared_ptr<void> widgets;    // the widget state block (src/widgets), created on first use

  Context();
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;
};

// --- context manager: the only owner of records
enum class CtxOp { kGet = 0, kRelease = 1, kThreadsOn = 2, kThreadsOff = 3, kGetSlot = 4 };
Context* context_manager(CtxOp op, int& status);
Context* current_context();   // without creating one
bool threads_on();

// The process lock guards the slot table, the opening of output and error files and the end
// protocol; it is taken only while per-thread records are on.
class ProcessLock {
 public:
  ProcessLock();
  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;
 private:
  bool held_;
};

// Releases the private blocks of a record (screen window, PDF writer, widgets) and an open
// driver without writing anything.
void release_private_blocks(Context& ctx);

}  // namespace tavero
