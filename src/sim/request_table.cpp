#include "sim/request_table.h"

#include <array>

#include "sim/handlers.h"

namespace sim {

namespace {

constexpr std::uint8_t kNvmResetHead = 0x3C;

// 0x52 writes a parameter, or resets the NVM when its head byte says so.
std::optional<Reply> answer_parameter_write(HandsetState& state, const Request& request) {
  if (!request.payload.empty() && request.payload[0] == kNvmResetHead) {
    return answer_nvm_reset(state, request);
  }
  return answer_parameters(state, request);
}

constexpr std::array<RequestEntry, 13> kTable{{
    {0x20, "ti", answer_test_mode},
    {0x21, "test mode", answer_test_mode},
    {0x54, "se", answer_test_mode},
    {0x45, "calibration", answer_calibration},
    {0x52, "parameter write / NVM reset", answer_parameter_write},
    {0x53, "parameter read", answer_parameters},
    {0x42, "register write", answer_parameters},
    {0x43, "register read", answer_parameters},
    {0x50, "spw", answer_parameters},
    {0x23, "rfe", answer_parameters},
    {0x32, "AGC write", answer_parameters},
    {0x33, "AGC read", answer_parameters},
    {0x70, "file system", answer_file_system},
}};

}  // namespace

std::span<const RequestEntry> request_table() {
  return kTable;
}

const RequestEntry* find_request(std::uint8_t id) {
  for (const RequestEntry& entry : kTable) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

}  // namespace sim
