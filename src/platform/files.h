// File operations of the run-time that the file commands call.
#pragma once

namespace platform {

// Size in bytes of the named file: 0 and *size set on success, negative when
// the file cannot be examined (missing, not a regular file).
int CVI_GetFileSize(const char* path, long* size);

}  // namespace platform
