#include "sim/handset_state.h"

namespace sim {

std::string normalize_path(const std::string& path) {
  std::string out = "/";
  for (char c : path) {
    if (c == '/' && out.back() == '/') continue;
    out += c;
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace sim
