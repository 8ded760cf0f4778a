// Everything the simulated handset remembers: test mode, its flash file
// system, the parameter store, registers and calibration values.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sim {

// A handset path as the file system keys it: absolute, single slashes, no
// trailing slash ("mmi" and "//mmi/" both name "/mmi"; "" and "/" name the root).
std::string normalize_path(const std::string& path);

// The flash file system: absolute paths ("/gsm/rf/afcdac") of directories and
// files. "/" always exists once formatted.
struct FlashFs {
  bool formatted = true;  // a handset off the line already has a file system
  std::set<std::string> directories{"/"};
  std::map<std::string, std::vector<std::uint8_t>> files;

  // The file open for writing (after an open request) and what was written so far.
  std::optional<std::string> open_for_write;
  std::vector<std::uint8_t> write_buffer;

  // The file a read set-up named, and how far block reads have come.
  std::optional<std::string> open_for_read;
  std::size_t read_position = 0;

  // The directory of the last directory request.
  std::string current_directory = "/";

  // The first format request arrived; the second one completes the format.
  bool format_armed = false;

  // Test knobs for a misbehaving handset: a size the file query reports
  // instead of the file's length, and bytes added to (negative: taken from)
  // the data of every block read.
  std::optional<std::uint16_t> reported_size;
  int block_read_surplus = 0;
};

// Test-mode parameters and registers.
struct ParameterStore {
  std::array<std::uint8_t, 30> digits{};  // what "stw 34" wrote, read back by "str 35"
  std::array<std::uint8_t, 20> text{};    // what "stw 35" wrote, read back by "str 36"
  std::map<std::uint8_t, std::uint16_t> registers{{0x5B, 0x005B}};
  std::uint16_t agc_value = 0x0123;
  std::vector<std::uint8_t> last_agc_write;   // body of the last 0x32 request
  std::vector<std::uint8_t> last_spw;         // head and body of the last 0x50 request
  std::vector<std::uint8_t> last_rfe;         // head of the last 0x23 request
};

struct HandsetState {
  bool in_test_mode = false;
  std::uint8_t test_mode_level = 0;
  std::uint8_t last_se_value = 0;
  int nvm_resets = 0;
  // Battery calibration pair, as the calibration check reads it.
  std::uint16_t battery_low = 3200;
  std::uint16_t battery_high = 4200;
  FlashFs fs;
  ParameterStore parameters;
};

}  // namespace sim
