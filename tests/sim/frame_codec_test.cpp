#include "sim/frame_codec.h"

#include <gtest/gtest.h>

#include "sim/faults.h"
#include "sim/handset.h"
#include "sim/simulated_line.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

TEST(SimFrames, parser_takes_requests_apart_across_escapes_and_split_reads) {
  sim::RequestParser parser;
  auto frame = bytes({0x02, 0x14, 0x42, 0x10, 0x10, 0x10, 0x02, 0x05, 0x00, 0x55, 0x02});
  // Fed one byte at a time, with noise in front.
  std::vector<sim::Request> got;
  for (std::uint8_t b : bytes({0x33, 0x02})) parser.feed(std::span(&b, 1));
  for (std::uint8_t b : frame) {
    auto r = parser.feed(std::span(&b, 1));
    got.insert(got.end(), r.begin(), r.end());
  }
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].id, 0x42);
  EXPECT_EQ(got[0].payload, bytes({0x10, 0x02, 0x05, 0x00}));
}

TEST(SimFrames, parser_drops_frames_with_a_wrong_checksum) {
  sim::RequestParser parser;
  EXPECT_TRUE(parser.feed(bytes({0x02, 0x14, 0x20, 0x21, 0x02})).empty());
  EXPECT_EQ(parser.dropped_frames(), 1);
  EXPECT_EQ(parser.feed(bytes({0x02, 0x14, 0x52, 0x42, 0x10, 0x10, 0x02})).size(), 1u);
}

TEST(SimFrames, replies_escape_head_data_and_checksum) {
  sim::Reply r{0, {0x10}, {0x02, 0x41}};
  // checksum 0x53 ^ 0 ^ 0x10 ^ 0x02 ^ 0x41 = 0x00
  EXPECT_EQ(sim::encode_reply(0x53, r),
            bytes({0x02, 0x14, 0x53, 0x00, 0x10, 0x10, 0x10, 0x02, 0x41, 0x00, 0x02}));
}

TEST(SimFaults, specs_parse_and_select_the_requests_they_name) {
  std::string error;
  EXPECT_FALSE(sim::parse_fault("explode", &error));
  EXPECT_FALSE(sim::parse_fault("silent:0x100", &error));
  EXPECT_FALSE(sim::parse_fault("silent:0", &error));
  EXPECT_FALSE(sim::parse_fault("silent:1:2:3:4", &error));

  sim::FaultPlan plan;
  plan.add(*sim::parse_fault("refuse:0x70/0x1B:2:1", &error));
  sim::Request write{0x70, bytes({0x1B, 0x01, 0x00, 0x41, 0x00})};
  sim::Request close{0x70, bytes({0x07, 0x00})};
  EXPECT_FALSE(plan.for_request(write, 1));
  EXPECT_FALSE(plan.for_request(close, 2));
  EXPECT_TRUE(plan.for_request(write, 3));   // the second write
  EXPECT_FALSE(plan.for_request(write, 4));  // only once

  sim::FaultPlan by_number;
  by_number.add(*sim::parse_fault("silent:3", &error));
  EXPECT_FALSE(by_number.for_request(close, 2));
  EXPECT_TRUE(by_number.for_request(close, 3));
}

TEST(SimLine, a_line_that_forgets_its_requests_keeps_counting_them_for_its_faults) {
  sim::Handset handset;
  sim::SimulatedLine line(handset);
  std::string error;
  line.faults().add(*sim::parse_fault("silent:3", &error));
  // A "ti" request, as the tool frames it.
  const auto request = bytes({0x02, 0x14, 0x20, 0x20, 0x02});
  EXPECT_FALSE(line.receive(request).empty());
  line.forget_requests();  // what the simulator does after logging each
  EXPECT_FALSE(line.receive(request).empty());
  line.forget_requests();
  EXPECT_TRUE(line.receive(request).empty());  // the third, though only one is held
  EXPECT_EQ(line.requests().size(), 1u);
  EXPECT_EQ(line.received_count(), 3);
}
