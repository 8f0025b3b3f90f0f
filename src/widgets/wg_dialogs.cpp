// Dialogs: small modal windows built from the widgets of wg_build.cpp on top of whatever the
// caller has built (their widgets are removed afterwards). Without a display every dialog
// warns and returns its default, so a script runs to its end on a machine without a screen.
#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "core/entry.h"
#include "core/messages.h"
#include "tavero_api.h"
#include "widgets/wg_view.h"

namespace tavero {

using Lock = std::unique_lock<std::recursive_mutex>;
namespace fs = std::filesystem;

namespace {

// Results of the buttons of a dialog (kept in the main widget's `sel`).
enum { kNoAnswer = -1 };

class Dialog {
 public:
  Dialog(Context& ctx, WidgetState& s, const std::string& title)
      : ctx_(ctx), s_(s), first_(static_cast<int>(s.widgets.size()) + 1), saved_(s.style) {
    WStyle st = s.style;   // the caller's fonts and colours, not their sizes and positions
    st.width = 0;
    st.pos_x = st.pos_y = -1;
    st.size_w = st.size_h = 0;
    std::fill(st.margin, st.margin + 4, -1);
    st.xspc = 1.0;
    st.yspc = 0.5;
    st.list_multi = false;
    st.text_edit = true;
    s.style = st;
    auto w = std::make_unique<Widget>();
    w->id = first_;
    w->main = first_;
    w->kind = WKind::Main;
    w->style = st;
    w->label = title;
    w->centre = true;
    w->sel = kNoAnswer;
    s.widgets.push_back(std::move(w));
  }
  ~Dialog() {
    s_.style = saved_;
    if (Widget* m = s_.get(first_); m && m->shown) view_close(s_, *m);
    truncate_widgets(s_, first_);
  }

  int main_id() const { return first_; }
  Widget& main() { return *s_.get(first_); }
  Widget* add(int ip, WKind kind, const std::string& label) { return add_widget(ctx_, s_, ip, kind, label.c_str()); }

  // A label of several lines (the item separator and "\n" break lines).
  void message(int ip, const char* text) {
    std::string t = text ? text : "";
    std::replace(t.begin(), t.end(), s_.sep, '\n');
    add(ip, WKind::Label, t);
  }

  // A row of buttons; each ends the dialog with its answer.
  std::vector<int> buttons(std::initializer_list<std::pair<const char*, int>> list) {
    Widget* row = add(first_, WKind::Base, "");
    row->layout = 1;
    std::vector<int> ids;
    for (auto& [label, answer] : list) {
      Widget* b = add(row->id, WKind::Push, label);
      const int a = answer, m = first_;
      WidgetState* sp = &s_;
      b->internal = [sp, m, a](int ev, int, int) {
        if (ev != kEvActivate) return;
        answer_with(*sp, m, a);
      };
      ids.push_back(b->id);
    }
    return ids;
  }

  static void answer_with(WidgetState& s, int main, int answer) {
    if (Widget* m = s.get(main)) {
      m->sel = answer;
      m->end = kEndOk;
    }
  }

  // Shows the dialog and runs its loop; the answer, or kNoAnswer when it was closed.
  int run(Lock& lk, int focus = 0) {
    if (focus)
      if (Widget* f = s_.get(focus)) view_focus(s_, *f);
    if (!view_show(ctx_, s_, main())) return kNoAnswer;
    ++s_.loop_depth;
    view_loop(s_, first_, lk, true);
    --s_.loop_depth;
    Widget& m = main();
    if (m.end == kEndSend && m.sel == kNoAnswer) m.sel = ok_answer_;
    return m.end == kEndClose || m.end == kEndQuit ? kNoAnswer : m.sel;
  }

  void set_ok_answer(int a) { ok_answer_ = a; }

 private:
  Context& ctx_;
  WidgetState& s_;
  int first_;
  WStyle saved_;
  int ok_answer_ = kNoAnswer;
};

// Entry check, state, lock and the display: false (after warning 201 with `text`) when
// nothing can be shown.
struct DialogEntry {
  Context* ctx = nullptr;
  WidgetState* s = nullptr;
  std::shared_ptr<void> keep;   // a callback of an open dialog may delete the record
  Lock lk;
  bool ok = false;
  DialogEntry(R r, const char* text) {
    ctx = enter(r);
    if (!ctx) return;
    s = &widget_state(*ctx);
    keep = ctx->widgets;
    lk = Lock(s->mu);
    if (!view_connect(*s)) {
      set_custom_message(*ctx, "No X display: the widgets cannot be shown");
      warn_string(*ctx, kMsgNoDisplay, text ? text : "");
      return;
    }
    ok = true;
  }
};

void show_message(R r, const char* cstr, const char* title) {
  DialogEntry e(r, cstr);
  if (!e.ok) return;
  Dialog d(*e.ctx, *e.s, title);
  d.message(d.main_id(), cstr);
  auto ids = d.buttons({{"OK", 1}});
  d.set_ok_answer(1);
  d.run(e.lk, ids[0]);
}

}  // namespace

void dwgmsg(const char* cstr) { show_message(R::dwgmsg, cstr, "Message"); }

void msgbox(const char* cstr) { show_message(R::msgbox, cstr, "TAVERO"); }

// An error with the answers "Abort" (1), "Retry" (2) and "Ignore" (3); 0 when closed.
int dwgerr(const char* cstr) {
  DialogEntry e(R::dwgerr, cstr);
  if (!e.ok) return 0;
  Dialog d(*e.ctx, *e.s, "Error");
  d.message(d.main_id(), cstr);
  auto ids = d.buttons({{"Abort", 1}, {"Retry", 2}, {"Ignore", 3}});
  int a = d.run(e.lk, ids[1]);
  return a == kNoAnswer ? 0 : a;
}

// A question with "Yes" (1) and "No" (0); ival is the answer with the focus, and the
// answer when the window is closed.
int dwgbut(const char* cstr, int ival) {
  DialogEntry e(R::dwgbut, cstr);
  if (!e.ctx) return ival;
  if (check_range(*e.ctx, ival, 0, 1)) ival = 1;
  if (!e.ok) return ival;
  Dialog d(*e.ctx, *e.s, "Question");
  d.message(d.main_id(), cstr);
  auto ids = d.buttons({{"Yes", 1}, {"No", 0}});
  d.set_ok_answer(ival);
  int a = d.run(e.lk, ids[ival == 1 ? 0 : 1]);
  return a == kNoAnswer ? ival : a;
}

// A list to choose from; the chosen item, or ilis when the dialog is cancelled.
int dwglis(const char* clab, const char* clis, int ilis) {
  DialogEntry e(R::dwglis, clab);
  if (!e.ctx) return ilis;
  std::vector<std::string> items = split_items(clis, e.s->sep);
  if (ilis < 0 || ilis > static_cast<int>(items.size())) {
    warn_number(*e.ctx, kMsgIncorrectParameter, ilis);
    ilis = 0;
  }
  if (!e.ok) return ilis;
  Dialog d(*e.ctx, *e.s, "List");
  if (clab && *clab) d.message(d.main_id(), clab);
  Widget* list = d.add(d.main_id(), WKind::List, "");
  list->items = items;
  list->marked.assign(items.size(), 0);
  list->sel = ilis;
  if (ilis >= 1) list->marked[ilis - 1] = 1;
  list->lines = std::clamp(static_cast<int>(items.size()), 3, 12);
  list->top_row = std::max(0, ilis - list->lines);
  const int lid = list->id, mid = d.main_id();
  WidgetState* sp = e.s;
  list->internal = [sp, lid, mid](int ev, int, int) {   // a double click or Return chooses
    Widget* l = sp->get(lid);
    if (ev == kEvActivate && l && l->sel >= 1) Dialog::answer_with(*sp, mid, l->sel);
  };
  d.buttons({{"OK", -2}, {"Cancel", -3}});
  d.run(e.lk, lid);
  Widget* l = e.s->get(lid);
  const int a = d.main().sel;
  if (a == -3 || a == kNoAnswer || !l) return ilis;
  return l->sel;
}

// A line of text; the text, or cstr when the dialog is cancelled.
const char* dwgtxt(const char* clab, const char* cstr) {
  DialogEntry e(R::dwgtxt, clab);
  if (!e.ctx) return "";
  WidgetState& s = *e.s;
  s.result = cstr ? cstr : "";
  if (!e.ok) return s.result.c_str();
  Dialog d(*e.ctx, s, "Input");
  if (clab && *clab) d.message(d.main_id(), clab);
  Widget* t = d.add(d.main_id(), WKind::Text, "");
  t->text = s.result;
  t->style.width = 40;
  const int tid = t->id, mid = d.main_id();
  WidgetState* sp = &s;
  t->internal = [sp, mid](int ev, int, int) {   // Return in the field is OK
    if (ev == kEvActivate) Dialog::answer_with(*sp, mid, 1);
  };
  d.buttons({{"OK", 1}, {"Cancel", 0}});
  d.set_ok_answer(1);
  int a = d.run(e.lk, tid);
  if (a == 1)
    if (Widget* w = s.get(tid)) s.result = w->text;
  return s.result.c_str();
}

// ------------------------------------------------------------------------------------------
// File selection

namespace {

bool matches(const std::string& name, const std::string& mask) {
  if (mask.empty()) return true;
  size_t start = 0;
  for (;;) {   // several patterns separated by ";" or ","
    size_t end = mask.find_first_of(";,", start);
    std::string pat = mask.substr(start, end == std::string::npos ? std::string::npos : end - start);
    while (!pat.empty() && pat.front() == ' ') pat.erase(0, 1);
    while (!pat.empty() && pat.back() == ' ') pat.pop_back();
    if (!pat.empty() && fnmatch(pat.c_str(), name.c_str(), 0) == 0) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

// Entries of a folder: "../", the folders (with "/"), the files that match the mask.
std::vector<std::string> folder_items(const fs::path& dir, const std::string& mask) {
  std::vector<std::string> dirs, files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code ec2;
    if (it->is_directory(ec2))
      dirs.push_back(name + "/");
    else if (matches(name, mask))
      files.push_back(name);
  }
  std::sort(dirs.begin(), dirs.end());
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  if (fs::absolute(dir, ec).lexically_normal() != fs::path("/")) out.push_back("../");
  out.insert(out.end(), dirs.begin(), dirs.end());
  out.insert(out.end(), files.begin(), files.end());
  return out;
}

struct FileDialog {
  WidgetState* s;
  fs::path dir;
  std::string mask;
  int main = 0, dir_label = 0, list = 0, name = 0, filter = 0;

  void refresh() {
    Widget* l = s->get(list);
    Widget* d = s->get(dir_label);
    if (!l || !d) return;
    std::error_code ec;
    fs::path shown = fs::absolute(dir, ec).lexically_normal();
    d->label = "Folder: " + shown.string();
    l->items = folder_items(dir, mask);
    l->marked.assign(l->items.size(), 0);
    l->sel = 0;
    l->top_row = 0;
    view_refresh(*s, *d);
    view_refresh(*s, *l);
  }

  void enter_folder(const std::string& sub) {
    dir = (dir / sub).lexically_normal();
    if (dir.empty()) dir = ".";
    refresh();
  }

  // Return in the name field or OK: a folder is entered, a file ends the dialog.
  void accept() {
    Widget* n = s->get(name);
    if (!n || n->text.empty()) return;
    fs::path p = fs::path(n->text).is_absolute() ? fs::path(n->text) : dir / n->text;
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      dir = p.lexically_normal();
      n->text.clear();
      view_refresh(*s, *n);
      refresh();
      return;
    }
    Dialog::answer_with(*s, main, 1);
  }

  std::string chosen() {
    Widget* n = s->get(name);
    if (!n) return "";
    fs::path p = fs::path(n->text).is_absolute() ? fs::path(n->text) : dir / n->text;
    return p.lexically_normal().string();
  }
};

}  // namespace

// A file chosen from folder listings; the path, or cstr when the dialog is cancelled. The
// mask may hold several patterns separated by ";".
const char* dwgfil(const char* clab, const char* cstr, const char* cmask) {
  DialogEntry e(R::dwgfil, clab);
  if (!e.ctx) return "";
  WidgetState& s = *e.s;
  s.result = cstr ? cstr : "";
  if (!e.ok) return s.result.c_str();
  Dialog d(*e.ctx, s, clab && *clab ? clab : "Select a file");
  auto fd = std::make_shared<FileDialog>();
  fd->s = &s;
  fd->main = d.main_id();
  fd->mask = cmask && *cmask ? cmask : "*";
  fs::path start(s.result);
  std::error_code ec;
  std::string file;
  if (!s.result.empty() && fs::is_directory(start, ec)) {
    fd->dir = start;
  } else {
    fd->dir = start.has_parent_path() ? start.parent_path() : fs::path(".");
    file = start.filename().string();
  }
  if (!fs::is_directory(fd->dir, ec)) fd->dir = ".";
  fd->dir_label = d.add(d.main_id(), WKind::Label, "")->id;
  Widget* list = d.add(d.main_id(), WKind::List, "");
  list->lines = 12;
  list->style.width = 48;
  fd->list = list->id;
  Widget* name = d.add(d.main_id(), WKind::LText, "File name:");
  name->text = file;
  fd->name = name->id;
  Widget* filter = d.add(d.main_id(), WKind::LText, "Filter:");
  filter->text = fd->mask;
  fd->filter = filter->id;
  list->internal = [fd](int ev, int, int) {
    Widget* l = fd->s->get(fd->list);
    Widget* n = fd->s->get(fd->name);
    if (!l || !n || l->sel < 1 || l->sel > static_cast<int>(l->items.size())) return;
    const std::string item = l->items[l->sel - 1];
    const bool folder = !item.empty() && item.back() == '/';
    if (ev == kEvChange && !folder) {
      n->text = item;
      view_refresh(*fd->s, *n);
    } else if (ev == kEvActivate) {
      if (folder) {
        fd->enter_folder(item);
      } else {
        n->text = item;
        fd->accept();
      }
    }
  };
  name->internal = [fd](int ev, int, int) {
    if (ev == kEvActivate) fd->accept();
  };
  filter->internal = [fd](int, int, int) {   // Return or leaving the field
    Widget* f = fd->s->get(fd->filter);
    if (!f) return;
    fd->mask = f->text.empty() ? "*" : f->text;
    fd->refresh();
  };
  auto ids = d.buttons({{"OK", 2}, {"Cancel", 0}});
  // OK goes through the same check as Return in the name field
  if (Widget* ok = s.get(ids[0])) {
    ok->internal = [fd](int ev, int, int) {
      if (ev == kEvActivate) fd->accept();
    };
  }
  fd->refresh();
  d.set_ok_answer(1);
  int a = d.run(e.lk, fd->name);
  if (a == 1) s.result = fd->chosen();
  return s.result.c_str();
}

}  // namespace tavero
