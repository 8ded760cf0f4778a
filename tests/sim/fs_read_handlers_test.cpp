#include <gtest/gtest.h>

#include <vector>

#include "fs/request.h"
#include "sim/handset.h"

namespace {

std::vector<std::uint8_t> payload_of(const fs::FsRequest& request) {
  std::vector<std::uint8_t> out(request.head().begin(), request.head().end());
  out.insert(out.end(), request.body().begin(), request.body().end());
  return out;
}

class SimulatedFileReading : public ::testing::Test {
 protected:
  std::optional<sim::Reply> ask(const fs::FsRequest& request) {
    return handset.answer({0x70, payload_of(request)});
  }
  std::optional<sim::Reply> query(const std::string& path) {
    return ask(*fs::file_query_request(path));
  }
  sim::Handset handset;
};

TEST_F(SimulatedFileReading, query_refuses_missing_files_and_directories) {
  handset.state().fs.directories.insert("/gsm");
  EXPECT_NE(query("/gsm/none")->status, 0);
  EXPECT_NE(query("/gsm")->status, 0);
  handset.state().fs.files["/f"] = {1};
  EXPECT_EQ(query("/f")->status, 0);
  // A text with one closing zero is a read set-up's, not a query's.
  const std::vector<std::uint8_t> one_zero{0x01, 0x26, 0x03, '/',  'f', 0x00,
                                           0x23, 0x14, 0x00, 0x0D, 0x00};
  EXPECT_NE(handset.answer({0x70, one_zero})->status, 0);
}

TEST_F(SimulatedFileReading, query_refuses_a_file_whose_size_does_not_fit_sixteen_bits) {
  // 65541 bytes would be reported as 5: a read-back would then pass on 5 bytes.
  handset.state().fs.files["/big"] = std::vector<std::uint8_t>(65541, 0x55);
  EXPECT_NE(query("/big")->status, 0);
  handset.state().fs.files["/big"].resize(65535);
  EXPECT_EQ(query("/big")->status, 0);
}

TEST_F(SimulatedFileReading, block_reads_need_the_right_reference_and_walk_the_file) {
  handset.state().fs.files["/f"] = {1, 2, 3, 4, 5};
  EXPECT_NE(ask(fs::block_read_request(2))->status, 0);  // nothing set up yet
  const std::vector<std::uint8_t> data = query("/f")->data;
  EXPECT_NE(ask(*fs::read_setup_request("/f", data[0], data[1] ^ 1))->status, 0);
  ASSERT_EQ(ask(*fs::read_setup_request("/f", data[0], data[1]))->status, 0);

  auto first = ask(fs::block_read_request(2));
  EXPECT_EQ(first->head, (std::vector<std::uint8_t>{0x1A, 0x02, 0x00}));
  EXPECT_EQ(first->data, (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(ask(fs::block_read_request(3))->data, (std::vector<std::uint8_t>{3, 4, 5}));
  EXPECT_TRUE(ask(fs::block_read_request(1))->data.empty());  // past the end: nothing left
}

}  // namespace
