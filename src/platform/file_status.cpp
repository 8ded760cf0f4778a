#include "platform/file_status.h"

#include <sys/stat.h>

namespace platform {

namespace {

PathKind kind_of(mode_t mode) {
  if (S_ISREG(mode)) return PathKind::kPlainFile;
  if (S_ISDIR(mode)) return PathKind::kFolder;
  if (S_ISLNK(mode)) return PathKind::kLink;
  return PathKind::kOther;
}

FileStatus status_of(const struct stat& st) {
  FileStatus status;
  status.kind = kind_of(st.st_mode);
  status.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  status.identity.device = static_cast<std::uint64_t>(st.st_dev);
  status.identity.inode = static_cast<std::uint64_t>(st.st_ino);
  status.readable_by_others = (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
  return status;
}

}  // namespace

std::optional<FileStatus> file_status(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return status_of(st);
}

std::optional<FileStatus> file_status_no_follow(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return status_of(st);
}

std::optional<FileStatus> file_status(std::FILE* file) {
  return file ? descriptor_status(::fileno(file)) : std::nullopt;
}

std::optional<FileStatus> descriptor_status(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
  return status_of(st);
}

PathKind path_kind(const std::string& path) {
  const auto status = file_status(path);
  return status ? status->kind : PathKind::kNone;
}

PathKind path_kind_no_follow(const std::string& path) {
  const auto status = file_status_no_follow(path);
  return status ? status->kind : PathKind::kNone;
}

std::optional<FileIdentity> file_identity(const std::string& path) {
  const auto status = file_status(path);
  if (!status) return std::nullopt;
  return status->identity;
}

}  // namespace platform
