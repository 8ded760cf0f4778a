// Who this process is: the machine it runs on and its number there.
#pragma once

#include <string>

namespace platform {

// The machine's network name; "" when it cannot be read.
std::string host_name();

// This process's id, as the system's tools show it.
long process_id();

// Sets the environment variable `name` of this process (and of what it
// starts) to `value`; false when the system refuses.
bool set_environment(const std::string& name, const std::string& value);

// For a program started as root (a service): becomes the user that owns
// `folder`, with that user's groups, so that what it writes there is that
// user's as the rest of the folder is. Nothing to do (true) when not root;
// false with *why when the folder is root's (or cannot be examined) or the
// change fails: the caller must not go on as root.
bool become_owner_of(const std::string& folder, std::string* why);

}  // namespace platform
