#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

void* load_shared_library(const std::string& name, std::string* error) {
  void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = ::dlerror();
    *error = why ? why : "cannot be loaded";
  }
  return library;
}

void* library_symbol(void* library, const char* symbol, std::string* error) {
  ::dlerror();
  void* address = ::dlsym(library, symbol);
  if (!address) {
    const char* why = ::dlerror();
    *error = why ? why : std::string(symbol) + " is not in the library";
  }
  return address;
}

}  // namespace platform
