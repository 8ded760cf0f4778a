#include "commands/test_mode.h"

#include <chrono>

#include "support/port_fixture.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

class TestModeCommands : public testing_support::SimulatedHandsetTest {};

TEST_F(TestModeCommands, requests_go_out_as_the_worked_frames) {
  EXPECT_EQ(commands::entertestmode(link, "tms 1"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x21, 0x01, 0x00, 0x20, 0x02}));
  port->clear_written();
  EXPECT_EQ(commands::entertestmode(link, "tms 0"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x21, 0x00, 0x00, 0x21, 0x02}));
  port->clear_written();
  EXPECT_EQ(commands::ti(link, "ti"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x20, 0x20, 0x02}));
  port->clear_written();
  EXPECT_EQ(commands::se(link, "se 3", "3"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x54, 0x03, 0x00, 0x57, 0x02}));
  EXPECT_EQ(log(), (std::vector<std::string>{"tms 1  => 0 (1)", "tms 0  => 0 (1)", "ti  => 0 (1)",
                                             "se 3  => 0 (1)"}));
}

TEST_F(TestModeCommands, test_mode_mode_byte_follows_the_line_start) {
  for (auto [text, mode] : std::vector<std::pair<std::string, int>>{{"tms 0", 0},
                                                                    {"tms 0x", 0},
                                                                    {"tms 05", 0},
                                                                    {"tms", 1},
                                                                    {"tms 1", 1},
                                                                    {"tms1", 1},
                                                                    {"tms 7", 1}}) {
    line_clear();
    commands::entertestmode(link, text);
    ASSERT_EQ(requests().size(), 1u) << text;
    EXPECT_EQ(requests()[0].payload, bytes({mode, 0x00})) << text;
  }
}

TEST_F(TestModeCommands, se_value_is_cut_to_its_low_byte) {
  for (auto [word, value] : std::vector<std::pair<std::string, int>>{{"256", 0x00},
                                                                     {"300", 0x2C},
                                                                     {"-1", 0xFF},
                                                                     {"abc", 0x00},
                                                                     {"", 0x00},
                                                                     {"99999999999999", 0xFF}}) {
    line_clear();
    commands::se(link, "se " + word, word);
    ASSERT_EQ(requests().size(), 1u) << word;
    EXPECT_EQ(requests()[0].payload[0], value) << word;
  }
}

TEST_F(TestModeCommands, handset_answering_the_third_attempt_logs_three) {
  fault("silent:0x20:1:2");
  EXPECT_EQ(commands::ti(link, "ti"), 0);
  EXPECT_EQ(requests().size(), 3u);
  EXPECT_EQ(log(), std::vector<std::string>{"ti  => 0 (3)"});
}

TEST_F(TestModeCommands, silent_handset_costs_five_timeouts_on_the_clock_not_in_real_time) {
  fault("silent:*");
  const auto real_start = std::chrono::steady_clock::now();
  const long start = now();
  EXPECT_EQ(commands::entertestmode(link, "tms 1"), 100);
  EXPECT_EQ(now() - start, 5 * 1500);
  EXPECT_EQ(commands::se(link, "se 3", "3"), 100);
  EXPECT_EQ(now() - start, 5 * 1500 + 5 * 5000);  // the 25-second failure sequence
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(1));
  EXPECT_EQ(requests().size(), 10u);
  EXPECT_EQ(log(), (std::vector<std::string>{"tms 1  => 100 (5)", "se 3  => 100 (5)"}));
}

TEST_F(TestModeCommands, every_kind_of_bad_reply_fails_and_is_retried_at_once) {
  for (const char* kind : {"refuse", "wrong-id", "bad-checksum", "missing-end", "noise"}) {
    line_clear();
    fault(std::string(kind) + ":0x54:1:1");
    const int status = commands::se(link, "se 1", "1");
    // Noise (8 bytes) and a wrong checksum are tolerated; the rest costs an attempt.
    const bool tolerated = std::string(kind) == "noise" || std::string(kind) == "bad-checksum";
    EXPECT_EQ(status, 0) << kind;
    EXPECT_EQ(requests().size(), tolerated ? 1u : 2u) << kind;
  }
}

TEST_F(TestModeCommands, hang_up_fails_the_command_without_waiting_out_timeouts) {
  fault("hang-up:1");
  const long start = now();
  EXPECT_EQ(commands::ti(link, "ti"), 100);
  EXPECT_EQ(now(), start);
  EXPECT_EQ(log(), std::vector<std::string>{"ti  => 100 (5)"});
}

TEST_F(TestModeCommands, sleep_waits_milliseconds_and_never_fails) {
  long start = now();
  EXPECT_EQ(commands::sleep(link, "sleep 1000", "1000"), 0);
  EXPECT_EQ(now() - start, 1000);
  start = now();
  EXPECT_EQ(commands::sleep(link, "sleep abc", "abc"), 0);
  EXPECT_EQ(commands::sleep(link, "sleep -5", "-5"), 0);
  EXPECT_EQ(commands::sleep(link, "sleep", ""), 0);
  EXPECT_EQ(now(), start);
  EXPECT_EQ(log(), (std::vector<std::string>{"sleep 1000", "sleep abc", "sleep -5", "sleep"}));
  EXPECT_TRUE(requests().empty());
}

TEST_F(TestModeCommands, sleep_takes_decimal_numbers_only_and_fractions_of_a_millisecond) {
  // (word, microseconds waited)
  for (auto [word, waited] : std::vector<std::pair<std::string, long long>>{
           {"0.5", 500},
           {"1e3", 1'000'000},
           {"250ms", 250'000},
           {"inf", 0},
           {"info", 0},
           {"INFINITY", 0},
           {"nan", 0},
           {"0x1F4", 0},  // the hexadecimal prefix ends the number at its "0"
           {"-", 0}}) {
    const long long start = clock.now_us();
    EXPECT_EQ(commands::sleep(link, "sleep " + word, word), 0);
    EXPECT_EQ(clock.now_us() - start, waited) << word;
  }
}

class SeReply : public testing_support::BarePortTest {};

TEST_F(SeReply, reply_without_its_head_byte_fails) {
  // The handset's reply lacks the head byte: the checksum sits where the end belongs.
  int requests = 0;
  port->set_peer([&](std::span<const std::uint8_t>) {
    ++requests;
    port->deliver(bytes({0x02, 0x14, 0x54, 0x00, 0x54, 0x02}));
  });
  EXPECT_EQ(commands::se(link, "se 3", "3"), 100);
  EXPECT_EQ(requests, 5);
}
