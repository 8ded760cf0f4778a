#include "fs/directory_commands.h"

#include "fs/refusals.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

class DirectoryCommands : public testing_support::SimulatedHandsetTest {
 protected:
  // Payloads (unescaped head and body bytes) of the requests the handset got.
  std::vector<std::vector<std::uint8_t>> payloads() {
    std::vector<std::vector<std::uint8_t>> out;
    for (const auto& r : requests()) out.push_back(r.payload);
    return out;
  }
};

const std::vector<std::uint8_t> kFirstFormatFrame =
    bytes({0x02, 0x14, 0x70, 0x01, 0x21, 0xAD, 0xDE, 0x03, 0x00, 0x20, 0x02});
const std::vector<std::uint8_t> kSecondFormatFrame =
    bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x0A, 0x2F, 0x66, 0x66, 0x73, 0x2D, 0x72,
           0x6F, 0x6F, 0x74, 0x00, 0x21, 0xAD, 0x2B, 0x04, 0x00, 0x89, 0x02});

TEST_F(DirectoryCommands, mkfs_sends_both_format_frames_once_and_pauses_two_seconds) {
  state().fs.files["/old"] = {1, 2, 3};
  const long start = now();
  EXPECT_EQ(fs::mkfs(link, imei, "mkfs"), 0);
  std::vector<std::uint8_t> expected = kFirstFormatFrame;
  expected.insert(expected.end(), kSecondFormatFrame.begin(), kSecondFormatFrame.end());
  EXPECT_EQ(port->written(), expected);
  EXPECT_EQ(now() - start, 2000);
  EXPECT_EQ(log(), std::vector<std::string>{"mkfs  => 0 (1)"});
  EXPECT_EQ(state().fs.files.count("/old"), 0u);
}

TEST_F(DirectoryCommands, mkfs_repeats_both_requests_while_the_first_fails) {
  // The handset arms its format, but the reply to the first request is lost
  // (a wrong id), so the second request succeeds each time.
  fault("wrong-id:0x70/0x03");
  const long start = now();
  EXPECT_EQ(fs::mkfs(link, imei, "mkfs"), 100);
  ASSERT_EQ(requests().size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    const auto& payload = requests()[i].payload;  // the operation byte comes before 0x00
    EXPECT_EQ(payload[payload.size() - 2], i % 2 == 0 ? 0x03 : 0x04) << i;
  }
  EXPECT_EQ(now() - start, 5 * 2000);  // the wrong ids fail at once: pauses only
  EXPECT_EQ(log(), std::vector<std::string>{"mkfs  => 100 (5)"});
}

TEST_F(DirectoryCommands, mkfs_reports_two_hundred_when_both_requests_fail) {
  fault("silent:0x70");
  const long start = now();
  EXPECT_EQ(fs::mkfs(link, imei, "mkfs"), 200);
  EXPECT_EQ(requests().size(), 10u);
  EXPECT_EQ(now() - start, 5 * (2 * 5000 + 2000));  // two timeouts and a pause per attempt
  EXPECT_EQ(log(), std::vector<std::string>{"mkfs  => 200 (5)"});
}

TEST_F(DirectoryCommands, cd_sends_the_directory_as_written_and_logs_success) {
  state().fs.directories.insert({"/gsm", "/gsm/rf"});
  EXPECT_EQ(fs::changedirectory(link, "cd /gsm/rf", "/gsm/rf"), 0);
  EXPECT_EQ(port->written(),
            bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x08, 0x2F, 0x67, 0x73, 0x6D, 0x2F,
                   0x72, 0x66, 0x00, 0x23, 0x04, 0x00, 0x0B, 0x00, 0x1E, 0x02}));
  EXPECT_EQ(log(), std::vector<std::string>{"cd /gsm/rf  => 0 (1)"});
}

TEST_F(DirectoryCommands, cd_to_a_missing_directory_fails_after_five_attempts) {
  EXPECT_EQ(fs::changedirectory(link, "cd /gsm/rf", "/gsm/rf"), 100);
  EXPECT_EQ(requests().size(), 5u);
  EXPECT_EQ(log(), std::vector<std::string>{"cd /gsm/rf  => 100 (5)"});
}

TEST_F(DirectoryCommands, cd_fails_on_a_reply_without_its_four_head_and_four_data_bytes) {
  // A handset that answers the directory request with a bare status.
  port->set_peer([this](std::span<const std::uint8_t>) {
    port->deliver(bytes({0x02, 0x14, 0x70, 0x00, 0x70, 0x02}));
  });
  EXPECT_EQ(fs::changedirectory(link, "cd /gsm", "/gsm"), 100);
  EXPECT_EQ(port->write_count(), 5);
}

TEST_F(DirectoryCommands, cd_sends_thirty_three_characters_and_refuses_thirty_four) {
  const std::string fits = "/" + std::string(32, 'd');
  state().fs.directories.insert(fits);
  EXPECT_EQ(fs::changedirectory(link, "cd x", fits), 0);
  ASSERT_EQ(requests().size(), 1u);
  EXPECT_EQ(requests()[0].payload.size(), 2u + 40u);

  const std::string too_long = fits + "d";
  EXPECT_EQ(fs::changedirectory(link, "cd y", too_long), fs::kStatusTextTooLong);
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(log().back(), "cd y  => 40 (0): directory longer than 33 characters");
}

TEST_F(DirectoryCommands, mkdir_always_adds_the_slash) {
  EXPECT_EQ(fs::makedirectory(link, "mkdir gsm", "gsm"), 0);
  EXPECT_EQ(port->written(), bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x05, 0x2F, 0x67, 0x73, 0x6D,
                                    0x00, 0x0A, 0x00, 0x0E, 0x02}));
  EXPECT_EQ(fs::makedirectory(link, "mkdir /gsm", "/gsm"), 100);  // "//gsm" is "/gsm": it exists
  EXPECT_EQ(requests().back().payload,
            bytes({0x01, 0x26, 0x06, '/', '/', 'g', 's', 'm', 0x00, 0x0A, 0x00}));
  EXPECT_EQ(log(), (std::vector<std::string>{"mkdir gsm  => 0 (1)", "mkdir /gsm  => 100 (5)"}));
}

TEST_F(DirectoryCommands, mkdir_sends_thirty_five_characters_and_refuses_thirty_six) {
  EXPECT_EQ(fs::makedirectory(link, "mkdir a", std::string(35, 'n')), 0);
  EXPECT_EQ(requests()[0].payload.size(), 2u + 40u);
  EXPECT_EQ(fs::makedirectory(link, "mkdir b", std::string(36, 'n')), fs::kStatusTextTooLong);
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(log().back(), "mkdir b  => 40 (0): name longer than 35 characters");
}

TEST_F(DirectoryCommands, rm_joins_directory_and_name_and_leaves_the_directory_unchanged) {
  state().fs.directories.insert({"/gsm", "/gsm/rf"});
  state().fs.files["/gsm/rf/afcdac"] = {1};
  state().fs.files["/gsm/rf/b"] = {2};
  const std::string directory = "/gsm/rf";
  EXPECT_EQ(fs::rm(link, "rm afcdac", directory, "afcdac"), 0);
  EXPECT_EQ(port->written(),
            bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x0F, 0x2F, 0x67, 0x73, 0x6D, 0x2F, 0x72, 0x66,
                   0x2F, 0x61, 0x66, 0x63, 0x64, 0x61, 0x63, 0x00, 0x09, 0x00, 0x11, 0x02}));
  EXPECT_EQ(fs::rm(link, "rm b", directory, "b"), 0);
  EXPECT_EQ(directory, "/gsm/rf");
  EXPECT_TRUE(state().fs.files.empty());
  EXPECT_EQ(log(), (std::vector<std::string>{"rm afcdac  => 0 (1)", "rm b  => 0 (1)"}));
}

TEST_F(DirectoryCommands, rm_of_a_missing_file_fails_after_five_attempts) {
  EXPECT_EQ(fs::rm(link, "rm gone", "/gsm", "gone"), 100);
  EXPECT_EQ(requests().size(), 5u);
  EXPECT_EQ(log(), std::vector<std::string>{"rm gone  => 100 (5)"});
}

TEST_F(DirectoryCommands, rm_sends_a_fifty_six_character_path_and_refuses_fifty_seven) {
  const std::string directory = "/" + std::string(38, 'd');         // with "/" and the name: 56
  EXPECT_EQ(fs::rm(link, "rm a", directory, std::string(16, 'n')), 100);  // sent, and missing
  EXPECT_EQ(requests().size(), 5u);
  EXPECT_EQ(requests()[0].payload.size(), 2u + 60u);
  EXPECT_EQ(fs::rm(link, "rm b", directory, std::string(17, 'n')), fs::kStatusTextTooLong);
  EXPECT_EQ(requests().size(), 5u);
  EXPECT_EQ(log().back(), "rm b  => 40 (0): handset path longer than 56 characters");
}
