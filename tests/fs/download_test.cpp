#include "fs/download.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fs/pc_file.h"
#include "fs/readback.h"
#include "fs/refusals.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

using testing_support::bytes;

namespace {

constexpr std::uint8_t kOpen = 0x00, kWrite = 0x1B, kClose = 0x07;

std::vector<std::uint8_t> pattern(std::size_t size) {
  std::vector<std::uint8_t> out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
  return out;
}

}  // namespace

// Runs each test in a fresh start folder that holds its PC files.
class Download : public testing_support::SimulatedHandsetTest {
 protected:
  void SetUp() override {
    SimulatedHandsetTest::SetUp();
    state().fs.directories.insert({"/gsm", "/gsm/rf"});
    open_before = open_descriptors();
  }
  int open_before = 0;

  void pc_file(const std::string& name, const std::vector<std::uint8_t>& content) {
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
  }
  int fwr(const std::string& handset_name, std::string pc_name,
          const std::string& directory = "/gsm/rf") {
    const std::string script_line = "fwr " + handset_name + " " + pc_name;
    return fs::writefile(link, imei, script_line, directory, handset_name, pc_name);
  }
  // What kind of 0x70 request each one was: 0x00 open, 0x1B write, 0x07 close;
  // other requests by their id.
  std::vector<std::uint8_t> kinds() {
    std::vector<std::uint8_t> out;
    for (const auto& r : requests()) {
      if (r.id != 0x70)
        out.push_back(r.id);
      else
        out.push_back(r.payload[0] == 0x01 ? kOpen : r.payload[0]);
    }
    return out;
  }
  // The m of every write request.
  std::vector<int> chunk_sizes() {
    std::vector<int> out;
    for (const auto& r : requests()) {
      if (r.id == 0x70 && r.payload[0] == kWrite) out.push_back(r.payload[1]);
    }
    return out;
  }
  const std::vector<std::uint8_t>* handset_file(const std::string& path) {
    auto it = state().fs.files.find(path);
    return it == state().fs.files.end() ? nullptr : &it->second;
  }
  // The file's bytes; a missing file fails the test instead of crashing it.
  std::vector<std::uint8_t> handset_bytes(const std::string& path) {
    const auto* file = handset_file(path);
    if (!file) ADD_FAILURE() << "no handset file " << path;
    return file ? *file : std::vector<std::uint8_t>{};
  }

  testing_support::TempDir folder_;  // the current folder for the test's length
};

TEST_F(Download, open_write_and_close_frames_are_byte_exact) {
  pc_file("abc", {'a', 'b', 'c'});
  EXPECT_EQ(fwr("afcdac", "abc"), 0);
  EXPECT_EQ(port->written(),
            bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0x0F, 0x2F, 0x67, 0x73, 0x6D, 0x2F, 0x72,
                   0x66, 0x2F, 0x61, 0x66, 0x63, 0x64, 0x61, 0x63, 0x00, 0x00, 0x18, 0x02,  // open
                   0x02, 0x14, 0x70, 0x1B, 0x03, 0x00, 0x61, 0x62, 0x63, 0x00, 0x08, 0x02,  // write
                   0x02, 0x14, 0x70, 0x07, 0x00, 0x77, 0x02}));                             // close
  EXPECT_EQ(log(), std::vector<std::string>{"fwr afcdac abc , 3bytes => 0 (1)"});
  ASSERT_NE(handset_file("/gsm/rf/afcdac"), nullptr);
  EXPECT_EQ(handset_bytes("/gsm/rf/afcdac"), bytes({'a', 'b', 'c'}));
}

TEST_F(Download, chunks_follow_the_file_size) {
  struct Case {
    std::size_t size;
    std::vector<int> chunks;
  };
  const std::vector<Case> cases = {{0, {}}, {39, {39}}, {40, {39, 1}}, {100, {39, 39, 22}}};
  for (const Case& c : cases) {
    line.clear_requests();
    const auto content = pattern(c.size);
    pc_file("data.bin", content);
    EXPECT_EQ(fwr("f", "data.bin"), 0) << c.size;
    EXPECT_EQ(chunk_sizes(), c.chunks) << c.size;
    EXPECT_EQ(kinds().front(), kOpen);
    EXPECT_EQ(kinds().back(), kClose);
    EXPECT_EQ(kinds().size(), c.chunks.size() + 2);
    ASSERT_NE(handset_file("/gsm/rf/f"), nullptr);
    EXPECT_EQ(handset_bytes("/gsm/rf/f"), content) << c.size;
  }
  EXPECT_EQ(log().front(), "fwr f data.bin , 0bytes => 0 (1)");
}

TEST_F(Download, a_file_of_three_thousand_bytes_takes_seventy_nine_exchanges) {
  const auto content = pattern(3000);
  pc_file("big", content);
  EXPECT_EQ(fwr("ramps", "big"), 0);
  EXPECT_EQ(requests().size(), 79u);
  std::vector<int> expected(76, 39);
  expected.push_back(36);
  EXPECT_EQ(chunk_sizes(), expected);
  EXPECT_EQ(handset_bytes("/gsm/rf/ramps"), content);
  EXPECT_EQ(log(), std::vector<std::string>{"fwr ramps big , 3000bytes => 0 (1)"});
}

TEST_F(Download, a_file_of_three_thousand_and_one_bytes_is_refused_before_any_request) {
  pc_file("big", pattern(3001));
  EXPECT_EQ(fwr("ramps", "big"), fs::kStatusPcFileTooLarge);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(log(),
            std::vector<std::string>{"fwr ramps big  => 52 (0): 3001 bytes, more than 3000"});
  EXPECT_EQ(open_descriptors(), open_before);  // the PC file was closed
}

TEST_F(Download, bytes_that_are_all_boundary_and_escape_values_arrive_intact) {
  std::vector<std::uint8_t> content(3000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = (i % 3 == 0) ? 0x10 : 0x02;
  pc_file("esc", content);
  EXPECT_EQ(fwr("esc", "esc"), 0);
  EXPECT_EQ(handset_bytes("/gsm/rf/esc"), content);
  // Escaped on the wire: no raw 0x02 inside a frame, and a full chunk stays within 92 bytes.
  const auto& wire = port->written();
  std::size_t frame_start = 0, longest = 0;
  for (std::size_t i = 1; i < wire.size(); ++i) {
    if (wire[i] == 0x02 && wire[i - 1] != 0x10 && i > frame_start + 1) {
      longest = std::max(longest, i - frame_start + 1);
      frame_start = i + 1;
    }
  }
  EXPECT_LE(longest, 92u);
  EXPECT_GT(longest, 80u);
}

TEST_F(Download, the_port_suffix_follows_the_port_and_the_names) {
  pc_file("afcdac", {1});
  pc_file("afcdac_1", {1, 1});
  pc_file("afcdac_2", {2, 2});
  pc_file("cal.dat", {9, 9, 9});
  struct Case {
    int port;
    std::string handset, pc, expected_pc;
    std::size_t expected_size;
  };
  const std::vector<Case> cases = {{1, "afcdac", "afcdac", "afcdac_1", 2},
                                   {2, "afcdac", "afcdac", "afcdac_2", 2},
                                   {3, "afcdac", "afcdac", "afcdac", 1},
                                   {2, "afcdac", "cal.dat", "cal.dat", 3},
                                   {1, "afcdaX", "afcdac", "afcdac_1", 2}};  // last char is free
  for (const Case& c : cases) {
    attach(c.port);
    std::string pc = c.pc;
    EXPECT_EQ(fs::writefile(link, imei, "fwr", "/gsm/rf", c.handset, pc), 0)
        << c.port << " " << c.pc;
    EXPECT_EQ(pc, c.expected_pc);
    EXPECT_EQ(handset_file("/gsm/rf/" + c.handset)->size(), c.expected_size);
  }
}

TEST_F(Download, a_name_too_long_for_its_suffix_is_refused_before_anything_is_opened) {
  const std::string name(18, 'n');
  pc_file(name, {1});
  attach(1);
  std::string pc = name;
  EXPECT_EQ(fs::writefile(link, imei, "fwr n n", "/gsm/rf", name, pc),
            fs::kStatusNameTooLongForSuffix);
  EXPECT_EQ(pc, name);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(log(), std::vector<std::string>{
                       "fwr n n  => 53 (0): PC name longer than 17 characters takes no suffix"});
  attach(3);  // no suffix on port 3: the same name is fine
  EXPECT_EQ(fs::writefile(link, imei, "fwr n n", "/gsm/rf", name, pc), 0);
}

TEST_F(Download, a_line_without_a_pc_name_is_refused_on_every_port) {
  // On port 1 the suffix rule would make "" into "_1" and download that file.
  pc_file("_1", {1, 2, 3});
  for (int port_number : {1, 3}) {
    attach(port_number);
    std::string pc;
    EXPECT_EQ(fs::writefile(link, imei, "fwr afcdac", "/gsm/rf", "afcdac", pc),
              fs::kStatusMissingName);
    EXPECT_EQ(pc, "");
  }
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(handset_file("/gsm/rf/afcdac"), nullptr);
  EXPECT_TRUE(ui.popups().empty());
}

TEST_F(Download, imei_files_wait_for_the_imei_flag) {
  pc_file("IMEI", {1, 2, 3, 4, 5, 6, 7, 8});
  pc_file("IMEI_1", {8, 7, 6, 5, 4, 3, 2, 1});
  attach(1);
  EXPECT_EQ(fwr("IMEI", "IMEI"), 0);
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(log().empty());
  EXPECT_TRUE(ui.popups().empty());
  EXPECT_EQ(open_descriptors(), open_before);  // the PC file was closed

  IMEI_flag = 1;
  EXPECT_EQ(fwr("IMEI", "IMEI"), 0);
  EXPECT_EQ(handset_bytes("/gsm/rf/IMEI"), bytes({8, 7, 6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(log(), std::vector<std::string>{"fwr IMEI IMEI , 8bytes => 0 (1)"});
}

TEST_F(Download, an_imei_file_of_any_size_but_eight_never_reaches_the_handset) {
  IMEI_flag = 1;
  for (std::size_t size : {0u, 7u, 9u}) {
    SCOPED_TRACE(size);
    line.clear_requests();
    pc_file("IMEI", std::vector<std::uint8_t>(size, 0x35));
    EXPECT_EQ(fwr("IMEI", "IMEI"), fs::kStatusImeiFileSize);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(handset_file("/gsm/rf/IMEI"), nullptr);
    EXPECT_EQ(open_descriptors(), open_before);  // the PC file was closed
  }
  EXPECT_EQ(log().back(), "fwr IMEI IMEI  => 57 (0): IMEI holds 9 bytes; an IMEI file holds 8");
}

TEST_F(Download, a_missing_pc_file_shows_the_message_box_and_logs_nothing) {
  EXPECT_EQ(fwr("afcdac", "nothere"), fs::kStatusMissingPcFile);
  ASSERT_EQ(ui.popups().size(), 1u);
  EXPECT_EQ(ui.popups()[0].title, "Error");
  EXPECT_EQ(ui.popups()[0].message, "Fail to open file");
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(log().empty());
}

TEST_F(Download, a_pc_file_without_a_readable_size_is_refused) {
  std::filesystem::create_directory("folder");  // opens for reading, but has no file size
  EXPECT_EQ(fwr("afcdac", "folder"), fs::kStatusSizeUnknown);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(log(), std::vector<std::string>{
                       "fwr afcdac folder  => 51 (0): size of folder cannot be read"});
  EXPECT_EQ(open_descriptors(), open_before);  // the PC file was closed
}

TEST_F(Download, a_handset_path_of_seventy_seven_characters_is_sent_and_seventy_eight_refused) {
  pc_file("p", {1});
  const std::string directory = "/" + std::string(56, 'd');  // with "/" and 19 characters: 77
  state().fs.directories.insert(directory);
  EXPECT_EQ(fwr(std::string(19, 'n'), "p", directory), 0);
  EXPECT_EQ(fwr("n", "p", directory + std::string(20, 'd')), fs::kStatusTextTooLong);
  EXPECT_EQ(log().back(), "fwr n p  => 40 (0): handset path longer than 77 characters");
}

TEST_F(Download, a_handset_that_refuses_every_second_write_never_gets_a_close) {
  pc_file("data", pattern(100));
  // The second write of each attempt is the 2nd, 4th, ... write request; the
  // latest match goes first so that every rule counts every write.
  for (int n : {10, 8, 6, 4, 2}) fault("refuse:0x70/0x1B:" + std::to_string(n) + ":1");
  fault("silent:0x21");  // proves the test-mode request is not waited for
  const long start = now();
  EXPECT_EQ(fwr("f", "data"), 100);
  std::vector<std::uint8_t> one_attempt = {kOpen, kWrite, kWrite, 0x21};
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 5; ++i)
    expected.insert(expected.end(), one_attempt.begin(), one_attempt.end());
  EXPECT_EQ(kinds(), expected);
  EXPECT_EQ(requests()[3].payload, bytes({0x01, 0x00}));  // test-mode entry, mode 1
  EXPECT_EQ(now() - start, 5 * 500);  // the pauses alone: no wait for a 0x21 reply
  EXPECT_EQ(log(), std::vector<std::string>{"fwr f data , 100bytes => 100 (5)"});
  EXPECT_EQ(handset_file("/gsm/rf/f"), nullptr);
}

TEST_F(Download, a_retry_sends_the_file_again_from_its_first_byte) {
  pc_file("data", pattern(100));
  fault("refuse:0x70/0x07:1:1");  // the first close fails
  EXPECT_EQ(fwr("f", "data"), 0);
  std::vector<std::vector<std::uint8_t>> writes;
  for (const auto& r : requests()) {
    if (r.id == 0x70 && r.payload[0] == kWrite) writes.push_back(r.payload);
  }
  ASSERT_EQ(writes.size(), 6u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(writes[i], writes[i + 3]);
  EXPECT_EQ(log(), std::vector<std::string>{"fwr f data , 100bytes => 0 (2)"});
  EXPECT_EQ(handset_bytes("/gsm/rf/f"), pattern(100));
}

TEST_F(Download, a_hang_up_mid_download_is_a_failure) {
  pc_file("data", pattern(1000));
  state().fs.files["/gsm/rf/f"] = {0xAA};
  fault("hang-up:0x70/0x1B:5:1");
  EXPECT_EQ(fwr("f", "data"), 100);
  EXPECT_EQ(log(), std::vector<std::string>{"fwr f data , 1000bytes => 100 (5)"});
  EXPECT_EQ(handset_bytes("/gsm/rf/f"), bytes({0xAA}));  // the old file was never replaced
}

TEST_F(Download, a_missing_handset_directory_fails_the_open_request) {
  pc_file("data", pattern(10));
  EXPECT_EQ(fwr("f", "data", "/nowhere"), 100);
  EXPECT_EQ(chunk_sizes(), std::vector<int>{});
  EXPECT_EQ(log(), std::vector<std::string>{"fwr f data , 10bytes => 100 (5)"});
}

TEST_F(Download, the_pc_file_is_left_unchanged) {
  const auto content = pattern(500);
  pc_file("data", content);
  struct stat before {};
  ASSERT_EQ(stat("data", &before), 0);
  fault("refuse:0x70/0x1B:3:1");
  EXPECT_EQ(fwr("f", "data"), 0);
  struct stat after {};
  ASSERT_EQ(stat("data", &after), 0);
  EXPECT_EQ(after.st_size, before.st_size);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  std::ifstream in("data", std::ios::binary);
  std::vector<std::uint8_t> read_back((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(read_back, content);
}

TEST_F(Download, the_chunk_writer_sends_nothing_when_the_file_holds_more_than_its_size) {
  // Rewritten longer between the size and the read: its first bytes are not the file.
  pc_file("grown", pattern(30));
  const fs::PcFile Filename(std::fopen("grown", "rb"));
  ASSERT_NE(Filename, nullptr);
  EXPECT_EQ(fs::fwr(link, Filename.get(), 20), fs::kStatusShortRead);
  EXPECT_TRUE(requests().empty());
}

TEST_F(Download, the_chunk_writer_sends_nothing_when_the_file_gives_fewer_bytes) {
  pc_file("short", pattern(10));
  const fs::PcFile Filename(std::fopen("short", "rb"));
  ASSERT_NE(Filename, nullptr);
  EXPECT_EQ(fs::fwr(link, Filename.get(), 20), fs::kStatusShortRead);
  EXPECT_EQ(fs::fwr(link, Filename.get(), 3001), fs::kStatusPcFileTooLarge);
  EXPECT_TRUE(requests().empty());
}
