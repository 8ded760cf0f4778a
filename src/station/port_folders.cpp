#include "station/port_folders.h"

#include <filesystem>
#include <system_error>

#include "records/location.h"
#include "records/outbox.h"

namespace station {

namespace {

namespace stdfs = std::filesystem;

// Deeper than any station's folders: a folder link that leads back into its
// own station stops here instead of going round for good.
constexpr int kMaxDepth = 8;

// Files a run writes: each port keeps its own, none is shared. The rule is
// for files; a folder of these names (an "IMEIbackup" folder) is mirrored.
bool written_by_runs(const std::string& name) {
  return name.starts_with("IMEI") || name.starts_with("Download_") || name.ends_with(".part") ||
         name.ends_with(".lock") || name.starts_with("runs.sqlite") ||
         name.starts_with("runs-outbox.sqlite") || name.starts_with("run-journal") ||
         name.starts_with("cfx-");
}

// Links that lead nowhere (an entry the station no longer has) go, in every
// folder of the port's.
void remove_dangling(const stdfs::path& folder, int depth) {
  std::error_code ec;
  for (const auto& entry : stdfs::directory_iterator(folder, ec)) {
    std::error_code e;
    if (entry.is_symlink(e)) {
      if (!stdfs::exists(entry.path(), e)) stdfs::remove(entry.path(), e);
    } else if (entry.is_directory(e) && depth < kMaxDepth) {
      remove_dangling(entry.path(), depth + 1);
    }
  }
}

// Makes `into` (the port's copy of the station folder `relative`) hold a real
// folder for each of the station's folders and a link for each of its files.
// A write through a linked folder would land in the station's own folder,
// where every port reads; a file written and renamed into place in a real
// folder replaces only the port's link.
bool mirror(const stdfs::path& station, const stdfs::path& relative, const stdfs::path& into,
            int depth, std::string* error) {
  std::error_code ec;
  // From a link in `into` back up to the station folder.
  stdfs::path up;
  for (int i = 0; i < depth + 2; ++i) up /= "..";
  for (const auto& entry : stdfs::directory_iterator(station / relative, ec)) {
    const std::string name = entry.path().filename().string();
    if (depth == 0 && name == kPortFoldersName) continue;
    std::error_code e;
    const bool is_folder = entry.is_directory(e);
    if (!is_folder && written_by_runs(name)) continue;
    const stdfs::path mine = into / name;
    if (is_folder && depth < kMaxDepth) {
      // A port folder made by an older ffsload links whole folders.
      if (stdfs::is_symlink(mine, e)) stdfs::remove(mine, e);
      if (!stdfs::is_directory(mine, e) && !stdfs::create_directory(mine, e)) {
        *error = "cannot make " + mine.string() + ": " + e.message();
        return false;
      }
      if (!mirror(station, relative / name, mine, depth + 1, error)) return false;
      continue;
    }
    if (stdfs::is_symlink(mine, e) || stdfs::exists(mine, e)) continue;  // a port's own file stays
    stdfs::create_symlink(up / relative / name, mine, e);
    if (e) {
      *error = "cannot link " + mine.string() + ": " + e.message();
      return false;
    }
  }
  if (ec) {
    *error = "cannot read " + (station / relative).string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

std::string prepare_port_folder(const std::string& station, int port, std::string* error) {
  std::error_code ec;
  const stdfs::path folder = stdfs::path(station) / kPortFoldersName / std::to_string(port);
  stdfs::create_directories(folder, ec);
  if (ec) {
    *error = "cannot make " + folder.string() + ": " + ec.message();
    return "";
  }
  remove_dangling(folder, 0);
  if (!mirror(station, "", folder, 0, error)) return "";
  // Records an older ffsload kept in the port's own outbox join the
  // station's, which the next run on any port sends.
  const stdfs::path old_outbox = folder / records::kOutboxFile;
  if (stdfs::is_regular_file(stdfs::symlink_status(old_outbox, ec))) {
    std::string why;
    if (!records::merge_outbox(old_outbox.string(),
                               (stdfs::path(station) / records::kOutboxFile).string(), &why)) {
      *error = "cannot move the records kept in " + old_outbox.string() + ": " + why;
      return "";
    }
  }
  return folder.string();
}

}  // namespace station
