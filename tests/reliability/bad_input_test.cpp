// Bad input from the line and the PC's disk: replies full of boundary and
// escape bytes, replies cut after the status byte, a handset that resets
// between two commands, and a PC file that shrinks or disappears while a
// command holds it.
#include <unistd.h>

#include <filesystem>

#include "fs/compare.h"
#include "fs/directory_commands.h"
#include "fs/download.h"
#include "fs/file_command_fixture.h"
#include "fs/refusals.h"
#include "sim/frame_codec.h"
#include "sim/fs_requests.h"
#include "support/port_fixture.h"

using testing_support::bytes;

namespace {

class BadReplies : public testing_support::BarePortTest {};

// Every head byte, pair of data bytes and checksum drawn from 0x02, 0x10 and
// an ordinary byte, escaped as a handset escapes them: the data arrive
// unescaped, an escaped head byte arrives as its two bytes (its caller asks
// for one more), and the checksum is skipped whatever it is.
TEST_F(BadReplies, every_mix_of_boundary_and_escape_bytes_in_head_data_and_checksum_reads_back) {
  const std::uint8_t values[] = {0x02, 0x10, 0x41};
  int cases = 0;
  for (std::uint8_t h : values) {
    for (std::uint8_t d0 : values) {
      for (std::uint8_t d1 : values) {
        for (std::uint8_t checksum : values) {
          const sim::Reply r{0, {h}, {d0, d1}};
          port->deliver(sim::encode_reply(0x53, r, checksum));
          const bool escaped_head = h == 0x02 || h == 0x10;
          std::vector<std::uint8_t> head(escaped_head ? 2 : 1, 0xEE), data(2, 0xEE);
          SCOPED_TRACE(::testing::Message() << std::hex << "head " << int{h} << " data " << int{d0}
                                            << " " << int{d1} << " checksum " << int{checksum});
          EXPECT_EQ(link.handle_response(data, head, 0x53, 5.0), 0);
          EXPECT_EQ(head, escaped_head ? bytes({0x10, h}) : bytes({h}));
          EXPECT_EQ(data, bytes({d0, d1}));
          port->flush_input();
          ++cases;
        }
      }
    }
  }
  EXPECT_EQ(cases, 81);
}

TEST_F(BadReplies, a_reply_cut_after_its_status_byte_fails_after_the_timeout_a_refusal_at_once) {
  std::vector<std::uint8_t> head(1), data(4);
  for (auto [head_count, data_count] : {std::pair{0, 0}, {1, 0}, {4, 4}}) {
    reply({0x02, 0x14, 0x70, 0x00});
    const long start = clock.now_ms();
    EXPECT_EQ(link.handle_response(std::span(data).first(static_cast<std::size_t>(data_count)),
                                   std::span(head).first(static_cast<std::size_t>(head_count)),
                                   0x70, 5.0),
              100);
    EXPECT_EQ(clock.now_ms() - start, 5000) << head_count << " " << data_count;
  }
  // A refusal needs nothing after its status: it fails without waiting.
  reply({0x02, 0x14, 0x70, 0x05});
  const long start = clock.now_ms();
  EXPECT_EQ(link.handle_response({}, std::span(head), 0x70, 5.0), 100);
  EXPECT_EQ(clock.now_ms() - start, 0);
}

class BadInputOnTheLine : public testing_support::FileCommandTest {
 protected:
  // Lets a test act when the handset receives a request, before it answers.
  void on_request(std::function<void(const sim::Request&)> hook) {
    port->set_peer([this, hook](std::span<const std::uint8_t> bytes) {
      const std::size_t before = line.requests().size();
      auto out = line.receive(bytes);
      for (std::size_t i = before; i < line.requests().size(); ++i) hook(line.requests()[i]);
      for (const sim::Transmission& t : out) {
        std::vector<std::uint8_t> b = t.bytes;
        if (cut_next_reply_after_status) {
          b.resize(std::min<std::size_t>(b.size(), 4));
          cut_next_reply_after_status = false;
        }
        port->deliver(b, t.gap_ms);
        if (t.hang_up_after) port->hang_up_after_pending();
      }
    });
  }
  static bool is_open_request(const sim::Request& r) {
    return r.id == 0x70 && sim::fs_operation(r.payload) == std::uint8_t{0x00};
  }
  bool cut_next_reply_after_status = false;
};

TEST_F(BadInputOnTheLine, a_cut_reply_is_retried_and_the_file_arrives_whole) {
  const auto content = pattern(100);
  write_pc_file("cal", content);
  int opens = 0;
  on_request([&](const sim::Request& r) {
    if (is_open_request(r) && ++opens == 1) cut_next_reply_after_status = true;
  });
  std::string pc = "cal";
  EXPECT_EQ(fs::writefile(link, imei, "fwr cal cal", "", "cal", pc), 0);
  EXPECT_EQ(log().back(), "fwr cal cal , 100bytes => 0 (2)");
  EXPECT_EQ(state().fs.files.at("/cal"), content);
}

TEST_F(BadInputOnTheLine, a_handset_that_resets_between_two_commands_serves_the_next_one) {
  const auto content = pattern(100);
  write_pc_file("cal", content);
  std::string pc = "cal";
  // It resets while answering the make-directory request: the directory is
  // made, but the reply is cut; the next command finds the handset back.
  fault("reset:0x70/0x0A:1:1");
  EXPECT_EQ(fs::makedirectory(link, "mkdir gsm", "gsm"), 100);  // the retries find it made
  EXPECT_TRUE(state().fs.directories.count("/gsm"));
  EXPECT_EQ(fs::writefile(link, imei, "fwr cal cal", "/gsm", "cal", pc), 0);
  EXPECT_EQ(state().fs.files.at("/gsm/cal"), content);
  // A reset in the middle of a download forgets the open file: the retry
  // opens it again and sends it whole.
  line_clear();
  fault("reset:0x70/0x1B:2:1");
  pc = "cal";
  EXPECT_EQ(fs::writefile(link, imei, "fwr cal cal", "/gsm", "cal", pc), 0);
  EXPECT_EQ(log().back(), "fwr cal cal , 100bytes => 0 (2)");
  EXPECT_EQ(state().fs.files.at("/gsm/cal"), content);
}

// The command takes its snapshot of the PC file before the handset hears of
// it: a file cut short afterwards goes out as it was, whole, or not at all.
TEST_F(BadInputOnTheLine, a_pc_file_cut_short_during_a_download_never_lands_cut) {
  const auto content = pattern(100);
  write_pc_file("cal", content);
  on_request([](const sim::Request& r) {
    if (is_open_request(r)) std::filesystem::resize_file("cal", 40);
  });
  std::string pc = "cal";
  const int status = fs::writefile(link, imei, "fwr cal cal", "", "cal", pc);
  if (status == 0) {
    EXPECT_EQ(state().fs.files.at("/cal"), content);
  } else {
    EXPECT_EQ(status, fs::kStatusShortRead);
    EXPECT_FALSE(state().fs.files.count("/cal"));
  }
}

TEST_F(BadInputOnTheLine, a_pc_file_removed_during_a_download_is_sent_as_it_was_opened) {
  const auto content = pattern(100);
  write_pc_file("cal", content);
  on_request([](const sim::Request& r) {
    if (is_open_request(r)) std::filesystem::remove("cal");
  });
  std::string pc = "cal";
  EXPECT_EQ(fs::writefile(link, imei, "fwr cal cal", "", "cal", pc), 0);
  EXPECT_EQ(state().fs.files.at("/cal"), content);
}

TEST_F(BadInputOnTheLine, a_pc_file_that_shrinks_during_a_compare_does_not_match) {
  const auto content = pattern(100);
  write_pc_file("cal", content);
  put_handset_file("/cal", content);
  on_request([](const sim::Request& r) {
    if (r.id == 0x70 && sim::fs_operation(r.payload) == std::uint8_t{0x0D}) {
      std::filesystem::resize_file("cal", 40);
    }
  });
  std::string pc = "cal";
  EXPECT_EQ(fs::comparefile(link, imei, "compare cal cal", "", "cal", pc), 200);
  EXPECT_EQ(log().back(), "compare cal cal, 100Bytes=> 0 ; match(200)");
}

}  // namespace
