// Colour values, the colour table and the conversions between them.
#pragma once
#include <cstdint>

#include "core/context.h"
#include "drivers/driver.h"

namespace tavero {

// Names of the predefined colour tables, in the order of the setvlt keywords.
enum ColorTableName : int {
  kVltSmal = 0, kVltRain, kVltSpec, kVltGrey, kVltRrai, kVltRspe, kVltRgre, kVltVga, kVltTemp
};
// Slots of the named colours, in the order of the color keywords.
enum NamedColor : int {
  kNamedWhit = 0, kNamedRed, kNamedGree, kNamedYell, kNamedBlue, kNamedOran, kNamedCyan,
  kNamedMage, kNamedBlac
};

inline bool is_explicit(int colour) { return (static_cast<uint32_t>(colour) >> 24) == 1; }
inline int make_explicit(int r, int g, int b) { return 0x01000000 | (b << 16) | (g << 8) | r; }
// One channel 0..1 as a byte: trunc(255 c + 0.5), clamped.
int channel_byte(double c);

// The colour as the current device needs it (index on palette devices, RGB otherwise).
DeviceColor resolve_color(const Context& ctx, int colour);
// Red, green and blue of a colour value as the table or the explicit value gives them.
void color_rgb(const Context& ctx, int colour, int& r, int& g, int& b);
// Nearest colour index to (r, g, b) over the usable entries of the table.
int nearest_index(const Context& ctx, int r, int g, int b);
// Loads a predefined table by its name index with every device adjustment, sends it and
// selects the foreground colour.
void load_color_table(Context& ctx, int name);
// Sends the table to palette devices.
void send_palette(Context& ctx);
// The colour cycle from the named colours.
void reset_color_cycle(Context& ctx);

// Colour of a value (shared colour scaling of shaded contours, surfaces, colour bars).
void set_color_scaling(Context& ctx, double za, double ze, bool log_axis, double user_lo,
                       double user_hi, bool from_data);
int color_of_value(const Context& ctx, double v);

void reset_colors(Context& ctx);

}  // namespace tavero
