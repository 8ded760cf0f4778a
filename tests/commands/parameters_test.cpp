#include "commands/parameters.h"

#include "script/runner.h"
#include "support/sim_fixture.h"

using testing_support::bytes;
using Lines = std::vector<std::string>;

class ParameterCommands : public testing_support::SimulatedHandsetTest {
 protected:
  std::vector<int> request_ids() {
    std::vector<int> ids;
    for (const auto& r : requests()) ids.push_back(r.id);
    return ids;
  }
  int run(const std::string& script_line) {
    std::string directory;
    script::Runner runner(link, imei);
    return runner.run_line(script_line, directory);
  }
};

TEST_F(ParameterCommands, stw_zero_sends_the_bare_sub_command) {
  EXPECT_EQ(run("stw 0"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x52, 0x00, 0x52, 0x02}));
  EXPECT_EQ(log(), Lines{"stw 0  => 0 (1)"});
}

TEST_F(ParameterCommands, stw_and_str_numbers_not_served_give_60_without_an_exchange) {
  for (const char* text : {"stw 00", "stw 5", "stw 36", "stw", "str 34", "str 0", "str"}) {
    EXPECT_EQ(run(text), 60) << text;
  }
  EXPECT_TRUE(port->written().empty());
  EXPECT_EQ(log().front(), "stw 00  => 60 (0)");
  EXPECT_EQ(log().back(), "str  => 60 (0)");
}

TEST_F(ParameterCommands, stw_34_sends_digit_bytes_and_0xD0_for_missing_words) {
  EXPECT_EQ(run("stw 34 1 2 3 4 5 6"), 0);
  EXPECT_EQ(run("stw 34 1 23 A -"), 0);
  EXPECT_EQ(requests()[0].payload, bytes({0x22, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(requests()[1].payload, bytes({0x22, 1, 2, 0x11, 0xFD, 0xD0, 0xD0}));
}

TEST_F(ParameterCommands, stw_35_sends_twenty_text_bytes) {
  EXPECT_EQ(run("stw 35 ABC"), 0);
  EXPECT_EQ(run("stw 35 ABCDEFGHIJKLMNOPQRSTUVW"), 0);  // 23 characters: the first 20 go
  auto abc = bytes({0x23, 0x41, 0x42, 0x43});
  abc.resize(21, 0x00);
  EXPECT_EQ(requests()[0].payload, abc);
  EXPECT_EQ(requests()[1].payload.size(), 21U);
  EXPECT_EQ(requests()[1].payload.back(), 'T');
}

TEST_F(ParameterCommands, over_long_words_are_refused_before_anything_is_sent) {
  EXPECT_EQ(run("stw 35 ABCDEFGHIJKLMNOPQRSTUVWX"), 2);  // 24 characters
  EXPECT_EQ(run("cw 2 27 0x005B00000000"), 2);
  EXPECT_TRUE(port->written().empty());
}

TEST_F(ParameterCommands, str_35_compares_only_the_first_six_data_bytes) {
  state().parameters.digits.fill(0xEE);
  for (std::uint8_t i = 0; i < 6; ++i) state().parameters.digits[i] = i + 1;
  EXPECT_EQ(run("str 35 1 2 3 4 5 6"), 0);
  EXPECT_EQ(requests()[0].payload, bytes({0x23}));
  EXPECT_EQ(run("str 35 1 2 3 4 5 7"), 70);
  EXPECT_EQ(log().back(), "str 35 1 2 3 4 5 7  => 70 (5)");
  EXPECT_EQ(requests().size(), 6U);  // a mismatch is read again, like a failure
}

TEST_F(ParameterCommands, str_36_lets_zero_reply_bytes_match_anything) {
  ASSERT_EQ(run("stw 35 AxC"), 0);
  state().parameters.text[1] = 0x00;
  EXPECT_EQ(run("str 36 ABC"), 0);
  EXPECT_EQ(requests()[1].payload, bytes({0x24}));
  state().parameters.text[3] = 'D';
  EXPECT_EQ(run("str 36 ABC"), 80);
  EXPECT_EQ(log().back(), "str 36 ABC  => 80 (5)");
}

TEST_F(ParameterCommands, cw_sends_address_and_value_low_byte_first) {
  EXPECT_EQ(run("cw 2 27 0x005B"), 0);
  EXPECT_EQ(run("cw 0 40 0xabCD"), 0);
  EXPECT_EQ(requests()[0].payload, bytes({0x5B, 0x00, 0x5B, 0x00}));
  EXPECT_EQ(requests()[1].payload, bytes({0x28, 0x00, 0xCD, 0xAB}));
  EXPECT_EQ(state().parameters.registers[0x28], 0xABCD);
  EXPECT_EQ(log(), (Lines{"cw 2 27 0x005B  => 0 (1)", "cw 0 40 0xabCD  => 0 (1)"}));
}

TEST_F(ParameterCommands, cw_with_a_malformed_value_returns_1_silently_and_sends_nothing) {
  for (const char* text : {"cw 1 0 0x12G4", "cw 1 0 0x12", "cw 1 0"}) {
    EXPECT_EQ(run(text), 1) << text;
  }
  EXPECT_TRUE(port->written().empty());
  EXPECT_TRUE(log().empty());
}

TEST_F(ParameterCommands, cr_flags_a_register_that_does_not_hold_0x005B_without_retrying) {
  EXPECT_EQ(run("cr 2 27"), 0);
  EXPECT_EQ(requests()[0].payload, bytes({0x5B, 0x00}));
  state().parameters.registers[0x5B] = 0x005C;
  EXPECT_EQ(run("cr 2 27"), 1);
  EXPECT_EQ(requests().size(), 2U);
  EXPECT_EQ(log(), (Lines{"cr 2 27  => 0 (1), register=0x005B(0)",
                          "cr 2 27  => 0 (1), register=0x005B(1)"}));
}

TEST_F(ParameterCommands, cr_without_a_reply_returns_101_after_five_attempts_on_the_clock) {
  fault("silent:0x43");
  const long start = now();
  EXPECT_EQ(run("cr 2 27"), 101);
  EXPECT_EQ(log(), Lines{"cr 2 27  => 100 (5), register=0x005B(1)"});
  EXPECT_GE(now() - start, 25'000);
  EXPECT_LT(now() - start, 26'000);
}

TEST_F(ParameterCommands, cr_never_mistakes_a_register_with_escape_bytes_for_0x005B) {
  // The value travels as reply head bytes, which arrive escaped: the read
  // either fails or shows another value, but never passes.
  state().parameters.registers[0x5B] = 0x105B;
  EXPECT_EQ(run("cr 2 27"), 1);
  state().parameters.registers[0x5B] = 0x0210;
  EXPECT_EQ(run("cr 2 27"), 101);
}

TEST_F(ParameterCommands, spw_asks_for_two_head_bytes_when_it_sends_the_byte_2) {
  EXPECT_EQ(run("spw 2 9"), 0);
  EXPECT_EQ(run("spw 3 9"), 0);
  EXPECT_EQ(run("spw 258 -1"), 0);  // the same first byte as "spw 2"
  EXPECT_EQ(requests()[0].payload, bytes({0x02, 0x00, 0x09, 0x00}));
  EXPECT_EQ(requests()[2].payload, bytes({0x02, 0x00, 0xFF, 0x00}));
  EXPECT_EQ(log().back(), "spw 258 -1  => 0 (1)");
}

TEST_F(ParameterCommands, rfe_sends_its_number_as_one_byte) {
  EXPECT_EQ(run("rfe 1"), 0);
  EXPECT_EQ(run("rfe abc"), 0);
  EXPECT_EQ(requests()[0].payload, bytes({0x01, 0x00}));
  EXPECT_EQ(requests()[1].payload, bytes({0x00, 0x00}));
  EXPECT_EQ(state().parameters.last_rfe, bytes({0x00, 0x00}));
}

TEST_F(ParameterCommands, agcdcs_echoes_the_read_value_with_40_40_44) {
  state().parameters.agc_value = 0x1002;  // both bytes need escaping on the wire
  EXPECT_EQ(run("agcdcs"), 0);
  EXPECT_EQ(request_ids(), (std::vector<int>{0x33, 0x32}));
  EXPECT_EQ(requests()[1].payload, bytes({0x2F, 0x02, 0x10, 0x28, 0x00, 0x28, 0x00, 0x2C, 0x00}));
  EXPECT_EQ(log(), Lines{"agcdcs(4098) => 0(1)"});
}

TEST_F(ParameterCommands, agcdcs_repeats_both_requests_after_either_fails) {
  fault("refuse:0x33:1:1");
  fault("refuse:0x32:1:1");
  EXPECT_EQ(run("agcdcs"), 0);
  EXPECT_EQ(request_ids(), (std::vector<int>{0x33, 0x33, 0x32, 0x33, 0x32}));
  EXPECT_EQ(log(), Lines{"agcdcs(291) => 0(3)"});
}

TEST_F(ParameterCommands, agcdcs_that_never_reads_sends_no_write_and_logs_100) {
  fault("silent:0x33");
  EXPECT_EQ(run("agcdcs"), 100);
  EXPECT_EQ(request_ids(), (std::vector<int>(5, 0x33)));
  EXPECT_EQ(log(), Lines{"agcdcs(0) => 100(5)"});
}
