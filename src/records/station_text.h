// Text from station files as the records keep it. Older station PCs wrote
// their files ("MA_NO", scripts, custdefine) in Latin-1, and the records hold
// UTF-8: a PostgreSQL database refuses anything else.
#pragma once

#include <string>

#include "records/run_record.h"

namespace records {

// Valid UTF-8 is returned as it is; anything else is read as Latin-1, one
// character a byte. A NUL, which no records text can hold, becomes U+FFFD.
std::string utf8_text(const std::string& text);

// The record with every text field passed through utf8_text.
RunRecord with_utf8_text(RunRecord record);

}  // namespace records
