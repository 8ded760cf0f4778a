#include "board/cfx_status.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cfx/queue.h"
#include "support/temp_dir.h"

namespace {

cfx::Envelope message(const std::string& id) {
  cfx::Envelope e;
  e.message_name = "CFX.Heartbeat";
  e.unique_id = id;
  e.time_stamp = "2026-12-08T17:06:05.123+00:00";
  e.source = "A.B.C";
  e.body = cfx::body_of(e.message_name);
  return e;
}

TEST(BoardCfxStatus, AStationWithoutAQueueShowsNoneAndGetsNone) {
  testing_support::TempDir dir;
  EXPECT_EQ(board::cfx_status_json(dir.path()), R"({"queue":false})");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()) / cfx::kQueueFile));
}

TEST(BoardCfxStatus, CountsWaitingAndSetAsideWithTheOldestAndLastDelivered) {
  testing_support::TempDir dir;
  std::string error;
  auto q = cfx::Queue::open(dir.path(), &error);
  ASSERT_TRUE(q) << error;
  const std::vector<cfx::Envelope> three = {message("a"), message("b"), message("c")};
  ASSERT_TRUE(q->add(three, &error));
  const auto w = q->waiting(3);
  ASSERT_TRUE(q->remove(w[0].seq, 1796749565123));
  ASSERT_TRUE(q->set_aside(w[1].seq, "refused"));
  const auto j = nlohmann::json::parse(board::cfx_status_json(dir.path()));
  EXPECT_EQ(j["queue"], true);
  EXPECT_EQ(j["waiting"], 1);
  EXPECT_EQ(j["set_aside"], 1);
  EXPECT_TRUE(j["oldest_waiting"].is_string());
  EXPECT_EQ(j["last_delivered"], "2026-12-08T17:06:05.123Z");
}

}  // namespace
