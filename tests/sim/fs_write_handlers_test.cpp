#include <gtest/gtest.h>

#include "fs/request.h"
#include "sim/handset.h"
#include "sim/nvm_preset.h"
#include "support/sim_fixture.h"

using testing_support::bytes;

// The simulated handset's file system, spoken to with the tool's own requests.
class SimFileSystem : public ::testing::Test {
 protected:
  std::optional<sim::Reply> send(const fs::FsRequest& r) {
    sim::Request request{0x70, {}};
    request.payload.assign(r.head().begin(), r.head().end());
    request.payload.insert(request.payload.end(), r.body().begin(), r.body().end());
    auto reply = handset.answer(request);
    // No reply head byte may travel escaped: the tool counts head bytes as they arrive.
    if (reply) {
      for (std::uint8_t b : reply->head) EXPECT_TRUE(b != 0x02 && b != 0x10);
    }
    return reply;
  }
  bool ok(const fs::FsRequest& r) {
    auto reply = send(r);
    return reply && reply->status == 0;
  }
  bool ok(const std::optional<fs::FsRequest>& r) { return r && ok(*r); }
  bool write(const std::vector<std::uint8_t>& chunk) { return ok(fs::write_request(chunk)); }
  bool format() { return ok(fs::format_first_request()) && ok(fs::format_second_request()); }

  sim::FlashFs& flash() { return handset.state().fs; }
  sim::Handset handset;
};

TEST_F(SimFileSystem, format_needs_both_requests_and_leaves_only_the_root_and_the_nvm_preset) {
  flash().directories.insert("/gsm");
  flash().files["/gsm/x"] = {1};
  EXPECT_FALSE(ok(fs::format_second_request()));  // without the first
  EXPECT_EQ(flash().files.count("/gsm/x"), 1u);
  EXPECT_TRUE(format());
  EXPECT_EQ(flash().directories, (std::set<std::string>{"/", sim::kNvmPresetDirectory}));
  ASSERT_EQ(flash().files.size(), 1u);
  EXPECT_EQ(flash().files.begin()->first, sim::kNvmPresetPath);
}

TEST_F(SimFileSystem, format_replies_carry_one_head_byte) {
  auto reply = send(fs::format_first_request());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->head.size(), 1u);
  EXPECT_TRUE(reply->data.empty());
}

TEST_F(SimFileSystem, an_unformatted_flash_refuses_everything_but_the_format) {
  flash().formatted = false;
  EXPECT_FALSE(ok(fs::make_directory_request("gsm")));
  EXPECT_TRUE(format());
  EXPECT_TRUE(ok(fs::make_directory_request("gsm")));
}

TEST_F(SimFileSystem, make_directory_refuses_an_existing_entry_and_a_missing_parent) {
  EXPECT_FALSE(ok(fs::make_directory_request("gsm/rf")));
  EXPECT_TRUE(ok(fs::make_directory_request("gsm")));
  EXPECT_FALSE(ok(fs::make_directory_request("gsm")));
  EXPECT_TRUE(ok(fs::make_directory_request("gsm/rf")));
  flash().files["/gsm/file"] = {};
  EXPECT_FALSE(ok(fs::make_directory_request("gsm/file")));
  EXPECT_FALSE(ok(fs::make_directory_request("gsm/file/sub")));
}

TEST_F(SimFileSystem, directory_request_answers_four_and_four_bytes_for_existing_directories) {
  flash().directories.insert("/gsm");
  auto reply = send(*fs::directory_request("/gsm"));
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 0);
  EXPECT_EQ(reply->head.size(), 4u);
  EXPECT_EQ(reply->data.size(), 4u);
  EXPECT_EQ(flash().current_directory, "/gsm");
  EXPECT_FALSE(ok(fs::directory_request("/nothing")));
  flash().files["/file"] = {};
  EXPECT_FALSE(ok(fs::directory_request("/file")));
}

TEST_F(SimFileSystem, remove_refuses_missing_entries_the_root_and_full_directories) {
  flash().directories.insert({"/gsm", "/gsm/rf"});
  flash().files["/gsm/rf/a"] = {1};
  EXPECT_FALSE(ok(fs::remove_request("/gsm/rf/b")));
  EXPECT_FALSE(ok(fs::remove_request("/gsm/rf")));
  EXPECT_FALSE(ok(fs::remove_request("/")));
  EXPECT_TRUE(ok(fs::remove_request("/gsm/rf/a")));
  EXPECT_TRUE(ok(fs::remove_request("/gsm/rf")));
  EXPECT_EQ(flash().directories, (std::set<std::string>{"/", "/gsm"}));
  EXPECT_TRUE(flash().files.empty());
}

TEST_F(SimFileSystem, open_write_close_commits_the_bytes_only_at_the_close) {
  flash().directories.insert("/gsm");
  EXPECT_FALSE(ok(fs::open_request("/gsm/rf/a")));  // no such directory
  EXPECT_TRUE(ok(fs::open_request("/gsm/a")));
  EXPECT_TRUE(write({0x02, 0x10, 0x00}));
  EXPECT_TRUE(write({0xFF}));
  EXPECT_EQ(flash().files.count("/gsm/a"), 0u);
  auto reply = send(fs::close_request());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 0);
  EXPECT_EQ(reply->head.size(), 1u);
  EXPECT_EQ(flash().files.at("/gsm/a"), bytes({0x02, 0x10, 0x00, 0xFF}));
}

TEST_F(SimFileSystem, writes_and_closes_without_an_open_file_are_refused) {
  EXPECT_FALSE(write({1, 2, 3}));
  EXPECT_FALSE(ok(fs::close_request()));
  EXPECT_TRUE(ok(fs::open_request("/a")));
  EXPECT_TRUE(ok(fs::close_request()));
  EXPECT_FALSE(ok(fs::close_request()));  // closed already
  EXPECT_TRUE(flash().files.at("/a").empty());
}

TEST_F(SimFileSystem, a_write_whose_count_disagrees_with_its_bytes_is_refused) {
  EXPECT_TRUE(ok(fs::open_request("/a")));
  sim::Request request{0x70, bytes({0x1B, 0x03, 0x00, 'a', 'b', 0x00})};  // says 3, carries 2
  auto reply = handset.answer(request);
  ASSERT_TRUE(reply);
  EXPECT_NE(reply->status, 0);
}

TEST_F(SimFileSystem, a_new_open_forgets_what_an_unfinished_one_wrote) {
  EXPECT_TRUE(ok(fs::open_request("/a")));
  EXPECT_TRUE(write({1, 2}));
  EXPECT_TRUE(ok(fs::open_request("/a")));
  EXPECT_TRUE(write({3}));
  EXPECT_TRUE(ok(fs::close_request()));
  EXPECT_EQ(flash().files.at("/a"), bytes({3}));
}

TEST_F(SimFileSystem, nvm_reset_is_counted_and_answers_one_head_byte) {
  auto reply = handset.answer(sim::Request{0x52, {0x3C}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 0);
  EXPECT_EQ(reply->head.size(), 1u);
  EXPECT_EQ(handset.state().nvm_resets, 1);
  auto bad = handset.answer(sim::Request{0x52, {0x3C, 0x00}});
  ASSERT_TRUE(bad);
  EXPECT_NE(bad->status, 0);
}
