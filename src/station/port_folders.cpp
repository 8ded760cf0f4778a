#include "station/port_folders.h"

#include <filesystem>
#include <system_error>

namespace station {

namespace {

namespace stdfs = std::filesystem;

// Names a run writes: each port keeps its own, none is shared.
bool written_by_runs(const std::string& name) {
  return name == kPortFoldersName || name.starts_with("IMEI") || name.starts_with("Download_") ||
         name.ends_with(".part") || name.ends_with(".lock") || name.starts_with("runs.sqlite") ||
         name.starts_with("runs-outbox.sqlite") ||
         name.starts_with("run-journal");
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
  // Links that lead nowhere (an entry the station no longer has) go.
  for (const auto& entry : stdfs::directory_iterator(folder, ec)) {
    if (entry.is_symlink() && !stdfs::exists(entry.path(), ec)) stdfs::remove(entry.path(), ec);
  }
  for (const auto& entry : stdfs::directory_iterator(station, ec)) {
    const std::string name = entry.path().filename().string();
    if (written_by_runs(name)) continue;
    const stdfs::path link = folder / name;
    if (stdfs::is_symlink(link) || stdfs::exists(link)) continue;  // a port's own file stays
    stdfs::create_symlink(stdfs::path("..") / ".." / name, link, ec);
    if (ec) {
      *error = "cannot link " + link.string() + ": " + ec.message();
      return "";
    }
  }
  if (ec) {
    *error = "cannot read " + station + ": " + ec.message();
    return "";
  }
  return folder.string();
}

}  // namespace station
