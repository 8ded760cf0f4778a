#include "text/unistring_api.h"

#include <mutex>
#include <string>
#include <type_traits>

#include "platform/shared_library.h"

namespace text {

namespace {

constexpr const char* kName = "libunistring.so.2";

}  // namespace

const LibUnistring* libunistring(std::string* error) {
  // The board asks from several threads at once.
  static std::mutex mutex;
  static LibUnistring api;
  static bool loaded = false;
  std::lock_guard lock(mutex);
  if (loaded) return &api;
  std::string why;
  void* library = platform::load_shared_library(kName, &why);
  if (!library) {
    *error = std::string(kName) + " cannot be loaded (the package libunistring2 brings it): " + why;
    return nullptr;
  }
  const auto resolve = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
        platform::library_symbol(library, name, &why));
    return function != nullptr;
  };
  if (!resolve(api.u8_mbtoucr, "u8_mbtoucr") ||
      !resolve(api.uc_is_general_category_withtable, "uc_is_general_category_withtable") ||
      !resolve(api.unicode_character_name, "unicode_character_name")) {
    *error = std::string(kName) + " is too old: " + why;
    return nullptr;
  }
  loaded = true;
  return &api;
}

}  // namespace text
