// The device table: every output format is one row (keyword of metafl, device code, default
// file extension, how its file is opened, factory). Adding a format = one class + one row.
#pragma once
#include "drivers/driver.h"

namespace tavero {

enum class FileKind : uint8_t {
  kNone,     // no plot file (screen, in-memory image) or the driver writes its own (PDF, WMF, EMF)
  kText,     // opened "w", line buffered output
  kBinary,   // opened "wb"
};

struct DeviceEntry {
  const char* keyword;   // four characters, upper case, blank padded
  int code;
  const char* ext;       // default extension ("   " when none)
  FileKind file;
  DriverFactory make;    // null: not available in this build
};

// Row of a metafl keyword (first four characters, case-insensitive), or null.
const DeviceEntry* find_device_keyword(const char* option);
// First row of a device code, or null.
const DeviceEntry* find_device(int code);

}  // namespace tavero
