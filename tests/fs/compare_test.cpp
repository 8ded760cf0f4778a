#include "fs/compare.h"

#include <string>
#include <vector>

#include "file_command_fixture.h"
#include "fs/refusals.h"

using testing_support::bytes;

class Compare : public testing_support::FileCommandTest {
 protected:
  int compare(const std::string& handset_name, const std::string& pc_name,
              const std::string& directory = "/gsm/rf") {
    pc_name_ = pc_name;
    return fs::comparefile(link, imei, "compare " + handset_name + " " + pc_name, directory,
                           handset_name, pc_name_);
  }
  std::string pc_name_;
};

TEST_F(Compare, agrees_on_identical_files_of_every_size) {
  for (std::size_t size : {0u, 1u, 123u, 125u, 139u, 3000u}) {
    SCOPED_TRACE(size);
    line.clear_requests();
    put_handset_file("/gsm/rf/file", pattern(size));
    write_pc_file("pc", pattern(size));
    EXPECT_EQ(compare("file", "pc"), 0);
    EXPECT_EQ(log().back(), "compare file pc, " + std::to_string(size) + "Bytes=> 0 ; match(0)");
  }
  EXPECT_EQ(block_read_counts(), full_blocks_then(24, 48));
}

TEST_F(Compare, finds_a_difference_after_a_zero_byte_with_its_sign) {
  auto handset_bytes = bytes({'a', 0, 'b', 'c'});
  put_handset_file("/gsm/rf/file", handset_bytes);
  write_pc_file("pc", bytes({'a', 0, 'a', 'c'}));
  EXPECT_EQ(compare("file", "pc"), -1);
  write_pc_file("pc", bytes({'a', 0, 'b', 0xFF}));
  EXPECT_EQ(compare("file", "pc"), 1);
  EXPECT_EQ(log(), (std::vector<std::string>{"compare file pc, 4Bytes=> 0 ; match(-1)",
                                             "compare file pc, 4Bytes=> 0 ; match(1)"}));
}

TEST_F(Compare, sizes_that_differ_give_two_hundred_without_reading) {
  put_handset_file("/gsm/rf/file", pattern(10));
  write_pc_file("pc", pattern(11));
  EXPECT_EQ(compare("file", "pc"), 200);
  EXPECT_EQ(compare("file", "missing"), 200);
  EXPECT_EQ(compare("file", "nofolder/pc"), 200);
  EXPECT_EQ(log().back(), "compare file nofolder/pc, 10Bytes=> 0 ; match(200)");
}

TEST_F(Compare, a_file_above_three_thousand_bytes_is_not_read) {
  put_handset_file("/gsm/rf/big", pattern(3001));
  write_pc_file("pc", pattern(3001));
  EXPECT_EQ(compare("big", "pc"), 201);
  EXPECT_EQ(requests().size(), 1u);
  EXPECT_EQ(log(), std::vector<std::string>{"compare big pc, 3001Bytes=> 0 ; match(201)"});
}

TEST_F(Compare, a_failed_transfer_is_never_reported_as_a_match) {
  // The handset reports a byte more than it sends: every attempt fails on its
  // last block read, after the first block arrived.
  put_handset_file("/gsm/rf/file", pattern(123, 5));
  state().fs.reported_size = 124;
  auto pc = pattern(124, 5);
  pc[0] = 0;  // smaller than the handset's first byte: a negative figure
  write_pc_file("pc", pc);
  const int result = compare("file", "pc");
  EXPECT_NE(result, 0);
  EXPECT_EQ(result, 99);
  EXPECT_EQ(log(), std::vector<std::string>{"compare file pc, 124Bytes=> 100 ; match(-1)"});

  state().fs.files.clear();  // no file at all: the handset refuses every query
  write_pc_file("empty", {});
  EXPECT_EQ(compare("file", "empty"), 100);
  EXPECT_EQ(log().back(), "compare file empty, 0Bytes=> 100 ; match(0)");
}

TEST_F(Compare, suffixes_the_pc_name_only_when_the_names_agree_and_the_port_asks) {
  put_handset_file("/gsm/rf/afcdac", bytes({1, 2}));
  write_pc_file("afcdac", bytes({1, 2}));
  write_pc_file("afcdac_1", bytes({1, 2}));
  write_pc_file("afcdac_2", bytes({1, 2}));
  write_pc_file("afcdab_2", bytes({1, 2}));
  write_pc_file("bfcdac", bytes({1, 2}));
  struct Case {
    int port;
    std::string pc_name;
    std::string used;
  };
  for (const auto& c :
       std::vector<Case>{{1, "afcdac", "afcdac_1"},
                         {2, "afcdac", "afcdac_2"},
                         {2, "afcdab", "afcdab_2"},  // only the last character differs
                         {2, "bfcdac", "bfcdac"},    // differs before the last character
                         {3, "afcdac", "afcdac"},
                         {8, "afcdac", "afcdac"}}) {
    SCOPED_TRACE(c.pc_name + " on port " + std::to_string(c.port));
    attach(c.port);
    put_handset_file("/gsm/rf/afcdac", bytes({1, 2}));
    EXPECT_EQ(compare("afcdac", c.pc_name), 0);
    EXPECT_EQ(pc_name_, c.used);
  }
}

TEST_F(Compare, skips_imei_names_until_an_imei_was_backed_up) {
  attach(1);
  put_handset_file("/gsm/IMEI", pattern(8));
  write_pc_file("IMEI_1", pattern(8));
  EXPECT_EQ(compare("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(log().empty());
  EXPECT_EQ(pc_name_, "IMEI");

  IMEI_flag = 1;
  EXPECT_EQ(compare("IMEI", "IMEI", "/gsm"), 0);
  EXPECT_EQ(pc_name_, "IMEI_1");
  EXPECT_EQ(log(), std::vector<std::string>{"compare IMEI IMEI, 8Bytes=> 0 ; match(0)"});
}

TEST_F(Compare, refuses_bad_names_before_any_request) {
  EXPECT_EQ(compare("afcdac", "pc", "/gsm/rf/aaaaaaaaaaaaaaaaaaa"), fs::kStatusTextTooLong);
  attach(2);
  EXPECT_EQ(compare(std::string(18, 'n'), std::string(18, 'n')), fs::kStatusNameTooLongForSuffix);
  EXPECT_EQ(compare("afcdac", ""), fs::kStatusMissingName);
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(log().size(), 3u);
  // A long name that takes no suffix is fine.
  EXPECT_EQ(compare("afcdac", std::string(19, 'n')), 100 + 200);
}
