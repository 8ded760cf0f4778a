#include <algorithm>
#include <iterator>

#include "sim/fs_requests.h"
#include "sim/handset.h"

namespace sim {

namespace {

constexpr std::uint8_t kValueItemShort = 0x23;
constexpr std::uint8_t kOpFileQuery = 0x0D;
constexpr std::uint8_t kOpReadSetup = 0x08;
constexpr std::uint8_t kStreamBlockRead = 0x1A;
constexpr std::uint16_t kReferenceBase = 0x4100;

// The file a path names, when there is one.
const std::vector<std::uint8_t>* find_file(const FlashFs& fs, const std::string& path) {
  auto it = fs.files.find(path);
  return it == fs.files.end() ? nullptr : &it->second;
}

// A file's reference: its place among the files, made distinctive so that a
// tool sending back a constant instead of the reference is caught.
std::uint16_t file_reference(const FlashFs& fs, const std::string& path) {
  auto it = fs.files.find(path);
  return static_cast<std::uint16_t>(kReferenceBase + std::distance(fs.files.begin(), it));
}

std::uint8_t low_byte(std::uint16_t v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t high_byte(std::uint16_t v) {
  return static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

std::optional<Reply> answer_fs_query(FlashFs& fs, const FsCall& call) {
  // The query names its path with two closing zeros and the value item 23 14 00.
  if (!fs.formatted || !call.text || call.text_zeros != 2 ||
      call.value != std::vector<std::uint8_t>{kValueItemShort, 0x14, 0x00} ||
      call.op != kOpFileQuery) {
    return refusal();
  }
  const std::string path = normalize_path(*call.text);
  const auto* file = find_file(fs, path);
  // The reply carries the size in 16 bits; a larger file cannot be told truly.
  if (!file || file->size() > 0xFFFF) return refusal();
  const std::uint16_t reference = file_reference(fs, path);
  const auto size = fs.reported_size.value_or(static_cast<std::uint16_t>(file->size()));
  std::vector<std::uint8_t> data(18, 0x00);
  data[0] = low_byte(reference);
  data[1] = high_byte(reference);
  data[2] = low_byte(size);
  data[3] = high_byte(size);
  return ok_reply({kOpFileQuery, 0x00, 0x00, 0x00, 0x00, 0x00}, std::move(data));
}

std::optional<Reply> answer_fs_read_setup(FlashFs& fs, const FsCall& call) {
  if (!fs.formatted || !call.text || call.text_zeros != 1 || call.value.size() != 3 ||
      call.value[0] != kValueItemShort || call.op != kOpReadSetup) {
    return refusal();
  }
  const std::string path = normalize_path(*call.text);
  if (!find_file(fs, path)) return refusal();
  const std::uint16_t reference = file_reference(fs, path);
  if (call.value[1] != low_byte(reference) || call.value[2] != high_byte(reference)) {
    return refusal();
  }
  fs.open_for_read = path;
  fs.read_position = 0;
  return ok_reply({kOpReadSetup});
}

std::optional<Reply> answer_fs_block_read(FlashFs& fs, std::span<const std::uint8_t> payload) {
  // 1A k 00 00: the next k bytes of the file the read set-up named.
  if (payload.size() != 4 || payload[0] != kStreamBlockRead || payload[2] != 0x00 ||
      payload[3] != 0x00 || !fs.open_for_read) {
    return refusal();
  }
  const auto* file = find_file(fs, *fs.open_for_read);
  if (!file) return refusal();
  const std::uint8_t k = payload[1];
  const std::size_t start = std::min(fs.read_position, file->size());
  const std::size_t end = std::min(start + k, file->size());
  std::vector<std::uint8_t> data(file->begin() + static_cast<std::ptrdiff_t>(start),
                                 file->begin() + static_cast<std::ptrdiff_t>(end));
  fs.read_position = end;
  if (fs.block_read_surplus > 0) {
    data.insert(data.end(), static_cast<std::size_t>(fs.block_read_surplus), 0x5A);
  } else if (fs.block_read_surplus < 0) {
    data.resize(data.size() -
                std::min(data.size(), static_cast<std::size_t>(-fs.block_read_surplus)));
  }
  // k is among the head bytes, so a k of 0x02 or 0x10 travels escaped.
  return ok_reply({kStreamBlockRead, k, 0x00}, std::move(data));
}

}  // namespace sim
