// A port's folder under a multi-port station: it reads the station's files
// and writes only its own, in every sub-folder.
#include "station/port_folders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "records/outbox.h"
#include "records/record_samples.h"
#include "records/sqlite_store.h"
#include "support/temp_dir.h"

namespace {

namespace stdfs = std::filesystem;
using testing_support::TempDir;

// A PC file written as a read-back writes it: a temporary file renamed into place.
void write_and_rename(const std::string& name, const std::string& text) {
  TempDir::write(name + ".part", text);
  ASSERT_EQ(std::rename((name + ".part").c_str(), name.c_str()), 0);
}

}  // namespace

TEST(PortFolders, a_port_writes_into_its_own_sub_folders_never_the_stations) {
  TempDir dir;
  stdfs::create_directories("data/deep");
  stdfs::create_directories("IMEIbackup");
  TempDir::write("main.tms", "tms 1\n");
  TempDir::write("data/id.rd", "station");
  TempDir::write("data/deep/cal", "station cal");
  TempDir::write("IMEIbackup/old", "kept");
  TempDir::write("IMEI_1", "12345678");  // a station's own backup: never linked
  // A port folder made by an older ffsload linked whole folders.
  stdfs::create_directories("ports/3");
  stdfs::create_directory_symlink("../../data", "ports/3/data");

  std::string error;
  const std::string folder = station::prepare_port_folder(dir.path(), 3, &error);
  ASSERT_FALSE(folder.empty()) << error;
  const stdfs::path port = folder;
  EXPECT_TRUE(stdfs::is_symlink(port / "main.tms"));
  EXPECT_FALSE(stdfs::exists(port / "IMEI_1"));
  for (const char* sub : {"data", "data/deep", "IMEIbackup"}) {
    EXPECT_TRUE(stdfs::is_directory(stdfs::symlink_status(port / sub))) << sub;
  }
  EXPECT_EQ(TempDir::read((port / "data/deep/cal").string()), "station cal");
  EXPECT_EQ(TempDir::read((port / "IMEIbackup/old").string()), "kept");

  write_and_rename((port / "data/id.rd").string(), "port 3");
  write_and_rename((port / "IMEIbackup/IMEI_new").string(), "port 3 imei");
  EXPECT_EQ(TempDir::read("data/id.rd"), "station");
  EXPECT_FALSE(stdfs::exists("IMEIbackup/IMEI_new"));

  // Refreshed: the port's own files stay; a new station file is linked, a
  // removed one's link goes.
  TempDir::write("data/new.rd", "new");
  stdfs::remove("data/deep/cal");
  ASSERT_EQ(station::prepare_port_folder(dir.path(), 3, &error), folder) << error;
  EXPECT_EQ(TempDir::read((port / "data/id.rd").string()), "port 3");
  EXPECT_TRUE(stdfs::is_symlink(port / "data/new.rd"));
  EXPECT_FALSE(stdfs::is_symlink(port / "data/deep/cal"));
}

TEST(PortFolders, records_an_older_port_kept_join_the_stations_outbox) {
  TempDir dir;
  stdfs::create_directories("ports/4");
  {
    records::SqliteStore old("ports/4/runs-outbox.sqlite", records::OpenFor::kWriting);
    const auto record = testing_support::sample_record("1", "aa", "green");
    old.append(std::span(&record, 1));
  }
  std::string error;
  ASSERT_FALSE(station::prepare_port_folder(dir.path(), 4, &error).empty()) << error;
  EXPECT_FALSE(stdfs::exists("ports/4/runs-outbox.sqlite"));
  records::SqliteStore outbox("runs-outbox.sqlite", records::OpenFor::kReading);
  EXPECT_EQ(outbox.waiting_count(), 1);
}
