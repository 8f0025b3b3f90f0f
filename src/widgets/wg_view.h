// The view of the widget model on an X display (wg_x11.cpp). Every function is called with
// the state's lock held; view_loop releases it while it waits and while callbacks run.
#pragma once
#include <mutex>

#include "widgets/wg_layout.h"
#include "widgets/wg_model.h"

namespace tavero {

// Connects to the display once; false when there is none.
bool view_connect(WidgetState& s);
// Metrics of a widget's font (estimated when there is no display).
WMetrics view_metrics(WidgetState& s, const WStyle& st);
// Creates the windows of a main window that are missing, lays it out and maps it.
bool view_show(Context& ctx, WidgetState& s, Widget& main);
// Recomputes the layout of a shown main window (after a change of size or content).
void view_relayout(WidgetState& s, Widget& main);
// Redraws one widget after its value changed (nothing when it is not shown).
void view_refresh(WidgetState& s, Widget& w);
// Maps or unmaps a widget after swgatt "VISI".
void view_visibility(WidgetState& s, Widget& w);
// Destroys the windows of a main window and of everything in it.
void view_close(WidgetState& s, Widget& main);
// Handles events: with block, until main_id ends; else only those already queued.
void view_loop(WidgetState& s, int main_id, std::unique_lock<std::recursive_mutex>& lk,
               bool block);
// Keyboard focus to a widget.
void view_focus(WidgetState& s, Widget& w);
// Window id of a widget (0 when not shown).
unsigned long view_window(WidgetState& s, const Widget& w);

}  // namespace tavero
