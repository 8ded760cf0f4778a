#include "sim/request_table.h"

#include <gtest/gtest.h>

#include <set>

#include "link/request_ids.h"

// The tool names each request once (link/request_ids.h), the simulated
// handset in its own table: the two must name the same requests.
TEST(RequestTable, the_handset_answers_exactly_the_requests_the_tool_sends) {
  const std::set<std::uint8_t> tool{
      wire::kTiRequest,           wire::kTestModeRequest,     wire::kSeRequest,
      wire::kParameterWriteRequest, wire::kParameterReadRequest, wire::kRegisterWriteRequest,
      wire::kRegisterReadRequest, wire::kSpwRequest,          wire::kRfeRequest,
      wire::kAgcWriteRequest,     wire::kAgcReadRequest,      wire::kCalibrationRequest,
      wire::kFsRequest};
  std::set<std::uint8_t> handset;
  for (const sim::RequestEntry& entry : sim::request_table()) {
    EXPECT_TRUE(handset.insert(entry.id).second) << "twice in the handset's table: " << int(entry.id);
    EXPECT_NE(entry.answer, nullptr) << int(entry.id);
  }
  EXPECT_EQ(handset, tool);
  EXPECT_EQ(sim::find_request(0x99), nullptr);
}
