#include "ui/command_line.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/port_names.h"
#include "platform/rs232.h"
#include "platform/run_panel.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "script/runner.h"
#include "ui/customer_definition.h"

namespace ui {

namespace {

constexpr int kExitGreen = 0;
constexpr int kExitRed = 1;
constexpr int kExitNoRun = 2;

void usage() {
  std::fprintf(stderr,
               "usage: ffsload run --port N (--script FILE | --customer N[.S]) [--device PATH]\n"
               "                   [--save] [--trace]\n"
               "  --port N       serial port 1..8 (the device comes from the \"comports\" file\n"
               "                 of the current folder, else /dev/ttyS<N-1>)\n"
               "  --script FILE  the .tms script to run\n"
               "  --customer N[.S]  the script of customer N (sub-number S, which counts only\n"
               "                 for the customer of the \"qm\" line), from \"custdefine\"\n"
               "  --device PATH  the device of the port, overriding the above\n"
               "  --save         also save the run log to Download_MMDD-HHMMSS.txt\n"
               "  --trace        print every frame on stderr, with the time since the last one\n");
}

struct Options {
  int port = 0;
  std::string script;
  std::optional<std::pair<int, int>> customer;  // customer number, sub-number
  std::string device;
  bool save = false;
  bool trace = false;
};

// "N" or "N.S": a customer number (signed 8 bits, as the panel holds it)
// and a one-digit sub-number.
std::optional<std::pair<int, int>> parse_customer(const std::string& text) {
  const auto point = text.find('.');
  const std::string number = text.substr(0, point);
  const std::string sub = point == std::string::npos ? "0" : text.substr(point + 1);
  char* end = nullptr;
  const long n = std::strtol(number.c_str(), &end, 10);
  if (number.empty() || *end != '\0' || n < -128 || n > 127) return std::nullopt;
  if (sub.size() != 1 || sub[0] < '0' || sub[0] > '9') return std::nullopt;
  return std::pair{static_cast<int>(n), sub[0] - '0'};
}

// Finds the customer's script as the selection panel does. Returns false
// (after telling the operator) when no run can happen.
bool choose_customer(const Options& o, std::string* ma_no) {
  if (!read_index_qm()) {
    platform::MessagePopup("Error", "Fail to open file <custdefine>");
    return false;
  }
  auto [customer, sub_number] = *o.customer;
  if (customer != index_qm) sub_number = 0;  // the sub-number control is hidden
  std::string script;
  switch (find_customer(customer, sub_number, &script)) {
    case CustomerLookup::kNoFile:
      platform::MessagePopup("Error", "Fail to open file <custdefine>");
      return false;
    case CustomerLookup::kNotFound:
      platform::MessagePopup("Error", "Fail to find the customer");
      return false;
    case CustomerLookup::kFound:
      break;
  }
  tmsfile = script;
  *ma_no = read_ma_no(script);
  return true;
}

bool parse(int argc, char** argv, Options* o) {
  std::vector<std::string> args(argv, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) return false;
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--port" && value(&v)) {
      char* end = nullptr;
      long port = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || port < platform::kLowestPort ||
          port > platform::kHighestPort) {
        std::fprintf(stderr, "ffsload: --port takes a number from 1 to 8, not \"%s\"\n", v.c_str());
        return false;
      }
      o->port = static_cast<int>(port);
    } else if (a == "--script" && value(&o->script)) {
    } else if (a == "--device" && value(&o->device)) {
    } else if (a == "--save") {
      o->save = true;
    } else if (a == "--trace") {
      o->trace = true;
    } else if (a == "--customer" && value(&v)) {
      o->customer = parse_customer(v);
      if (!o->customer) {
        std::fprintf(stderr,
                     "ffsload: --customer takes N or N.S (N from -128 to 127, S one digit), "
                     "not \"%s\"\n",
                     v.c_str());
        return false;
      }
    } else {
      std::fprintf(stderr, "ffsload: unknown or incomplete option \"%s\"\n", a.c_str());
      return false;
    }
  }
  if (o->port == 0 || o->script.empty() == !o->customer) {
    std::fprintf(stderr, "ffsload: run needs --port and one of --script and --customer\n");
    return false;
  }
  return true;
}

// Writes the run log as the operator's Save button does.
void save_run_log(platform::HeadlessUserInterface& ui) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string name = platform::strprintf("Download_%02d%02d-%02d%02d%02d.txt", local.tm_mon + 1,
                                         local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  std::FILE* f = std::fopen(name.c_str(), "wb");
  bool ok = f != nullptr;
  for (const std::string& line : ui.control(platform::runPanel, platform::kRunLogControl).lines) {
    // The station's saved logs have always had CR LF line ends.
    if (ok) ok = std::fprintf(f, "%s\r\n", line.c_str()) >= 0;
  }
  if (f && std::fclose(f) != 0) ok = false;
  if (ok) {
    std::fprintf(stderr, "ffsload: run log saved to %s\n", name.c_str());
  } else {
    std::fprintf(stderr, "Error: cannot write the run log file %s\n", name.c_str());
  }
}

void install_trace() {
  static long last = platform::clock();
  wire::set_trace_sink([](bool outgoing, std::span<const std::uint8_t> bytes) {
    long now = platform::clock();
    std::string hex;
    for (std::uint8_t b : bytes) hex += platform::strprintf(" %02X", b);
    std::fprintf(stderr, "%s%s  (+%ld ms)\n", outgoing ? ">" : "<", hex.c_str(), now - last);
    last = now;
  });
}

}  // namespace

int run_command(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, &o)) {
    usage();
    return kExitNoRun;
  }

  platform::HeadlessUserInterface ui;
  ui.echo_run_log(platform::runPanel, platform::kRunLogControl, stdout);
  ui.echo_popups(stderr);
  platform::set_user_interface(&ui);
  if (o.trace) install_trace();

  if (!o.device.empty()) platform::set_device_override(o.port, o.device);
  comport = o.port;
  tmsfile = o.script;
  std::string ma_no;
  if (o.customer && !choose_customer(o, &ma_no)) {
    platform::set_user_interface(nullptr);
    return kExitNoRun;
  }
  const std::string device = platform::device_path_for_port(o.port);
  std::fprintf(stderr, "ffsload: port %d, device %s, script %s", o.port, device.c_str(),
               tmsfile.c_str());
  if (o.customer) std::fprintf(stderr, ", MA_NO \"%s\"", ma_no.c_str());
  std::fprintf(stderr, "\n");

  config_comport(comport);
  if (std::string why = platform::last_open_error(comport); !why.empty()) {
    // The run still goes ahead: its exchanges fail and the log says which.
    std::fprintf(stderr, "Error: cannot open port %d: %s\n", comport, why.c_str());
  }

  using namespace platform;
  SetCtrlVal(runPanel, kElapsedTimeControl, "");
  const std::time_t start = std::time(nullptr);
  ResetTextBox(runPanel, kRunLogControl, "");
  SetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, kColorYellow);
  download();
  const long elapsed = static_cast<long>(std::time(nullptr) - start);
  SetCtrlVal(runPanel, kElapsedTimeControl, strprintf("%ld", elapsed));

  int colour = 0;
  GetCtrlAttribute(runPanel, kRunLogControl, kAttrBackColor, &colour);
  if (o.save) save_run_log(ui);
  set_user_interface(nullptr);
  close_all_ports();
  if (colour == kColorGreen) {
    std::fprintf(stderr, "ffsload: green: every command succeeded (%ld s)\n", elapsed);
    return kExitGreen;
  }
  if (colour == kColorRed) {
    std::fprintf(stderr, "ffsload: red: a command failed and stopped the script (%ld s)\n",
                 elapsed);
    return kExitRed;
  }
  std::fprintf(stderr, "ffsload: no run: the script could not be opened\n");
  return kExitNoRun;
}

}  // namespace ui
