// Any station a person may write: the checker reads "custdefine", the
// scripts it names and their PC files, and must end with its report, never a
// crash, an overrun or a hang.
//
// The other files a person edits in a station are read here too: "comports"
// (port devices, the checksum line) and "ffsload.conf" (the records location).
//
// Input: "custdefine" up to the first 0xFF byte, then the script "a.tms"
// (which custdefine may or may not name) up to the next 0xFF, then a PC file
// "pc" that the script may name, then "comports", then "ffsload.conf".
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "check/custdefine_check.h"
#include "check/findings.h"
#include "check/script_check.h"
#include "platform/serial_port_config.h"
#include "records/location.h"

namespace {

void write_file(const std::string& name, const std::string& content) {
  if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
}

std::string next_part(const std::string& all, std::size_t& at) {
  const std::size_t end = all.find('\xFF', at);
  std::string part = all.substr(at, end == std::string::npos ? std::string::npos : end - at);
  at = end == std::string::npos ? all.size() : end + 1;
  return part;
}

std::FILE* g_sink = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/ffsload-fuzz-check-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  g_sink = std::fopen("/dev/null", "w");
  return g_sink ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  std::size_t at = 0;
  write_file("custdefine", next_part(all, at));
  write_file("a.tms", next_part(all, at));
  write_file("pc", next_part(all, at));
  write_file("comports", next_part(all, at));
  write_file("ffsload.conf", next_part(all, at));
  (void)platform::list_comports_ports();
  (void)platform::comports_checks_reply_checksum();
  for (int port = 1; port <= 8; ++port) (void)platform::device_path_for_port(port);
  (void)records::resolve_location("");
  check::Report report(g_sink);
  for (const std::string& script : check::check_custdefine(report)) {
    // Only the scratch folder's own script: a name from the input could be
    // any path on the machine.
    if (script == "a.tms") check::check_script(script, report, true);
  }
  check::check_script("a.tms", report, true);
  report.print_summary();
  return 0;
}
