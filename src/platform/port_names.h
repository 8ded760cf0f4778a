// Which device file stands behind a port number: a "--device" override, else
// a line "N PATH" of the file "comports" in the start folder, else /dev/ttyS<N-1>.
#pragma once

#include <string>

namespace platform {

void set_device_override(int port, const std::string& path);
void clear_device_overrides();
std::string device_path_for_port(int port);

// True when "comports" holds the line "check-reply-checksum" (or
// "check-reply-checksum on"): the station's handsets follow the XOR rule in
// their replies, so a reply with a wrong checksum should fail. The port
// lines' reader skips this line, as it skips every line without a number.
bool comports_checks_reply_checksum();

}  // namespace platform
