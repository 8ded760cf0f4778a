// Shared libraries loaded when first needed, not when the program starts: a
// client library that only some stations use (and that brings a dozen more
// with it) then costs nothing to those that do not.
#pragma once

#include <string>

namespace platform {

// Loads the library by its file name (a soname such as "libpq.so.5", looked
// for where the system keeps libraries). nullptr with *error set when it
// cannot be loaded. It stays loaded for the life of the process.
void* load_shared_library(const std::string& name, std::string* error);

// The address of `symbol` in a loaded library; nullptr with *error set.
void* library_symbol(void* library, const char* symbol, std::string* error);

}  // namespace platform
