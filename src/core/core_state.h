// Control fields of the context record: level, device choice, page, file naming, message
// routing and counters. Member initialisers are the values a new record starts with.
#pragma once
#include <cstdint>
#include <cstdio>

namespace tavero {

struct CoreState {
  int level = 0;
  int device = 0;                 // device code chosen by metafl (0 = none yet)
  int vector_count = 0;           // segments sent since tavini (end protocol)
  int page_w = 2969, page_h = 2099;   // page in plot units (largest coordinates)
  int origin_x = 0, origin_y = 0;     // origin shift; y negated while the page origin is at the bottom
  uint8_t protocol_mode = 0;      // end protocol: 0 off, 1 on, 2 into the error file
  int win_x = 0, win_y = 0, win_w = 853, win_h = 603;  // screen window / raster geometry
  int win_geom_mode = 0;          // 0 default, 1 window(), 2 winsiz()
  int given_win_x = 0, given_win_y = 0, given_win_w = 0, given_win_h = 0;
  int eff_screen_mode = 0;        // background mode in force for this run
  int first_screen_mode = -1;     // effective screen mode of the first tavini (-1 none)
  uint8_t page_mode = 0;          // pagmod: 0 landscape, 1 turned, 2 no rotation
  uint8_t screen_mode = 4;        // scrmod: 0 ERAS/NORE, 1 NOER, 2 REVE, 4 AUTO
  uint8_t page_origin = 0;        // pagorg: 0 top, 1 bottom
  uint8_t format_chosen = 0;      // metafl was called
  double unit_factor = 1.0;       // base units (0.1 mm) per plot unit
  double page_size_w = 2969.0, page_size_h = 2099.0;  // in base units
  double tolerance = 1e-35;
  double deg_factor = 0.01745329277777778;
  double pi = 3.1415927410125732;
  int bits_per_pixel = 8;
  char format_name[5] = "";
  char page_name[5] = "DA4L";
  // --- messages
  int warning_count = 0;
  int out_of_scaling_count = 0;
  int message_unit = 6;           // 0 none, 6 console, 17 error file, 1 caller's stream
  int nan_count = 0;
  uint8_t error_device = 0;       // 0 CONS, 1 FILE, 2 APPE
  uint8_t warnings_on = 1;
  uint8_t check_on = 0;           // report points outside the axis scaling
  uint8_t user_error_file = 0;
  uint8_t error_file_open = 0;
  uint8_t window_app = 0;
  char error_file_name[257] = "";
  char custom_message[81] = "";
  char routine[9] = "";
  FILE* message_stream = nullptr;
  FILE* error_file = nullptr;
  // --- plot file and naming
  FILE* plot_file = nullptr;
  int file_name_state = 0;        // 0 default, 1 setfil given, 2 setfil kept
  uint8_t file_mode = 0;          // filmod: COUN DELE BREA VERS
  int install_dir_set = 0;
  uint8_t version_sep = 0;        // UNDE HYPH NONE
  uint8_t version_form = 0;       // SHOR LONG
  uint8_t version_digits = 4;
  uint8_t file_scal = 0;          // filopt SCAL
  char plot_file_name[257] = "";
  char saved_file_name[257] = "";
  char install_dir[257] = "";
  // --- page options before tavini
  double scale_factor = 1.0;      // sclfac
  int scale_mode = 0;             // sclmod: 0 DOWN, 1 FULL, 2 NONE
  int hw_page_set = 0, hw_page_w = 0, hw_page_h = 0;
  int hw_origin_set = 0, hw_origin_x = 0, hw_origin_y = 0;
  double hw_scale = 1.0;
  int page_counter = 1;
  int finished = 0;               // set by tavfin
  int axis_len_default_x = 0, axis_len_default_y = 0;
  int axis_pos_default_x = 0, axis_pos_default_y = 0;
};

}  // namespace tavero
