#include "sim/fs_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace stdfs = std::filesystem;

class FsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/ffsload-folder-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    base_ = name;
  }
  void TearDown() override { stdfs::remove_all(base_); }

  static std::vector<std::uint8_t> read(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::vector<stdfs::path> everything_below(const stdfs::path& p) {
    std::vector<stdfs::path> out;
    for (const auto& e : stdfs::recursive_directory_iterator(p)) out.push_back(e.path());
    return out;
  }

  stdfs::path base_;
};

TEST_F(FsFolder, dump_and_load_keep_every_byte_value_and_empty_directories) {
  sim::FlashFs fs;
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  fs.directories.insert({"/gsm", "/gsm/rf", "/empty"});
  fs.files["/gsm/rf/afcdac"] = all;
  fs.files["/gsm/zero"] = {};
  std::string error;
  ASSERT_TRUE(sim::dump_file_system(fs, (base_ / "out").string(), &error)) << error;
  EXPECT_EQ(read(base_ / "out/gsm/rf/afcdac"), all);
  EXPECT_TRUE(stdfs::is_directory(base_ / "out/empty"));

  sim::FlashFs loaded;
  loaded.files["/stale"] = {1};
  ASSERT_TRUE(sim::load_file_system(loaded, (base_ / "out").string(), &error)) << error;
  EXPECT_EQ(loaded.files, fs.files);
  EXPECT_EQ(loaded.directories, fs.directories);
}

TEST_F(FsFolder, dump_never_writes_outside_its_folder) {
  sim::FlashFs fs;
  fs.directories.insert({"/..", "/a"});
  fs.files["/../escaped"] = {1};
  fs.files["/a/../../escaped2"] = {2};
  fs.files["/a/./b"] = {3};
  fs.files[std::string("/a/nul\0x", 8)] = {4};
  fs.files["/a/fine"] = {5};
  std::string error;
  EXPECT_FALSE(sim::dump_file_system(fs, (base_ / "out").string(), &error));
  EXPECT_NE(error.find("unsafe name /../escaped"), std::string::npos) << error;
  EXPECT_EQ(read(base_ / "out/a/fine"), std::vector<std::uint8_t>{5});
  // Only the dump folder itself appeared next to it, and inside it only /a and /a/fine.
  EXPECT_EQ(everything_below(base_).size(), 3u);
}

TEST_F(FsFolder, dump_refuses_a_folder_that_already_holds_files) {
  stdfs::create_directories(base_ / "out");
  std::ofstream(base_ / "out/old") << "x";
  sim::FlashFs fs;
  std::string error;
  EXPECT_FALSE(sim::dump_folder_usable((base_ / "out").string(), &error));
  EXPECT_FALSE(sim::dump_file_system(fs, (base_ / "out").string(), &error));
  EXPECT_TRUE(sim::dump_folder_usable((base_ / "new").string(), &error));
}

TEST_F(FsFolder, load_refuses_symbolic_links_and_keeps_the_old_file_system) {
  stdfs::create_directories(base_ / "in");
  std::ofstream(base_ / "in/file") << "x";
  stdfs::create_symlink("/etc", base_ / "in/link");
  sim::FlashFs fs;
  fs.files["/keep"] = {7};
  std::string error;
  EXPECT_FALSE(sim::load_file_system(fs, (base_ / "in").string(), &error));
  EXPECT_EQ(fs.files.count("/keep"), 1u);
  EXPECT_FALSE(sim::load_file_system(fs, (base_ / "missing").string(), &error));
}
