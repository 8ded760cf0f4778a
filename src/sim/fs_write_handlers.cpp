// The handset's file system as the tool shapes it: format, directories,
// removal, and files written through open, write and close.
#include <algorithm>

#include "sim/fs_requests.h"
#include "sim/handset.h"
#include "sim/nvm_preset.h"

namespace sim {

namespace {

constexpr std::uint8_t kValueWord = 0x21;
constexpr std::uint8_t kValueShort = 0x23;
constexpr std::uint8_t kStreamWrite = 0x1B;
constexpr std::uint8_t kStreamClose = 0x07;
// A flash chip has an end; nothing the tool sends comes near it.
constexpr std::size_t kLargestHandsetFile = 64 * 1024;

// Reply head bytes: the operation echoed. None of them is 0x02 or 0x10, so
// each arrives as one byte.
Reply ok_with_head(std::uint8_t op) {
  return ok_reply({op});
}

std::string parent_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool is_directory(const FlashFs& fs, const std::string& path) {
  return fs.directories.count(path) != 0;
}
bool exists(const FlashFs& fs, const std::string& path) {
  return is_directory(fs, path) || fs.files.count(path) != 0;
}

// Anything below `path` (a directory is empty when this is false).
bool has_entries_below(const FlashFs& fs, const std::string& path) {
  const std::string prefix = path == "/" ? "/" : path + "/";
  auto below = [&](const std::string& p) { return p != path && p.starts_with(prefix); };
  return std::any_of(fs.directories.begin(), fs.directories.end(), below) ||
         std::any_of(fs.files.begin(), fs.files.end(),
                     [&](const auto& entry) { return below(entry.first); });
}

// The handset's own path for a call's text; nothing when the text is missing.
std::optional<std::string> path_of(const FsCall& call) {
  if (!call.text) return std::nullopt;
  return normalize_path(*call.text);
}

bool value_is(const FsCall& call, std::initializer_list<std::uint8_t> expected) {
  return std::equal(call.value.begin(), call.value.end(), expected.begin(), expected.end());
}

}  // namespace

std::optional<Reply> answer_fs_format(FlashFs& fs, const FsCall& call) {
  if (call.op == 0x03) {
    // First request: no text, the value 21 AD DE. It arms the format.
    if (call.text || !value_is(call, {kValueWord, 0xAD, 0xDE})) return refusal();
    fs.format_armed = true;
    return ok_with_head(call.op);
  }
  // Second request: the root's name and the value 21 AD 2B, after the first.
  const bool armed = fs.format_armed;
  fs.format_armed = false;
  if (!armed || call.text != "/ffs-root" || !value_is(call, {kValueWord, 0xAD, 0x2B})) {
    return refusal();
  }
  fs = FlashFs{};
  fs.formatted = true;
  // The handset's firmware writes its NVM preset back into a fresh file system.
  restore_nvm_preset(fs);
  return ok_with_head(call.op);
}

std::optional<Reply> answer_fs_make_directory(FlashFs& fs, const FsCall& call) {
  auto path = path_of(call);
  if (!fs.formatted || !path || !call.value.empty() || exists(fs, *path) ||
      !is_directory(fs, parent_of(*path))) {
    return refusal();
  }
  fs.directories.insert(*path);
  return ok_with_head(call.op);
}

std::optional<Reply> answer_fs_directory(FlashFs& fs, const FsCall& call) {
  auto path = path_of(call);
  if (!fs.formatted || !path || !value_is(call, {kValueShort, 0x04, 0x00}) ||
      !is_directory(fs, *path)) {
    return refusal();
  }
  fs.current_directory = *path;
  // Four head bytes and four data bytes: the operation and the number of
  // entries directly in the directory (data, low byte first).
  std::uint32_t entries = 0;
  for (const auto& d : fs.directories) entries += d != *path && parent_of(d) == *path;
  for (const auto& f : fs.files) entries += parent_of(f.first) == *path;
  return ok_reply({call.op, 0x00, 0x04, 0x00},
                  {static_cast<std::uint8_t>(entries & 0xFF),
                   static_cast<std::uint8_t>((entries >> 8) & 0xFF), 0x00, 0x00});
}

std::optional<Reply> answer_fs_remove(FlashFs& fs, const FsCall& call) {
  auto path = path_of(call);
  if (!fs.formatted || !path || !call.value.empty() || *path == "/") return refusal();
  if (fs.files.erase(*path) == 0) {
    if (!is_directory(fs, *path) || has_entries_below(fs, *path)) return refusal();
    fs.directories.erase(*path);
  }
  if (fs.open_for_write == *path) fs.open_for_write.reset();
  if (fs.open_for_read == *path) fs.open_for_read.reset();
  return ok_with_head(call.op);
}

std::optional<Reply> answer_fs_open(FlashFs& fs, const FsCall& call) {
  auto path = path_of(call);
  // An open names a file to write anew; it starts from nothing each time.
  fs.open_for_write.reset();
  fs.write_buffer.clear();
  if (!fs.formatted || !path || !call.value.empty() || *path == "/" || is_directory(fs, *path) ||
      !is_directory(fs, parent_of(*path))) {
    return refusal();
  }
  fs.open_for_write = *path;
  return ok_reply();
}

std::optional<Reply> answer_fs_write(FlashFs& fs, std::span<const std::uint8_t> payload) {
  // 1B m 00, then m file bytes, then 00.
  if (payload.size() < 4 || payload[0] != kStreamWrite || payload[2] != 0x00) return refusal();
  const std::size_t m = payload[1];
  if (payload.size() != m + 4 || payload.back() != 0x00) return refusal();
  if (!fs.open_for_write || fs.write_buffer.size() + m > kLargestHandsetFile) return refusal();
  fs.write_buffer.insert(fs.write_buffer.end(), payload.begin() + 3, payload.begin() + 3 + m);
  return ok_reply();
}

std::optional<Reply> answer_fs_close(FlashFs& fs, std::span<const std::uint8_t> payload) {
  if (payload.size() != 2 || payload[0] != kStreamClose || payload[1] != 0x00) return refusal();
  if (!fs.open_for_write) return refusal();
  const std::string path = *fs.open_for_write;
  fs.open_for_write.reset();
  // The directory may have gone since the open.
  if (!is_directory(fs, parent_of(path)) || is_directory(fs, path)) {
    fs.write_buffer.clear();
    return refusal();
  }
  fs.files[path] = std::move(fs.write_buffer);
  fs.write_buffer.clear();
  return ok_with_head(kStreamClose);
}

}  // namespace sim
