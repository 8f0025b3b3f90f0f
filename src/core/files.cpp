#include "core/files.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/messages.h"
#include "core/strutil.h"
#include "drivers/registry.h"

namespace tavero {

namespace {
std::string g_package_dir;

bool exists(const char* name) {
  FILE* f = std::fopen(name, "r");
  if (!f) return false;
  std::fclose(f);
  return true;
}
}  // namespace

void set_package_dir(const char* dir) { g_package_dir = dir ? dir : ""; }

int next_version_name(Context& ctx, char* name, int cap) {
  CoreState& c = ctx.core;
  if (!exists(name)) return 0;
  if (c.file_mode == 1) {  // DELE
    if (std::remove(name) != 0) {
      set_custom_message(ctx, "Plotfile cannot be deleted");
      return 168;
    }
    return 0;
  }
  if (c.file_mode == 2) {  // BREA
    set_custom_message(ctx, "Plotfile does exist");
    return 169;
  }
  int digits = c.version_digits;
  long limit = 1;
  for (int i = 0; i < digits; ++i) limit *= 10;
  int len = static_cast<int>(std::strlen(name));
  int file_start = 0;
  for (int i = 0; i < len; ++i)
    if (name[i] == '\\' || name[i] == '/') file_start = i + 1;
  int point = len;
  for (int i = len - 1; i >= file_start; --i)
    if (name[i] == '.') {
      point = i;
      break;
    }
  const char* sep = c.version_sep == 0 ? "_" : c.version_sep == 1 ? "-" : "";
  int sep_len = static_cast<int>(std::strlen(sep));
  for (long i = 1; i < limit; ++i) {
    char num[16];
    int nlen = int_to_text(i, num, sizeof num, c.version_form == 1 ? digits : 0, 1);
    int base_end = point;
    if (c.file_mode == 0) {  // COUN keeps the classic 8-character base name
      int room = 8 - sep_len - nlen;
      if (room < 0) room = 0;
      if (base_end - file_start > room) base_end = file_start + room;
    }
    std::string cand(name, static_cast<size_t>(base_end));
    cand += sep;
    cand += num;
    cand += name + point;
    if (static_cast<int>(cand.size()) > cap) continue;
    if (!exists(cand.c_str())) {
      copy_bounded(name, cand.c_str(), cap);
      return 0;
    }
  }
  set_custom_message(ctx, "Too many file versions");
  return 170;
}

// The folder of the loaded module (the installed package) is the default installation.
static std::string module_dir() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&module_dir), &info) && info.dli_fname) {
    std::string p = info.dli_fname;
    size_t slash = p.rfind('/');
    if (slash != std::string::npos) return p.substr(0, slash);
  }
  return ".";
}

std::string install_dir(const Context& ctx) {
  if (const char* env = std::getenv("TAVERO"); env && *env) return env;
  if (ctx.core.install_dir_set) return ctx.core.install_dir;
  if (!g_package_dir.empty()) return g_package_dir;
  return module_dir();
}

const char* device_extension(int device) {
  const DeviceEntry* e = find_device(device);
  return e ? e->ext : "   ";
}

}  // namespace tavero
