#include "fs/calibration_check.h"

#include <string>
#include <vector>

#include "file_command_fixture.h"

using testing_support::bytes;

class CalibrationCheck : public testing_support::FileCommandTest {
 protected:
  void SetUp() override {
    FileCommandTest::SetUp();
    state().battery_low = 6000;
    state().battery_high = 5;
    for (const auto& [path, length] : kFiles) put_handset_file(path, pattern(length));
  }

  // The paths the file queries named, in order.
  std::vector<std::string> queried_paths() {
    std::vector<std::string> paths;
    for (const auto& r : fs_requests(0x0D)) {
      paths.emplace_back(r.payload.begin() + 3, r.payload.begin() + 3 + (r.payload[2] - 2));
    }
    return paths;
  }

  const std::vector<std::pair<std::string, std::size_t>> kFiles{
      {"/gsm/rf/afcdac", 2},           {"/gsm/rf/tx/ramps", 992},
      {"/gsm/rf/tx/levels.gsm", 128},  {"/gsm/rf/tx/levels.dcs", 128},
      {"/gsm/rf/tx/calchan.all", 128}, {"/gsm/rf/rx/calchan.all", 68},
      {"/gsm/rf/rx/agcparams.gsm", 8}, {"/gsm/rf/rx/agcparams.dcs", 8}};
};

TEST_F(CalibrationCheck, a_calibrated_handset_passes_with_nine_lines) {
  EXPECT_EQ(fs::checkcalibration(link, "check"), 0);
  EXPECT_EQ(log(), (std::vector<std::string>{
                       "check cal_bat => 0(1)",
                       "/gsm/rf/afcdac, 2(2)Bytes => 0(1)",
                       "/gsm/rf/tx/ramps, 992(992)Bytes => 0(1)",
                       "/gsm/rf/tx/levels.gsm, 128(128)Bytes => 0(1)",
                       "/gsm/rf/tx/levels.dcs, 128(128)Bytes => 0(1)",
                       "/gsm/rf/tx/calchan.all, 128(128)Bytes => 0(1)",
                       "/gsm/rf/rx/calchan.all, 68(68)Bytes => 0(1)",
                       "/gsm/rf/rx/agcparams.gsm, 8(8)Bytes => 0(1)",
                       "/gsm/rf/rx/agcparams.dcs, 8(8)Bytes => 0(1)",
                   }));
  ASSERT_GE(requests().size(), 2u);
  EXPECT_EQ(requests()[0].id, 0x45);
  EXPECT_EQ(requests()[0].payload, bytes({0x32, 0x00}));
  EXPECT_EQ(requests()[1].payload, bytes({0x3C, 0x00}));
  EXPECT_EQ(fs_requests(0x08).size(), 0u);  // lengths only: nothing is read
}

TEST_F(CalibrationCheck, uncalibrated_battery_values_give_five_hundred_and_no_file_query) {
  state().battery_low = 7000;
  EXPECT_EQ(fs::checkcalibration(link, "check"), 500);
  EXPECT_EQ(log(), std::vector<std::string>{"check cal_bat => 500(1)"});
  EXPECT_TRUE(fs_requests(0x0D).empty());

  state().battery_low = 6000;
  state().battery_high = 0;
  EXPECT_EQ(fs::checkcalibration(link, "check"), 500);
  // 7000 as the second value and 0 as the first are good.
  state().battery_low = 0;
  state().battery_high = 7000;
  EXPECT_EQ(fs::checkcalibration(link, "check"), 0);
}

TEST_F(CalibrationCheck, counts_the_attempts_before_a_bad_second_value) {
  state().battery_high = 0;
  fault("silent:0x45:1:2");
  EXPECT_EQ(fs::checkcalibration(link, "check"), 500);
  EXPECT_EQ(log(), std::vector<std::string>{"check cal_bat => 500(3)"});
  EXPECT_GE(now(), 10000);
}

TEST_F(CalibrationCheck, a_silent_battery_read_fails_without_judging_values) {
  fault("silent:0x45");
  EXPECT_EQ(fs::checkcalibration(link, "check"), 100);
  EXPECT_EQ(log(), std::vector<std::string>{"check cal_bat => 100(5)"});
  EXPECT_TRUE(fs_requests(0x0D).empty());
}

TEST_F(CalibrationCheck, a_file_of_the_wrong_length_stops_the_check) {
  put_handset_file("/gsm/rf/tx/ramps", pattern(991));
  EXPECT_EQ(fs::checkcalibration(link, "check"), 2);
  EXPECT_EQ(log().back(), "/gsm/rf/tx/ramps, 992(991)Bytes => 1(3)");
  EXPECT_EQ(queried_paths(), (std::vector<std::string>{"/gsm/rf/afcdac", "/gsm/rf/tx/ramps",
                                                       "/gsm/rf/tx/ramps", "/gsm/rf/tx/ramps"}));
}

TEST_F(CalibrationCheck, an_empty_or_missing_file_fails) {
  put_handset_file("/gsm/rf/afcdac", {});
  EXPECT_EQ(fs::checkcalibration(link, "check"), 2);
  EXPECT_EQ(log().back(), "/gsm/rf/afcdac, 2(0)Bytes => 1(3)");

  state().fs.files.erase("/gsm/rf/afcdac");
  EXPECT_EQ(fs::checklength(link, "/gsm/rf/afcdac", 2), 2);
  EXPECT_EQ(log().back(), "/gsm/rf/afcdac, 2(0)Bytes => 1(3)");
}

TEST_F(CalibrationCheck, a_file_right_on_the_second_query_lets_the_check_go_on) {
  fault("refuse:0x70/0x0D:2:1");  // the first query of ramps
  EXPECT_EQ(fs::checkcalibration(link, "check"), 0);
  EXPECT_EQ(log()[2], "/gsm/rf/tx/ramps, 992(992)Bytes => 0(2)");
  EXPECT_EQ(log().size(), 9u);
}

TEST_F(CalibrationCheck, keeps_the_last_length_received_through_failed_queries) {
  put_handset_file("/gsm/rf/x", pattern(7));
  fault("silent:0x70/0x0D:2:2");
  EXPECT_EQ(fs::checklength(link, "/gsm/rf/x", 8), 2);
  EXPECT_EQ(log().back(), "/gsm/rf/x, 8(7)Bytes => 1(3)");
}
