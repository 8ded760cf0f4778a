#include "fs/pc_file.h"

namespace fs {

std::string_view port_suffix(int port) {
  // Only the low byte of the port number was ever compared.
  switch (port & 0xFF) {
    case 1:
      return "_1";
    case 2:
      return "_2";
    default:
      return "";
  }
}

bool names_agree(std::string_view handset_name, std::string_view pc_name) {
  if (pc_name.empty()) return true;
  const std::size_t k = pc_name.size() - 1;
  return handset_name.substr(0, k) == pc_name.substr(0, k);
}

bool append_port_suffix(std::string& pc_name, int port) {
  const std::string_view suffix = port_suffix(port);
  if (suffix.empty()) return true;
  if (pc_name.size() > kLongestSuffixedName) return false;
  pc_name += suffix;
  return true;
}

}  // namespace fs
