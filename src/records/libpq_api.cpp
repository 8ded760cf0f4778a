#include "records/libpq_api.h"

#include <string>

#include "platform/shared_library.h"
#include "records/store.h"

namespace records {

namespace {

constexpr const char* kLibPqName = "libpq.so.5";

LibPq load() {
  std::string error;
  void* library = platform::load_shared_library(kLibPqName, &error);
  if (!library) {
    throw StoreError("the PostgreSQL client library " + std::string(kLibPqName) +
                     " cannot be loaded (the package libpq5 brings it): " + error);
  }
  LibPq api;
#define FFSLOAD_LIBPQ_RESOLVE(name)                                                           \
  api.name =                                                                                  \
      reinterpret_cast<decltype(api.name)>(platform::library_symbol(library, #name, &error)); \
  if (!api.name) {                                                                            \
    throw StoreError("the PostgreSQL client library " + std::string(kLibPqName) +             \
                     " is too old: " + error);                                                \
  }
  FFSLOAD_LIBPQ_FUNCTIONS(FFSLOAD_LIBPQ_RESOLVE)
#undef FFSLOAD_LIBPQ_RESOLVE
  return api;
}

}  // namespace

const LibPq& libpq() {
  // A failed load throws out of the initialiser, so the next call tries again.
  static const LibPq api = load();
  return api;
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (char c : sql) {
    if (c == '?') {
      out += '$';
      out += std::to_string(++n);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace records
