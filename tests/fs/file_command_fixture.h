// The simulated handset with a fresh PC folder per test: each test runs in a
// temporary folder of its own (the PC files a script names by relative names
// land there), and starts with no IMEI backed up.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fs/readback.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace testing_support {

class FileCommandTest : public SimulatedHandsetTest {
 protected:
  void TearDown() override {
    imei.claims().release();
    SimulatedHandsetTest::TearDown();
  }

  // n bytes that differ from one another and include zero bytes.
  static std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t seed = 1) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return out;
  }

  void put_handset_file(const std::string& path, std::vector<std::uint8_t> content) {
    state().fs.files[path] = std::move(content);
  }

  static void write_pc_file(const std::string& name, const std::vector<std::uint8_t>& content) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
  }

  static std::optional<std::vector<std::uint8_t>> read_pc_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  // The PC files in the folder; the lock files of the run's claims aside.
  static std::vector<std::string> pc_files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      if (entry.path().extension() == ".lock") continue;
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The file-system requests of one operation, in order.
  std::vector<sim::Request> fs_requests(std::uint8_t operation) {
    std::vector<sim::Request> out;
    for (const auto& r : requests()) {
      if (r.id != 0x70 || r.payload.empty()) continue;
      const bool stream = r.payload[0] != 0x01;
      const std::uint8_t op = stream ? r.payload[0] : r.payload[r.payload.size() - 2];
      if (op == operation) out.push_back(r);
    }
    return out;
  }

  // The byte counts the block reads asked for.
  std::vector<int> block_read_counts() {
    std::vector<int> counts;
    for (const auto& r : fs_requests(0x1A)) counts.push_back(r.payload[1]);
    return counts;
  }

  static std::vector<int> full_blocks_then(std::size_t full, int remainder) {
    std::vector<int> counts(full, 123);
    if (remainder != 0) counts.push_back(remainder);
    return counts;
  }

 private:
  TempDir folder_;  // the current folder for the test's length
};

}  // namespace testing_support
