#include "sim/fs_folder.h"

namespace sim {

bool load_file_system(FlashFs&, const std::string&, std::string* error) {
  if (error) *error = "loading a file system is not supported yet";
  return false;
}

bool dump_file_system(const FlashFs&, const std::string&, std::string* error) {
  if (error) *error = "dumping the file system is not supported yet";
  return false;
}

}  // namespace sim
