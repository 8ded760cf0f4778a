// Any script file: the runner and every command it reaches must end the run
// green or red, without a crash, an overrun or a hang. The handset is the
// simulated one in process, on a fake clock, in a folder of the fuzzer's own.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/serial_memory_backend.h"
#include "platform/serial_operations.h"
#include "platform/run_panel.h"
#include "platform/user_interface.h"
#include "script/runner.h"
#include "sim/handset.h"
#include "sim/in_process.h"
#include "sim/simulated_line.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Scripts name PC files: keep whatever they write inside a scratch folder.
  char dir[] = "/tmp/ffsload-fuzz-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string script(reinterpret_cast<const char*>(data), size);
  // A read-back writes the PC file a script names; never let one name a path
  // outside the scratch folder.
  if (script.find('/') != std::string::npos && script.find("frd") != std::string::npos) return 0;
  if (FILE* f = std::fopen("fuzz.tms", "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  static platform::FakeTime clock;
  static platform::HeadlessUserInterface ui;
  platform::set_time_source(&clock);
  platform::set_user_interface(&ui);
  sim::Handset handset;
  sim::SimulatedLine line(handset);
  auto port = std::make_shared<platform::MemorySerialDevice>();
  sim::connect(line, *port);
  platform::install_port(3, port);
  wire::Link link(3);
  char imei_flag = 0;
  fs::ImeiGuard guard(imei_flag);
  script::Runner runner(link, guard);
  runner.tmsfile = "fuzz.tms";
  platform::ResetTextBox(platform::run_panel(), platform::kRunLogControl, "");
  runner.download();
  platform::close_all_ports();
  return 0;
}
