// The layout of every file-system request (request id 0x70), in one place.
// A call request names an object: marker, text item, optional value item,
// operation byte and a closing zero. A stream request works on the file the
// last open or read set-up named. Each request is built in a fixed area of the
// size the handset protocol allows; a text that would not fit is refused.
#pragma once

#include "link/request_ids.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace fs {

using wire::kFsRequest;

using wire::kMarker;
using wire::kTextItem;
using wire::kValueItemWord;
using wire::kValueItemShort;

// Operation bytes.
using wire::kOpFormatFirst;
using wire::kOpFormatSecond;
using wire::kOpClose;
using wire::kOpReadSetup;
using wire::kOpRemove;
using wire::kOpMakeDirectory;
using wire::kOpDirectory;
using wire::kOpFileQuery;
using wire::kOpBlockRead;
using wire::kOpWrite;

// Body areas of the requests that carry a text, in bytes.
constexpr std::size_t kDirectoryArea = 40;
constexpr std::size_t kMakeDirectoryArea = 40;
constexpr std::size_t kRemoveArea = 60;
constexpr std::size_t kOpenArea = 80;
constexpr std::size_t kFileQueryArea = 40;

// File bytes per write request, and per full block read.
constexpr std::size_t kWriteChunk = 39;
constexpr std::uint8_t kReadBlock = 123;
// Largest file moved in either direction.
constexpr std::size_t kLargestFile = 3000;
// The current handset directory contributes at most this many characters to a path.
constexpr std::size_t kDirectoryPrefixLimit = 80;

// Reply layouts (reply head bytes, reply data bytes) the requests ask for.
struct ReplyLayout {
  std::size_t head;
  std::size_t data;
};
constexpr ReplyLayout kFormatReply{1, 0};
constexpr ReplyLayout kRemoveReply{1, 0};
constexpr ReplyLayout kMakeDirectoryReply{1, 0};
constexpr ReplyLayout kDirectoryReply{4, 4};
constexpr ReplyLayout kOpenReply{0, 0};
constexpr ReplyLayout kWriteReply{0, 0};
constexpr ReplyLayout kCloseReply{1, 0};
constexpr ReplyLayout kFileQueryReply{6, 18};
constexpr ReplyLayout kReadSetupReply{1, 0};
// A block of k bytes: one more head byte when k itself travels escaped.
constexpr ReplyLayout block_read_reply(std::uint8_t k) {
  return {(k == 0x02 || k == 0x10) ? 4u : 3u, k};
}

// One request as the two groups send_packet takes.
class FsRequest {
 public:
  std::span<const std::uint8_t> head() const { return {bytes_.data(), head_size_}; }
  std::span<const std::uint8_t> body() const {
    return {bytes_.data() + head_size_, size_ - head_size_};
  }

 private:
  friend class FsRequestBuilder;
  std::array<std::uint8_t, 96> bytes_{};
  std::size_t head_size_ = 0;
  std::size_t size_ = 0;
};

// The handset path of a file command: the directory (its first 80 characters),
// "/" and the name, joined as they are.
std::string handset_path(std::string_view directory, std::string_view name);

// Call requests. Each returns nothing when its text does not fit its area.
FsRequest format_first_request();
FsRequest format_second_request();
std::optional<FsRequest> directory_request(std::string_view directory);
std::optional<FsRequest> make_directory_request(std::string_view name);  // sends "/" + name
std::optional<FsRequest> remove_request(std::string_view path);
std::optional<FsRequest> open_request(std::string_view path);
std::optional<FsRequest> file_query_request(std::string_view path);
std::optional<FsRequest> read_setup_request(std::string_view path, std::uint8_t reference_low,
                                            std::uint8_t reference_high);

// Stream requests.
std::optional<FsRequest> write_request(std::span<const std::uint8_t> chunk);  // at most 39 bytes
FsRequest close_request();
FsRequest block_read_request(std::uint8_t count);

}  // namespace fs
