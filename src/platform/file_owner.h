// Whose a file is, and whether this process may write it: a station folder's
// files written by a service running as another user (root) cannot take an
// operator's messages, and the operator should be told so before a run.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The user this process runs as, by name ("uid N" when it has none).
std::string this_user_name();

// Why this process cannot write `path`, e.g. "owned by root, not writable
// by operator"; nullopt when it can, or when nothing is there (a file that a
// writer will make).
std::optional<std::string> not_ours_to_write(const std::string& path);

// The owner of `path` by user id, through links; nullopt when it cannot be
// examined.
std::optional<unsigned> owner_id(const std::string& path);

}  // namespace platform
