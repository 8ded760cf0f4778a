#include "cli/pin_entry.h"

#include "platform/secret_input.h"

namespace cli {

namespace {

bool take(platform::SecretRead read, const std::string& where, people::Pin* pin,
          std::size_t length, std::string* why) {
  switch (read) {
    case platform::SecretRead::kRead:
      pin->set_length(length);
      return true;
    case platform::SecretRead::kTooLong:
      *why = where + ": the line is far longer than a PIN";
      break;
    case platform::SecretRead::kEnd:
      *why = where + ": nothing to read";
      break;
    case platform::SecretRead::kFailed:
      break;  // *why says already
  }
  pin->wipe();
  return false;
}

}  // namespace

bool read_pin(std::optional<int> fd, const std::string& whose, bool confirm, people::Pin* pin,
              std::string* why) {
  std::size_t length = 0;
  if (fd) {
    std::string failed;
    const auto read =
        platform::read_secret_line(*fd, pin->buffer(), people::Pin::kCapacity, &length, &failed);
    if (read == platform::SecretRead::kFailed) *why = failed;
    return take(read, "the PIN of " + whose + " from descriptor " + std::to_string(*fd), pin,
                length, why);
  }
  if (!platform::input_is_terminal()) {
    *why = "the PIN of " + whose +
           " is typed on a terminal, and standard input is none: give it on a descriptor "
           "(--pin-fd N)";
    return false;
  }
  const std::string prompt = (confirm ? "New PIN of " : "PIN of ") + whose + ": ";
  std::string failed;
  auto read = platform::ask_secret_on_terminal(prompt, pin->buffer(), people::Pin::kCapacity,
                                               &length, &failed);
  if (read == platform::SecretRead::kFailed) *why = failed;
  if (!take(read, "the PIN of " + whose, pin, length, why)) return false;
  if (!confirm) return true;
  people::Pin again;
  read = platform::ask_secret_on_terminal("The same PIN again: ", again.buffer(),
                                          people::Pin::kCapacity, &length, &failed);
  if (read == platform::SecretRead::kFailed) *why = failed;
  if (!take(read, "the PIN of " + whose, &again, length, why)) {
    pin->wipe();
    return false;
  }
  if (!people::same_pin(*pin, again)) {
    pin->wipe();
    *why = "the two PINs typed differ";
    return false;
  }
  return true;
}

}  // namespace cli
