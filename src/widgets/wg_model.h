// The widget model: every widget of every dialog as plain data (kind, texts, values,
// callbacks, the settings in force when it was created). The X11 view (wg_view.h) shows the
// model and changes it on user input; without a display the model still works, so a script
// run without a screen gets the default values back.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/callbacks.h"
#include "core/context.h"

namespace tavero {

struct WidgetView;   // the X11 side, wg_x11.cpp
struct WidgetWin;    // per-widget window data of the view

enum class WKind {
  Main, Base, Label, Text, LText, SText, File, Check, Push, Box, List, DList, Scale, PBar,
  Table, Draw, Sep, Image, PImage, Cmd, Ok, Quit, Popup, Entry
};

// How the event loop of a main window ended.
enum WEnd { kRunning = 0, kEndOk = 1, kEndQuit = 2, kEndClose = 3, kEndSend = 4 };

// No colour given: the view's default.
inline constexpr uint32_t kNoColour = 0xFFFFFFFFu;

// Widget messages (custom codes).
enum WMsg : int {
  kMsgNoDisplay = 201, kMsgNoWidget = 202, kMsgWrongWidget = 203, kMsgNoWgini = 204,
  kMsgNotParent = 205, kMsgListLong = 206, kMsgCell = 207, kMsgNotNumber = 208,
  kMsgImageFile = 209
};

// Settings that apply to the widgets created after them (swg* without a widget id).
struct WStyle {
  uint32_t back = kNoColour, fore = kNoColour;         // widget face and text
  uint32_t lback = kNoColour, lfore = kNoColour;       // text fields, lists, tables
  uint32_t bar = kNoColour;                            // scale and progress bar fill
  std::string font;                                    // family or X font name; "" default
  int font_size = 0;                                   // pixels; 0 default
  int just_label = 0, just_text = 0, just_table = 2;   // 0 left, 1 centre, 2 right
  int width = 0;                                       // >0 characters, <0 pixels, 0 natural
  int pos_x = -1, pos_y = -1, size_w = 0, size_h = 0;  // form layout
  double draw_factor = 0.7;                            // height of draw widgets / width
  int margin[4] = {-1, -1, -1, -1};                    // left, right, top, bottom; -1 default
  double xspc = 1.0, yspc = 0.5;                       // gaps in character widths / heights
  bool list_multi = false;
  bool table_edit = true;
  bool text_edit = true;
  bool pbar_value = true;
};

struct WCell {
  std::string text;
  bool edit = true;
  uint32_t back = kNoColour, fore = kNoColour;
};

// What the event loop calls when a widget fires, copied out of the model under the lock.
struct WCallback {
  int kind = 0;   // 0 none, 1 swgcbk, 2 swgcb2, 3 swgcb3, 4 swgcb
  void* fn = nullptr;
  void* obj = nullptr;
};

struct Widget {
  int id = 0, parent = 0, main = 0;
  WKind kind = WKind::Label;
  WStyle style;
  std::string label;                 // label, button text, title of a main window
  std::string text;                  // text fields, file name, scrolled text (lines at '\n')
  std::vector<std::string> items;    // lists and boxes
  std::vector<char> marked;          // multiple selection
  int sel = 0;                       // 1-based selection, check state, push count
  int layout = 0;                    // bases: 0 vertical, 1 horizontal, 2 form
  double xmin = 0, xmax = 1, xval = 0, step = 0;   // scale and progress bar
  int digits = 0;
  std::vector<double> stops;         // discrete values of a scale
  int percent = 0;                   // wgltxt: width of the text field in %
  int lines = 8, max_lines = 0;      // visible rows; kept lines of a scrolled text
  int rows = 0, cols = 0;
  std::vector<WCell> cells;          // rows x cols
  std::vector<std::string> col_head, row_head;
  std::string command, mask;
  int img_w = 0, img_h = 0;
  std::vector<uint8_t> rgb;          // image of icon widgets and image menus
  bool active = true, visible = true;
  int top_row = 0, left_col = 0;     // first visible row / column (scrolling)
  WCallback cb;
  std::function<void(int event, int a, int b)> internal;   // dialogs' own handlers
  std::vector<int> children;
  // main windows only
  int end = kRunning;
  bool finished = false, shown = false;
  int win_x = -1, win_y = -1, win_w = 0, win_h = 0;   // swgwin
  bool centre = false;
  int close_mode = 0;               // window close: 0 like OK, 1 like quit, 2 ignored
  std::string help;
  int pop_ok = 0, pop_quit = 0, pop_help = 1;
  // geometry (pixels, relative to the parent's window), filled by the layout
  int x = 0, y = 0, w = 0, h = 0;
  std::unique_ptr<WidgetWin> win;    // X11 window data; null until shown
  Widget();
  ~Widget();
};

// Internal events handed to `internal` handlers and turned into callbacks.
enum WEvent { kEvChange = 1, kEvActivate = 2, kEvCell = 3, kEvClick = 4 };

struct WidgetState {
  std::recursive_mutex mu;
  std::vector<std::unique_ptr<Widget>> widgets;   // index id - 1
  WStyle style;                                   // settings for the next widgets
  int title_main = 0;
  std::string next_title = "TAVERO";
  std::string next_help;
  int next_close = 0, next_pop_ok = 0, next_pop_quit = 0, next_pop_help = 1;
  bool next_centre = false;
  int next_win[4] = {-1, -1, 0, 0};
  char sep = '|';
  int loop_depth = 0;
  std::atomic<bool> send_ok{false};
  std::vector<std::function<void()>> queue;        // callbacks to run without the lock
  WindowCallback window_cb = nullptr;
  int window_cb_size = 1;                          // also on size changes
  std::unique_ptr<WidgetView> view;
  std::string result;                              // returned strings of the dialogs
  std::string item;                                // itmstr
  WidgetState();
  ~WidgetState();

  Widget* get(int id) {
    return id >= 1 && id <= static_cast<int>(widgets.size()) ? widgets[id - 1].get() : nullptr;
  }
};

// The widget state of a record, created on first use.
WidgetState& widget_state(Context& ctx);

// --- shared helpers of the widget routines (wg_build.cpp, wg_items.cpp)
std::vector<std::string> split_items(const char* list, char sep);
std::string join_items(const std::vector<std::string>& items, char sep);
// The widget with this id, or null after warning 202.
Widget* find_widget(Context& ctx, WidgetState& s, int id);
// The widget if it is one of the kinds, else null after warning 202 or 203.
Widget* find_kind(Context& ctx, WidgetState& s, int id, std::initializer_list<WKind> kinds);
bool is_container(WKind k);
bool is_button(WKind k);
// Creates a widget below parent ip with the current settings; null after a warning.
Widget* add_widget(Context& ctx, WidgetState& s, int ip, WKind kind, const char* label);
// Queues the user callback of w (and runs its internal handler) for an event.
void fire(WidgetState& s, Widget& w, int event, int a = 0, int b = 0);
// A push of a button, menu entry, OK or Quit: command, callback, end of the loop.
void press_button(WidgetState& s, Widget& w);
// The integer value of a widget as swgcb3 reports it.
int int_value(const Widget& w);
// Text of a number with ndig decimals (ndig < 0: shortest form).
std::string number_text(double v, int ndig);
// Parses a whole string as a number.
bool parse_number(const std::string& s, double& v);
// Runs queued callbacks with the lock released.
void drain_queue(WidgetState& s, std::unique_lock<std::recursive_mutex>& lk);
// Removes every widget from `first` on (dialogs built on top of a user's dialog).
void truncate_widgets(WidgetState& s, int first);

// Sets the custom message and prints it as warning `code`.
void widget_warn(Context& ctx, int code, const std::string& text);

}  // namespace tavero
