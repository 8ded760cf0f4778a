// Which device file stands behind a port number: a "--device" override, else
// a line "N PATH" of the file "comports" in the start folder, else /dev/ttyS<N-1>.
#pragma once

#include <string>
#include <vector>

namespace platform {

void set_device_override(int port, const std::string& path);
void clear_device_overrides();
std::string device_path_for_port(int port);

// True when "comports" holds the line "check-reply-checksum" (or
// "check-reply-checksum on"): the station's handsets follow the XOR rule in
// their replies, so a reply with a wrong checksum should fail. The port
// lines' reader skips this line, as it skips every line without a number.
bool comports_checks_reply_checksum();

// The ports that "comports" lists, for front ends that show every port of a
// station at once, each port once with its device, in the order of the file.
// A line that names no usable port is left out and said in `problems`, one
// text each ("comports line 4: ..."); the good lines are kept. Lines without
// a leading number that the station also uses (blank, "#" comments,
// "check-reply-checksum") are not problems.
struct ComportsPort {
  int port = 0;
  std::string device;
};
struct ComportsListing {
  bool file_found = false;
  std::vector<ComportsPort> ports;
  std::vector<std::string> problems;
};
ComportsListing list_comports_ports(const std::string& file = "comports");

}  // namespace platform
