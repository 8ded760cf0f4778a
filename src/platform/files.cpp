#include "platform/files.h"

#include <sys/stat.h>

namespace platform {

int CVI_GetFileSize(const char* path, long* size) {
  struct stat st {};
  if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  if (size) *size = static_cast<long>(st.st_size);
  return 0;
}

}  // namespace platform
