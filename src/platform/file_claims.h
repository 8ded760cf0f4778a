// A run's hold on the PC files it wrote by read-back, so that two stations
// working in one folder never take each other's files: ports 3 to 8 share PC
// names, and one handset must never receive another's IMEI backup. A claim is
// a lock on "NAME.lock" beside the file (the port and process inside), held
// until the run ends; the system drops it when a process dies.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace platform {

// One run's claims. Another run's, in this process or another, conflict
// with them as another process's do.
class FileClaims {
 public:
  FileClaims() = default;
  ~FileClaims() { release(); }
  FileClaims(const FileClaims&) = delete;
  FileClaims& operator=(const FileClaims&) = delete;

  // Claims `path` for this run on `port`. Returns nullopt when the claim is
  // held (or already was), else why not, to follow the file's name: "is held
  // by the run on port 3, process 1234", or a refused lock file. A folder
  // where the lock cannot be made gives no claim and no refusal: the write
  // that follows fails there on its own. A lock name that is a symbolic link
  // (or not a plain file) is refused: it is never opened through.
  std::optional<std::string> claim(const std::string& path, int port);

  // Why `path` is not this run's when another run holds it (as claim words
  // it); nullopt when it is free or ours.
  std::optional<std::string> held_elsewhere(const std::string& path) const;

  // Ends every claim of this run (its end).
  void release();

 private:
  // Lock file path -> the open, locked descriptor.
  std::map<std::string, int> claims_;
};

}  // namespace platform
