// Initialisation and termination: the format and page before tavini, tavini and tavfin,
// pages, the reset of parameters, and the getters of the core fields.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/entry.h"
#include "core/files.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/reset.h"
#include "core/strutil.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/registry.h"
#include "drivers/x11.h"
#include "tavero_api.h"

namespace tavero {

namespace {

struct PageSize {
  const char* name;
  int w, h;
};
const PageSize kPages[] = {
    {"DA4L", 2969, 2099}, {"DA3L", 4199, 2969}, {"DA2L", 5939, 4199}, {"DA1L", 8409, 5939},
    {"DA0L", 11889, 8409}, {"HP4L", 2716, 1899}, {"HP3L", 3989, 2716}, {"HP2L", 5339, 3359},
    {"HP1L", 7569, 5339}, {"KY4L", 2869, 1999}, {"PS4L", 2799, 1949}, {"USAL", 2789, 2159},
    {"USBL", 4319, 2789}, {"USCL", 5589, 4319}, {"USDL", 8639, 5589}, {"USEL", 11179, 8639},
};

// Single-precision constants widened to double, as the unit factors have always been.
const double kUnitFactors[4] = {1.0, 2.5399999618530273, 0.35277798771858215,
                                0.17638899385929108};

inline int trunc_int(double v) { return static_cast<int>(v); }

}  // namespace

// --- level 0: format, page, file

void metafl(const char* cfmt) {
  Context* ctx = enter(R::metafl);
  if (!ctx) return;
  char key[5] = "    ";
  for (int i = 0; i < 4 && cfmt && cfmt[i]; ++i) key[i] = cfmt[i];
  to_upper(key);
  int code = 0;
  if (std::strncmp(key, "MET", 3) == 0 && key[3] >= '1' && key[3] <= '9') {
    code = 80;
  } else if (const DeviceEntry* e = find_device_keyword(key)) {
    code = e->code;
    if (code == 81) {  // no OpenGL windows here
      warn_text(*ctx, 181, "OPENGL is not supported");
      code = 80;
    }
  } else {
    warn_string(*ctx, kMsgIncorrectParameter, cfmt ? cfmt : "");
    return;
  }
  ctx->core.device = code;
  copy_field(ctx->core.format_name, key);
  ctx->core.format_chosen = 1;
}

void setpag(const char* cpag) {
  Context* ctx = enter(R::setpag);
  if (!ctx) return;
  char key[5] = "    ";
  for (int i = 0; i < 4 && cpag && cpag[i]; ++i) key[i] = cpag[i];
  to_upper(key);
  bool portrait = key[3] == 'P';
  char look[5];
  std::memcpy(look, key, 5);
  if (portrait) look[3] = 'L';
  for (const PageSize& p : kPages) {
    if (std::memcmp(p.name, look, 4) == 0) {
      CoreState& c = ctx->core;
      c.page_size_w = portrait ? p.h : p.w;
      c.page_size_h = portrait ? p.w : p.h;
      copy_field(c.page_name, key);
      if (!c.format_chosen) {
        c.device = 201;
        copy_field(c.format_name, "GKSL");
      }
      return;
    }
  }
  warn_string(*ctx, kMsgIncorrectParameter, cpag ? cpag : "");
}

void page(int nxp, int nyp) {
  Context* ctx = enter(R::page);
  if (!ctx) return;
  if (nxp <= 0 || nyp <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nxp <= 0 ? nxp : nyp);
    return;
  }
  CoreState& c = ctx->core;
  c.page_size_w = (nxp - 1) * c.unit_factor;
  c.page_size_h = (nyp - 1) * c.unit_factor;
  copy_field(c.page_name, "PAGE");
}

void pagmod(const char* cmod) {
  Context* ctx = enter(R::pagmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "COMI+MOVI+LAND+PORT+NONE", 5, cmod);
  if (!k) return;
  static const uint8_t kMode[5] = {0, 1, 0, 1, 2};
  ctx->core.page_mode = kMode[k - 1];
}

void pagorg(const char* copt) {
  Context* ctx = enter(R::pagorg);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "TOP +BOTT", 2, copt);
  if (!k) return;
  CoreState& c = ctx->core;
  uint8_t m = static_cast<uint8_t>(k - 1);
  if (m != c.page_origin) c.origin_y = -c.origin_y;
  c.page_origin = m;
}

void units(const char* copt) {
  Context* ctx = enter(R::units);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CM  +INCH+POIN+TWIP", 4, copt);
  if (k) ctx->core.unit_factor = kUnitFactors[k - 1];
}

void sclfac(double x) {
  Context* ctx = enter(R::sclfac);
  if (!ctx) return;
  if (!(x > 0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->core.scale_factor = x;
  ctx->core.scale_mode = 0;
}

void sclmod(const char* copt) {
  Context* ctx = enter(R::sclmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "DOWN+FULL+NONE", 3, copt);
  if (k) ctx->core.scale_mode = k - 1;
}

void hwpage(int nxp, int nyp) {
  Context* ctx = enter(R::hwpage);
  if (!ctx) return;
  if (nxp < 1 || nyp < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nxp < 1 ? nxp : nyp);
    return;
  }
  CoreState& c = ctx->core;
  c.hw_page_w = trunc_int(nxp * c.unit_factor + 0.5);
  c.hw_page_h = trunc_int(nyp * c.unit_factor + 0.5);
  c.hw_page_set = 1;
}

void hworig(int nx, int ny) {
  Context* ctx = enter(R::hworig);
  if (!ctx) return;
  ctx->core.hw_origin_x = nx;
  ctx->core.hw_origin_y = ny;
  ctx->core.hw_origin_set = 1;
}

void hwscal(double x) {
  Context* ctx = enter(R::hwscal);
  if (!ctx) return;
  if (!(x > 0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->core.hw_scale = x;
}

void scrmod(const char* cmod) {
  Context* ctx = enter(R::scrmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ERAS+NOER+REVE+NORE+AUTO", 5, cmod);
  static const uint8_t kMode[5] = {0, 1, 2, 0, 4};
  if (k) ctx->core.screen_mode = kMode[k - 1];
}

void setfil(const char* cfil) {
  Context* ctx = enter(R::setfil);
  if (!ctx) return;
  copy_field(ctx->core.plot_file_name, cfil);
  ctx->core.file_name_state = 1;
}

void filmod(const char* cmod) {
  Context* ctx = enter(R::filmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "COUN+DELE+BREA+VERS", 4, cmod);
  if (k) ctx->core.file_mode = static_cast<uint8_t>(k - 1);
}

void filopt(const char* copt, const char* ckey) {
  Context* ctx = enter(R::filopt);
  if (!ctx) return;
  int item = lookup_keyword(*ctx, "SEPA+NUMB+DIGI+SCAL", 4, ckey);
  if (!item) return;
  CoreState& c = ctx->core;
  int k;
  switch (item) {
    case 1:
      if ((k = lookup_keyword(*ctx, "UNDE+HYPH+NONE", 3, copt))) c.version_sep = uint8_t(k - 1);
      break;
    case 2:
      if ((k = lookup_keyword(*ctx, "SHOR+LONG", 2, copt))) c.version_form = uint8_t(k - 1);
      break;
    case 3:
      if ((k = lookup_keyword(*ctx, "2   +3   +4   +5   +6   ", 5, copt)))
        c.version_digits = uint8_t(k + 1);
      break;
    case 4:
      if ((k = lookup_keyword(*ctx, "OFF +PAGE+VIEW+ON  ", 4, copt)))
        c.file_scal = uint8_t(k == 4 ? 1 : k - 1);
      break;
  }
}

void tavenv(const char* cstr) {
  Context* ctx = enter(R::tavenv);
  if (!ctx) return;
  if (match_keyword("NONE", 1, cstr) && cstr && std::strlen(cstr) <= 4) {
    ctx->core.install_dir_set = 0;
    return;
  }
  copy_field(ctx->core.install_dir, cstr);
  ctx->core.install_dir_set = 1;
}

// --- messages

void errmod(const char* cstr, const char* cmode) {
  Context* ctx = enter(R::errmod);
  if (!ctx) return;
  // the mode is looked up before the item is judged: each prints its own warning
  bool prot = match_keyword("PROT", 1, cstr) != 0;
  int mode = prot ? lookup_keyword(*ctx, "OFF +ON  +FILE", 3, cmode)
                  : lookup_keyword(*ctx, "OFF +ON  ", 2, cmode);
  int item = lookup_keyword(*ctx, "WARN+CHEC+PROT+ALL ", 4, cstr);
  if (!item || !mode) return;
  CoreState& c = ctx->core;
  uint8_t v = static_cast<uint8_t>(mode - 1);
  if (item == 1 || item == 4) c.warnings_on = v > 0 ? 1 : 0;
  if (item == 2 || item == 4) c.check_on = v > 0 ? 1 : 0;
  if (item == 3 || item == 4) c.protocol_mode = v;
}

void errdev(const char* copt) {
  Context* ctx = enter(R::errdev);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CONS+FILE+APPE", 3, copt);
  if (k) ctx->core.error_device = static_cast<uint8_t>(k - 1);
}

void errfil(const char* cfil) {
  Context* ctx = enter(R::errfil);
  if (!ctx) return;
  copy_field(ctx->core.error_file_name, cfil);
  ctx->core.user_error_file = 1;
}

// Other streams of the caller cannot be made from Python: any n but 0 keeps the console.
void unit(int n) {
  Context* ctx = enter(R::unit);
  if (!ctx) return;
  if (n == 0) {
    ctx->core.message_unit = 0;
  } else {
    ctx->core.message_unit = 6;
    if (!ctx->core.error_file_open) ctx->core.message_stream = nullptr;
  }
}

void winapp(const char* copt) {
  Context* ctx = enter(R::winapp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CONS+WIND", 2, copt);
  if (k) ctx->core.window_app = static_cast<uint8_t>(k - 1);
}

int getuni() {
  Context* ctx = enter(R::getuni);
  if (!ctx) return 0;
  return ctx->core.message_stream ? 1 : 0;
}

// --- tavini / tavfin

namespace {

// Opens the plot file of a file device; false after the message (level back to 0).
bool open_plot_file(Context& ctx, const DeviceEntry& dev) {
  CoreState& c = ctx.core;
  if (c.file_name_state == 1) {
    copy_field(c.saved_file_name, c.plot_file_name);
    c.file_name_state = 2;
  } else if (c.file_name_state == 2) {
    copy_field(c.plot_file_name, c.saved_file_name);
  } else {
    char name[32] = "tavero.";
    append_bounded(name, dev.ext, 31);
    copy_field(c.plot_file_name, name);
  }
  if (dev.file == FileKind::kNone) {
    // drivers that write their own output still get a versioned name
    if (dev.code == 511 || dev.code == 221 || dev.code == 231) {
      ProcessLock lock;
      int err = next_version_name(ctx, c.plot_file_name, sizeof c.plot_file_name - 1);
      if (err) {
        warn_code(ctx, err);
        c.level = 0;
        return false;
      }
    }
    return true;
  }
  ProcessLock lock;
  int err = next_version_name(ctx, c.plot_file_name, sizeof c.plot_file_name - 1);
  if (err) {
    warn_code(ctx, err);
    c.level = 0;
    return false;
  }
  c.plot_file = std::fopen(c.plot_file_name, dev.file == FileKind::kBinary ? "wb" : "w");
  if (!c.plot_file) {
    warn_code(ctx, kMsgFileError);
    c.level = 0;
    return false;
  }
  return true;
}

void close_plot_file(Context& ctx) {
  if (ctx.core.plot_file) std::fclose(ctx.core.plot_file);
  ctx.core.plot_file = nullptr;
}

}  // namespace

void tavini() {
  Context* ctx = enter(R::tavini);
  if (!ctx) return;
  CoreState& c = ctx->core;
  c.level = 1;
  c.vector_count = c.warning_count = c.nan_count = c.out_of_scaling_count = 0;
  c.finished = 0;
  int dev = c.device;
  if (dev == 0) {
    dev = c.device = 201;
    copy_field(c.format_name, "GKSL");
  }
  c.eff_screen_mode = c.screen_mode;
  if (c.eff_screen_mode == 4) {
    bool white = dev == 511 || dev == 503 || dev == 504 || dev == 801 || dev == 802 || dev == 231;
    c.eff_screen_mode = white ? 2 : 0;
  }
  c.page_w = static_cast<int>(c.page_size_w / c.unit_factor + 0.5);
  c.page_h = static_cast<int>(c.page_size_h / c.unit_factor + 0.5);
  c.axis_len_default_x = static_cast<int>((c.page_w + 1) * 2.0 / 3.0 + 0.5);
  c.axis_len_default_y = static_cast<int>((c.page_h + 1) * 2.0 / 3.0 + 0.5);
  c.axis_pos_default_x = (c.page_w - c.axis_len_default_x) / 2;
  c.axis_pos_default_y = c.page_h - static_cast<int>(0.5 + 300.0 / c.unit_factor);
  c.page_counter = 1;
  c.plot_file = nullptr;
  c.win_x = c.win_y = 0;
  if (c.win_geom_mode == 1) {
    c.win_x = c.given_win_x;
    c.win_y = c.given_win_y;
    c.win_w = c.given_win_w;
    c.win_h = c.given_win_h;
  } else if (c.win_geom_mode == 2) {
    c.win_w = c.given_win_w;
    c.win_h = c.given_win_h;
  } else if (c.page_w > c.page_h) {
    c.win_w = 853;
    c.win_h = 603;
  } else {
    c.win_w = 603;
    c.win_h = 853;
  }
  c.bits_per_pixel = 8;
  // device state that the drawing core keeps per run
  ctx->dev = DeviceState{};
  ctx->line.clip[0] = ctx->line.clip[1] = 0;
  ctx->line.clip[2] = c.page_w;
  ctx->line.clip[3] = c.page_h;
  const DeviceEntry* entry = find_device(dev);
  if (!entry || !entry->make) {
    warn_code(*ctx, kMsgIncompatible);
    c.level = 0;
    return;
  }
  if (!open_plot_file(*ctx, *entry)) return;
  ctx->driver.reset(entry->make(*ctx));
  if (!ctx->driver) {
    warn_code(*ctx, kMsgIncompatible);
    close_plot_file(*ctx);
    std::remove(c.plot_file_name);
    c.level = 0;
    return;
  }
  // parameter reset: every Part back to its defaults (needs the device open for colours)
  if (!ctx->driver->open()) {
    ctx->driver->abandon();
    ctx->driver.reset();
    close_plot_file(*ctx);
    c.level = 0;
    return;
  }
  if (c.window_app == 0 && c.error_device == 0) {
    c.error_file = nullptr;
    c.error_file_open = 0;
  }
  reset_all(*ctx);
  if (c.first_screen_mode < 0) c.first_screen_mode = c.eff_screen_mode;
}

void tavfin() {
  Context* ctx = enter(R::tavfin);
  if (!ctx) return;
  CoreState& c = ctx->core;
  qqflsh(*ctx);
  emit_flush(*ctx);
  finish_open_phases(*ctx);
  int variant = 1;
  if (ctx->driver && !ctx->driver->finish()) variant = 0;
  if (c.device < 201) variant = 0;
  close_plot_file(*ctx);
  c.level = 0;
  c.finished = 1;
  bool skip = false;
  if (c.window_app == 1 || c.error_device != 0) {
    if (c.error_file_open) variant += 10;
    if (c.protocol_mode == 2) {
      open_error_file(*ctx);
      if (c.error_file_open && variant < 10) variant += 10;
      end_protocol(*ctx, variant);
      skip = true;
    }
    close_error_file(*ctx);
  }
  if (!skip) {
    if (c.window_app == 1 && c.message_unit != 0 && c.protocol_mode != 0) {
      std::string text = end_protocol_box_text(*ctx, variant);
      if (!show_message_box("tavfin", text.c_str())) end_protocol(*ctx, variant);
    } else {
      end_protocol(*ctx, variant);
    }
  }
  if (ctx->driver) {
    ctx->driver->after_protocol();
    ctx->driver.reset();
  }
}

void newpag() {
  Context* ctx = enter(R::newpag);
  if (!ctx) return;
  qqflsh(*ctx);
  emit_flush(*ctx);
  ++ctx->core.page_counter;
  if (ctx->driver) ctx->driver->new_page();
}

void erase() {
  Context* ctx = enter(R::erase);
  if (!ctx) return;
  qqflsh(*ctx);
  emit_flush(*ctx);
  if (ctx->driver) ctx->driver->erase();
}

void pagera() {
  Context* ctx = enter(R::pagera);
  if (!ctx) return;
  double w = ctx->core.page_w, h = ctx->core.page_h;
  double ox = ctx->core.origin_x, oy = ctx->core.origin_y;
  // the border belongs to the page, not to the shifted origin
  qqstrt(*ctx, 0 - ox, 0 - oy);
  qqconn(*ctx, 0 - ox, h - oy);
  qqconn(*ctx, w - ox, h - oy);
  qqconn(*ctx, w - ox, 0 - oy);
  qqconn(*ctx, 0 - ox, 0 - oy);
  qqflsh(*ctx);
}

void origin(int nx, int ny) {
  Context* ctx = enter(R::origin);
  if (!ctx) return;
  qqflsh(*ctx);
  ctx->core.origin_x = nx;
  ctx->core.origin_y = ctx->core.page_origin == 1 ? -ny : ny;
}

void reset(const char* cname) {
  Context* ctx = enter(R::reset);
  if (!ctx) return;
  reset_by_name(*ctx, cname);
}

// --- getters

double getver() { return 11.5; }

int getlev() {
  Context* ctx = enter(R::getlev);
  return ctx ? ctx->core.level : 0;
}

const char* getdsp() { return display_available() ? "XWIN" : "NONE"; }

const char* getfil() {
  Context* ctx = enter(R::getfil);
  return ctx ? ctx->core.plot_file_name : "";
}

const char* getmfl() {
  Context* ctx = enter(R::getmfl);
  return ctx ? ctx->core.format_name : "";
}

void getpag(int* nxpag, int* nypag) {
  Context* ctx = enter(R::getpag);
  if (!ctx) return;
  *nxpag = ctx->core.page_w + 1;
  *nypag = ctx->core.page_h + 1;
}

void getor(int* nx0, int* ny0) {
  Context* ctx = enter(R::getor);
  if (!ctx) return;
  *nx0 = ctx->core.origin_x;
  *ny0 = ctx->core.page_origin == 1 ? -ctx->core.origin_y : ctx->core.origin_y;
}

int getbpp() {
  Context* ctx = enter(R::getbpp);
  return ctx ? ctx->core.bits_per_pixel : 0;
}

// Without a window system connection the screen is taken as 1920 x 1080.
void getscr(int* nwpix, int* nhpix) {
  Context* ctx = enter(R::getscr);
  if (!ctx) return;
  if (!screen_size(*nwpix, *nhpix)) {
    *nwpix = 1920;
    *nhpix = 1080;
  }
}

}  // namespace tavero
