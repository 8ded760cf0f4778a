#include "fs/nvm_reset.h"

#include "sim/nvm_preset.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

class NvmReset : public testing_support::SimulatedHandsetTest {
 protected:
  void SetUp() override {
    SimulatedHandsetTest::SetUp();
    sim::restore_nvm_preset(state().fs);
  }
};

TEST_F(NvmReset, sends_three_requests_pauses_before_the_reset_and_logs_nothing) {
  const long start = now();
  EXPECT_EQ(fs::resetnvm(link, "resetnvm"), 0);
  const auto expected = bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x04, 0x6D, 0x6D, 0x69, 0x00, 0x23,
                               0x04, 0x00, 0x0B, 0x00, 0x16, 0x02,  // directory request
                                                                    // for "mmi"
                               0x02, 0x14, 0x70, 0x01, 0x26, 0x0F, 0x2F, 0x6D, 0x6D, 0x69, 0x2F,
                               0x4E, 0x76, 0x6D, 0x50, 0x72, 0x65, 0x73, 0x65, 0x74, 0x00, 0x09,
                               0x00, 0x48, 0x02,                      // remove "/mmi/NvmPreset"
                               0x02, 0x14, 0x52, 0x3C, 0x6E, 0x02});  // NVM reset
  EXPECT_EQ(port->written(), expected);
  EXPECT_EQ(now() - start, 500);
  EXPECT_TRUE(log().empty());
  EXPECT_EQ(state().nvm_resets, 1);
  EXPECT_EQ(state().fs.files.count(sim::kNvmPresetPath), 0u);
}

TEST_F(NvmReset, a_silent_handset_gets_five_directory_requests_and_status_nine) {
  fault("silent:*");
  const long start = now();
  EXPECT_EQ(fs::resetnvm(link, "resetnvm"), fs::kStatusNvmFileNotRemoved);
  ASSERT_EQ(requests().size(), 5u);
  for (const auto& r : requests()) EXPECT_EQ(r.payload[3], 'm');
  EXPECT_EQ(now() - start, 5 * 500);  // the 0.5-second timeout of the directory request
  EXPECT_TRUE(log().empty());
}

TEST_F(NvmReset, a_missing_preset_file_stops_before_the_reset_request) {
  state().fs.files.erase(sim::kNvmPresetPath);
  const long start = now();
  EXPECT_EQ(fs::resetnvm(link, "resetnvm with words"), fs::kStatusNvmFileNotRemoved);
  EXPECT_EQ(requests().size(), 6u);  // one directory request, five remove requests
  for (const auto& r : requests()) EXPECT_EQ(r.id, 0x70);
  EXPECT_EQ(now() - start, 0);  // no pause between the removal's attempts
  EXPECT_EQ(state().nvm_resets, 0);
}

TEST_F(NvmReset, a_refused_reset_request_gives_one_hundred_after_five_attempts) {
  fault("refuse:0x52");
  EXPECT_EQ(fs::resetnvm(link, "resetnvm"), 100);
  EXPECT_EQ(requests().size(), 2u + 5u);
  EXPECT_TRUE(log().empty());
}

TEST_F(NvmReset, the_removal_waits_two_seconds_for_the_remove_reply) {
  fault("silent:0x70/0x09");
  const long start = now();
  EXPECT_EQ(fs::RemoveNvmFile(link), 100);
  EXPECT_EQ(now() - start, 5 * 2000);
}
