// Plot and error file naming: versioning by the file mode of filmod, the installation
// directory of the data files.
#pragma once
#include <string>

#include "core/context.h"

namespace tavero {

// Applies the file mode to name (a buffer of cap + 1 bytes): 0 when name may be written
// (possibly renamed to a free version), else a message code whose custom text is set.
int next_version_name(Context& ctx, char* name, int cap);
// The installation directory: $TAVERO, else tavenv, else the package's data directory.
std::string install_dir(const Context& ctx);
// Where the Python package keeps its data (set by the binding at import).
void set_package_dir(const char* dir);
// Default extension of a device code ("met", "pdf", ...; "   " when it has none).
const char* device_extension(int device);

}  // namespace tavero
