// What lies under a name, or behind an open file: its kind, its size and its
// identity on the disk, without opening what it names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

enum class PathKind {
  kNone,       // nothing there that can be examined (missing, or not reachable)
  kPlainFile,  // a regular file
  kFolder,
  kLink,   // a symbolic link (only when links are not followed)
  kOther,  // a FIFO, a device, a socket
};

// The same file whatever name reaches it: two names (or a name and an open
// file) with equal identities are one file.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
  PathKind kind = PathKind::kNone;
  std::uint64_t size = 0;  // bytes
  FileIdentity identity;
  bool readable_by_others = false;  // its group or everyone may read it
};

// What `path` names, through symbolic links. nullopt when it cannot be
// examined (missing, a folder on the way that cannot be entered, a dangling link).
std::optional<FileStatus> file_status(const std::string& path);
// What the name `path` itself is: a symbolic link is kLink, never followed.
std::optional<FileStatus> file_status_no_follow(const std::string& path);
// What an open stream reads or writes.
std::optional<FileStatus> file_status(std::FILE* file);

// What an open descriptor of this layer's own refers to.
std::optional<FileStatus> descriptor_status(int fd);

// The kind alone: kNone when it cannot be examined.
PathKind path_kind(const std::string& path);
PathKind path_kind_no_follow(const std::string& path);

// The identity of what `path` names (through links); nullopt when it cannot
// be examined.
std::optional<FileIdentity> file_identity(const std::string& path);

}  // namespace platform
