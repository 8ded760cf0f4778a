// The decoded trace of a short run against the simulated handset.
#include "cli/trace_file.h"
#include "link/frame_trace.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "link/link.h"
#include "script/runner.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "link/frame_decoder.h"

namespace {

using testing_support::TempDir;

class FrameTrace : public testing_support::SimulatedHandsetTest {
 protected:
  // Runs the script with the trace on and returns the trace's lines.
  std::vector<std::string> traced_run(const std::string& script) {
    TempDir::write("t.tms", script);
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    {
      wire::FrameTrace trace(out);
      link = wire::Link(fixture_port);  // a new run: its checksum count starts at 0
      link.set_check_reply_checksum(check_reply_checksum);
      link.set_trace_sink(trace.sink());
      script::Runner runner(link, imei);
      runner.tmsfile = "t.tms";
      runner.download();
    }
    std::fclose(out);
    std::vector<std::string> lines;
    std::string text(buffer, size);
    std::free(buffer);
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }
  TempDir dir;
  bool check_reply_checksum = false;
};

TEST_F(FrameTrace, shows_every_frame_with_its_time_direction_bytes_and_meaning) {
  TempDir::write("a.bin", "abc");
  fault("silent:0x21:1:1");    // the first test-mode request goes unanswered
  fault("bad-checksum:0x20");  // ti's reply breaks the XOR rule
  const auto lines = traced_run("tms 1\nti\nmkdir gsm\ncd /gsm\nfwr a a.bin\ncd /nope\n");
  ASSERT_GE(lines.size(), 14u);
  EXPECT_EQ(lines[0], "      0 ms  >  02 14 21 01 00 20 02  |  id 0x21 test mode, mode 1");
  EXPECT_EQ(lines[1],
            "   1500 ms  <  (nothing)  |  reply to 0x21: failed, no reply within the timeout");
  EXPECT_EQ(lines[3], "   1500 ms  <  02 14 21 00 21 02  |  reply to 0x21: status 0");
  EXPECT_EQ(lines[4], "   1500 ms  >  02 14 20 20 02  |  id 0x20 ti");
  EXPECT_NE(lines[5].find("reply to 0x20: status 0; CHECKSUM WRONG (not tested: the reply counts)"),
            std::string::npos)
      << lines[5];
  EXPECT_NE(lines[6].find("|  id 0x70 file system: make directory \"/gsm\""), std::string::npos)
      << lines[6];
  EXPECT_NE(lines[8].find("|  id 0x70 file system: directory \"/gsm\""), std::string::npos);
  EXPECT_NE(lines[10].find("|  id 0x70 file system: open \"/gsm/a\""), std::string::npos);
  EXPECT_EQ(lines[12],
            "   1500 ms  >  02 14 70 1B 03 00 61 62 63 00 08 02  |  id 0x70 file system: "
            "write, chunk of 3 bytes");
  EXPECT_NE(lines[14].find("|  id 0x70 file system: close"), std::string::npos);
  // The missing directory: five refusals with the handset's status.
  EXPECT_NE(lines.back().find("|  reply to 0x70: refused, status "), std::string::npos)
      << lines.back();
  EXPECT_EQ(link.reply_checksum_mismatches(), 1);
}

TEST_F(FrameTrace, escaped_reply_bytes_keep_the_checksum_rule) {
  // 16 bytes: the block read's byte count 0x10 travels escaped in the reply
  // head; the data holds both escaped values.
  std::vector<std::uint8_t> file(16, 0x10);
  file[3] = 0x02;
  state().fs.files["/f"] = file;
  const auto lines = traced_run("frd f f.bin\n");
  for (const auto& l : lines) EXPECT_EQ(l.find("CHECKSUM"), std::string::npos) << l;
  EXPECT_EQ(link.reply_checksum_mismatches(), 0);
}

TEST_F(FrameTrace, an_opted_in_checksum_test_fails_the_reply_like_a_garbled_one) {
  fault("bad-checksum:0x20");
  check_reply_checksum = true;
  const auto lines = traced_run("ti\n");
  check_reply_checksum = false;
  EXPECT_EQ(log(), std::vector<std::string>{"ti  => 100 (5)"});
  EXPECT_EQ(link.last_reply_fault(), wire::ReplyFault::kBadChecksum);
  EXPECT_NE(lines[1].find("CHECKSUM WRONG: failed (the checksum is tested)"), std::string::npos)
      << lines[1];
  // Off, as by default: the same reply counts.
  line_clear();
  fault("bad-checksum:0x20");
  traced_run("ti\n");
  EXPECT_EQ(log(), std::vector<std::string>{"ti  => 0 (1)"});
}

}  // namespace

namespace {

TEST(FrameDecoder, a_frame_that_claims_more_than_it_holds_is_decoded_without_overrun) {
  wire::FrameDecoder decoder;
  const auto frame = testing_support::bytes({0x02, 0x14, 0x70, 0x01, 0x26, 0xFF, 0x41, 0x00, 0x02});
  EXPECT_EQ(decoder.request(frame), "id 0x70 file system: open \"A\"");
  wire::TraceEvent reply;
  reply.request_id = 0x70;
  reply.head_count = 40;
  reply.data_count = 40;
  const auto cut = testing_support::bytes({0x02, 0x14, 0x70, 0x00, 0x10});
  reply.bytes = cut;
  reply.fault = wire::ReplyFault::kTimeout;
  EXPECT_EQ(decoder.reply(reply), "reply to 0x70: failed, no reply within the timeout");
}

}  // namespace

TEST(TraceFile, never_the_script_a_file_it_names_a_fifo_or_a_link) {
  TempDir dir;
  TempDir::write("t.tms", "tms 1\nfrd IMEI IMEI\nfwr afcdac afc , 2bytes\n");
  TempDir::write("afc", "12");
  std::string why;
  const std::pair<std::string, std::string> refused[] = {
      {"t.tms", "the script"}, {"./afc", "PC file afc"}, {"IMEI_1", "PC file IMEI_1"}};
  for (const auto& [name, reason] : refused) {
    EXPECT_EQ(cli::open_trace_file(name, "t.tms", 1, &why), nullptr) << name;
    EXPECT_NE(why.find(reason), std::string::npos) << why;
  }
  EXPECT_EQ(TempDir::read("t.tms"), "tms 1\nfrd IMEI IMEI\nfwr afcdac afc , 2bytes\n");
  EXPECT_EQ(TempDir::read("afc"), "12");
  EXPECT_FALSE(std::filesystem::exists("IMEI_1"));  // not left behind empty

  // Opening never blocks on a FIFO without a reader, nor writes through a link.
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  std::filesystem::create_symlink("afc", "link");
  for (const char* name : {"fifo", "link"}) {
    EXPECT_EQ(cli::open_trace_file(name, "t.tms", 3, &why), nullptr) << name;
    EXPECT_NE(why.find("not a plain file"), std::string::npos) << why;
  }

  TempDir::write("trace.txt", "an earlier trace");
  std::FILE* out = cli::open_trace_file("trace.txt", "t.tms", 3, &why);
  ASSERT_NE(out, nullptr) << why;
  std::fputs("new\n", out);
  std::fclose(out);
  EXPECT_EQ(TempDir::read("trace.txt"), "new\n");
}
