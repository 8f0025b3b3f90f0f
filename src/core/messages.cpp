#include "core/messages.h"

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/console.h"
#include "core/files.h"
#include "core/strutil.h"

namespace tavero {

namespace {

const char* const kTexts[59] = {
    " ",
    "Negative parameter",
    "Incorrect parameter",
    "Incorrect level",
    "X coordinate out of page",
    "Y coordinate out of page",
    "Same tick number as in a call before",
    "First radius greater than second radius",
    "Start angle greater/equal end angle",
    "Step equal zero",
    "Begin and end of scaling are equal",
    "Axis length < 2",
    "Startlabel out of scaling",
    "Linear scaling must be used",
    "Linear interpolation must be used",
    "No call to legini before",
    "Too long string for legend line",
    "Not enough store for the legend buffer",
    "Incorrect character after the eushft operator",
    "The basealphabet cannot be used",
    "No metafile",
    "The routine must be called after tavfin",
    "The metafile is deleted before",
    "Non positive minimum for log scaling (set to 0.1)",
    "Non positive maximum for log scaling (set to 1.0)",
    "Minimum equal maximum (added -1 and +1)",
    "Too many intersections",
    "Non positive values for log scaling",
    "Number of bars unequal number of main ticks",
    "Sum of data is zero",
    "Incorrect number of points",
    "Incorrect number of points for spline interpolation",
    "No increasing x coordinates for spline interpolation",
    "Incorrect viewpoint",
    "No call to grfini before",
    "Confusion of graf3d and graf3",
    "File error",
    "Incorrect filename",
    "Singular matrix",
    "Too many pages for CGM file (max. length 327 cm)",
    "File format and output device are incompatible",
    "Incorrect device for HPGL file",
    "More legend lines than calls to curve",
    "Instruction code: incorrect parameter",
    "Instruction code: incorrect tabulator index",
    "Instruction code: no integer value",
    "Instruction code: unknown command",
    "Blanking buffer overflow",
    "No call to psfont",
    "Fileformat is not PostScript",
    "Incorrect sign for step",
    "Non positive parameter",
    "Hiddenline overflow",
    "Not enough memory",
    "No call to imgfin",
    "No call to imgini",
    "Incorrect file format",
    "Control characters must be different",
    "Array is out of screen",
};

constexpr int kLineMax = 132;

// Counts the message and tells whether its line is printed.
bool count_and_check(Context& ctx, int code) {
  CoreState& c = ctx.core;
  if (code >= 0)
    ++c.warning_count;
  else
    ++c.out_of_scaling_count;
  return c.message_unit != 0 && (c.warnings_on == 1 || code < 0);
}

void start_line(Context& ctx, int code, const char* text, char* line) {
  line[0] = 0;
  append_bounded(line, " <<<< Warning", kLineMax);
  append_int(line, code, kLineMax);
  append_bounded(line, ": ", kLineMax);
  append_bounded(line, text, kLineMax);
  append_bounded(line, " in ", kLineMax);
  append_bounded(line, ctx.core.routine, kLineMax);
  append_bounded(line, "!", kLineMax);
}

}  // namespace

const char* message_text(int code) {
  if (code >= 1 && code <= 58) return kTexts[code];
  return kTexts[0];
}

static const char* code_text(Context& ctx, int code) {
  if (code > 100) return ctx.core.custom_message;
  return message_text(code);
}

void emit_message(Context& ctx, const char* line) {
  if (ctx.core.message_stream) {
    std::fprintf(ctx.core.message_stream, "%s", line);
    std::fflush(ctx.core.message_stream);
  } else {
    console_line(line);
  }
}

void warn_number(Context& ctx, int code, long long value) {
  open_error_file(ctx);
  if (!count_and_check(ctx, code)) return;
  char line[kLineMax + 1];
  start_line(ctx, code, code_text(ctx, code), line);
  append_bounded(line, "   (", kLineMax);
  append_int(line, value, kLineMax);
  append_bounded(line, ")\n", kLineMax);
  emit_message(ctx, line);
}

void warn_string(Context& ctx, int code, const char* text) {
  open_error_file(ctx);
  if (!count_and_check(ctx, code)) return;
  char line[kLineMax + 1];
  start_line(ctx, code, code_text(ctx, code), line);
  append_bounded(line, "   (", kLineMax);
  append_bounded(line, text ? text : "", kLineMax);
  append_bounded(line, ")\n", kLineMax);
  emit_message(ctx, line);
}

void warn_text(Context& ctx, int code, const char* text) {
  open_error_file(ctx);
  if (!count_and_check(ctx, code)) return;
  char line[kLineMax + 1];
  if (code >= 0) {
    start_line(ctx, code, text, line);
  } else {
    line[0] = 0;
    append_bounded(line, " <<<< ", kLineMax);
    append_bounded(line, text, kLineMax);
    append_bounded(line, " in ", kLineMax);
    append_bounded(line, ctx.core.routine, kLineMax);
    append_bounded(line, "!", kLineMax);
  }
  append_bounded(line, "\n", kLineMax);
  emit_message(ctx, line);
}

void warn_code(Context& ctx, int code) { warn_text(ctx, code, code_text(ctx, code)); }

void set_custom_message(Context& ctx, const char* text) {
  copy_field(ctx.core.custom_message, text);
}

void open_error_file(Context& ctx) {
  CoreState& c = ctx.core;
  if (!(c.window_app == 1 || c.error_device != 0) || c.error_file_open) return;
  if (!c.user_error_file) copy_field(c.error_file_name, "tavero.err");
  bool null_device = std::strncmp(c.error_file_name, "/dev/null", 9) == 0;
  ProcessLock lock;
  const char* mode = c.error_device == 2 ? "a" : "w";
  if (mode[0] == 'w' && !null_device) {
    if (next_version_name(ctx, c.error_file_name, sizeof c.error_file_name - 1) != 0) return;
  }
  FILE* f = std::fopen(c.error_file_name, mode);
  if (!f) return;
  c.error_file = f;
  c.message_stream = f;
  c.error_file_open = 1;
}

void close_error_file(Context& ctx) {
  CoreState& c = ctx.core;
  if (c.error_file) std::fclose(c.error_file);
  if (c.message_stream == c.error_file) c.message_stream = nullptr;
  c.error_file = nullptr;
  c.error_file_open = 0;
  if (c.message_unit == 17) {
    c.message_unit = 6;
    c.message_stream = nullptr;
  }
}

void end_protocol(Context& ctx, int variant) {
  CoreState& c = ctx.core;
  if (c.message_unit == 0 || c.protocol_mode == 0) return;
  char block[1024];
  block[0] = 0;
  char line[192];  // each pattern line is cut to 81 characters below
  char num1[24], num2[24];
  DateTime t = now_local();
  char date[12], time[10];
  format_date(t, date);
  format_time(t, time);
  auto add = [&](const char* s) { append_bounded(block, s, 650); };
  add("\n <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
  std::snprintf(line, sizeof line, "\n <<                END OF TAVERO / VERSION %4.1f%s               <<",
                11.5, ".2 ");
  line[81] = 0;
  add(line);
  std::snprintf(line, sizeof line, "\n <<  Date    : %10s  Time    : %8s  Pageformat: %4s  <<", date, time,
                c.page_name);
  line[81] = 0;
  add(line);
  int_to_text(c.vector_count, num1, sizeof num1, 0, 0);
  int_to_text(c.warning_count, num2, sizeof num2, 0, 0);
  std::snprintf(line, sizeof line, "\n <<  Vectors : %-10s  Warnings: %-8s  Fileformat: %4s  <<", num1,
                num2, c.format_name);
  line[81] = 0;
  add(line);
  if (c.nan_count != 0) {
    int_to_text(c.nan_count, num1, sizeof num1, 0, 0);
    std::snprintf(line, sizeof line, "\n <<  NaN     : %-48s  <<", num1);
    line[81] = 0;
  add(line);
  }
  char field[64];
  if (variant != 10) {
    field[0] = 0;
    append_bounded(field, "Metafile: ", 58);
    if (variant != 0) {
      char name[49];
      copy_bounded(name, c.plot_file_name, 48);
      append_bounded(field, name, 58);
    }
    std::snprintf(line, sizeof line, "\n <<  %-58s  <<", field);
    line[81] = 0;
  add(line);
  }
  if (variant >= 10) {
    field[0] = 0;
    append_bounded(field, "Err-file: ", 58);
    char name[49];
    copy_bounded(name, c.error_file_name, 48);
    append_bounded(field, name, 58);
    std::snprintf(line, sizeof line, "\n <<  %-58s  <<", field);
    line[81] = 0;
  add(line);
  }
  add("\n <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n\n");
  ProcessLock lock;
  emit_message(ctx, block);
}

std::string end_protocol_box_text(const Context& ctx, int variant) {
  const CoreState& c = ctx.core;
  DateTime t = now_local();
  char date[12], time[10], num[24];
  format_date(t, date);
  format_time(t, time);
  std::string s = "           END OF TAVERO / VERSION 11.5.2 \n";
  s += "\n Date          : ";
  s += date;
  s += "\n Time          : ";
  s += time;
  s += "\n Pageformat: ";
  s += c.page_name;
  int_to_text(c.vector_count, num, sizeof num, 0, 0);
  s += "\n Vectors      : ";
  s += num;
  if (c.nan_count != 0) {
    int_to_text(c.nan_count, num, sizeof num, 0, 0);
    s += "\n NaN          : ";
    s += num;
  }
  int_to_text(c.warning_count, num, sizeof num, 0, 0);
  s += "\n Warnings  : ";
  s += num;
  s += "\n Fileformat  : ";
  s += c.format_name;
  if (variant == 1 || variant == 11) {
    s += "\n Metafile     : ";
    s += c.plot_file_name;
  }
  if (variant >= 10) {
    s += "\n Error file    : ";
    s += c.error_file_name;
  }
  return s;
}

}  // namespace tavero
