#include "fs/request.h"

namespace fs {

// Appends fields to a request, refusing anything that would pass the body area.
class FsRequestBuilder {
 public:
  explicit FsRequestBuilder(std::size_t body_area) : body_area_(body_area) {}

  FsRequestBuilder& byte(std::uint8_t b) {
    if (request_.size_ >= request_.bytes_.size() ||
        (head_done_ && request_.size_ - request_.head_size_ >= body_area_)) {
      fits_ = false;
    } else {
      request_.bytes_[request_.size_++] = b;
    }
    return *this;
  }
  FsRequestBuilder& bytes(std::span<const std::uint8_t> bs) {
    for (std::uint8_t b : bs) byte(b);
    return *this;
  }
  FsRequestBuilder& text(std::string_view t) {
    for (char c : t) byte(static_cast<std::uint8_t>(c));
    return *this;
  }
  // Everything so far is the head group; what follows is the body.
  FsRequestBuilder& end_head() {
    request_.head_size_ = request_.size_;
    head_done_ = true;
    return *this;
  }
  std::optional<FsRequest> build() const {
    if (!fits_) return std::nullopt;
    return request_;
  }

 private:
  FsRequest request_;
  std::size_t body_area_;
  bool head_done_ = false;
  bool fits_ = true;
};

namespace {

// The length byte of a text item: its characters and its terminating zeros.
// Texts too long for one byte are refused by the areas long before this.
std::uint8_t text_length(std::string_view text, std::size_t zeros) {
  return static_cast<std::uint8_t>((text.size() + zeros) & 0xFF);
}

constexpr std::size_t kNoArea = 96;

}  // namespace

std::string handset_path(std::string_view directory, std::string_view name) {
  std::string path(directory.substr(0, kDirectoryPrefixLimit));
  path += '/';
  path += name;
  return path;
}

FsRequest format_first_request() {
  return *FsRequestBuilder(kNoArea)
              .byte(kMarker)
              .end_head()
              .bytes(std::array<std::uint8_t, 5>{kValueItemWord, 0xAD, 0xDE, kOpFormatFirst, 0x00})
              .build();
}

FsRequest format_second_request() {
  constexpr std::string_view kRoot = "/ffs-root";
  return *FsRequestBuilder(kNoArea)
              .byte(kMarker)
              .end_head()
              .byte(kTextItem)
              .byte(text_length(kRoot, 1))
              .text(kRoot)
              .bytes(std::array<std::uint8_t, 6>{0x00, kValueItemWord, 0xAD, 0x2B, kOpFormatSecond,
                                                 0x00})
              .build();
}

std::optional<FsRequest> directory_request(std::string_view directory) {
  if (directory.size() + 7 > kDirectoryArea) return std::nullopt;
  return FsRequestBuilder(kDirectoryArea)
      .byte(kMarker)
      .byte(kTextItem)
      .end_head()
      .byte(text_length(directory, 1))
      .text(directory)
      .bytes(std::array<std::uint8_t, 6>{0x00, kValueItemShort, 0x04, 0x00, kOpDirectory, 0x00})
      .build();
}

std::optional<FsRequest> make_directory_request(std::string_view name) {
  if (name.size() + 5 > kMakeDirectoryArea) return std::nullopt;
  return FsRequestBuilder(kMakeDirectoryArea)
      .byte(kMarker)
      .byte(kTextItem)
      .end_head()
      .byte(text_length(name, 2))  // the leading "/" counts as well
      .text("/")
      .text(name)
      .bytes(std::array<std::uint8_t, 3>{0x00, kOpMakeDirectory, 0x00})
      .build();
}

std::optional<FsRequest> remove_request(std::string_view path) {
  if (path.size() + 4 > kRemoveArea) return std::nullopt;
  return FsRequestBuilder(kRemoveArea)
      .byte(kMarker)
      .byte(kTextItem)
      .end_head()
      .byte(text_length(path, 1))
      .text(path)
      .bytes(std::array<std::uint8_t, 3>{0x00, kOpRemove, 0x00})
      .build();
}

std::optional<FsRequest> open_request(std::string_view path) {
  if (path.size() + 3 > kOpenArea) return std::nullopt;
  return FsRequestBuilder(kOpenArea)
      .byte(kMarker)
      .byte(kTextItem)
      .end_head()
      .byte(text_length(path, 1))
      .text(path)
      .bytes(std::array<std::uint8_t, 2>{0x00, 0x00})
      .build();
}

std::optional<FsRequest> file_query_request(std::string_view path) {
  if (path.size() + 7 > kFileQueryArea) return std::nullopt;
  return FsRequestBuilder(kFileQueryArea)
      .byte(kMarker)
      .byte(kTextItem)
      .byte(text_length(path, 2))  // this text ends with two zero bytes
      .end_head()
      .text(path)
      .bytes(
          std::array<std::uint8_t, 7>{0x00, 0x00, kValueItemShort, 0x14, 0x00, kOpFileQuery, 0x00})
      .build();
}

std::optional<FsRequest> read_setup_request(std::string_view path, std::uint8_t reference_low,
                                            std::uint8_t reference_high) {
  if (path.size() + 6 > kFileQueryArea) return std::nullopt;
  return FsRequestBuilder(kFileQueryArea)
      .byte(kMarker)
      .byte(kTextItem)
      .byte(text_length(path, 1))
      .end_head()
      .text(path)
      .bytes(std::array<std::uint8_t, 6>{0x00, kValueItemShort, reference_low, reference_high,
                                         kOpReadSetup, 0x00})
      .build();
}

std::optional<FsRequest> write_request(std::span<const std::uint8_t> chunk) {
  if (chunk.size() > kWriteChunk) return std::nullopt;
  return FsRequestBuilder(kNoArea)
      .bytes(std::array<std::uint8_t, 3>{kOpWrite, static_cast<std::uint8_t>(chunk.size()), 0x00})
      .end_head()
      .bytes(chunk)
      .byte(0x00)
      .build();
}

FsRequest close_request() {
  return *FsRequestBuilder(kNoArea)
              .bytes(std::array<std::uint8_t, 2>{kOpClose, 0x00})
              .end_head()
              .build();
}

FsRequest block_read_request(std::uint8_t count) {
  return *FsRequestBuilder(kNoArea)
              .bytes(std::array<std::uint8_t, 3>{kOpBlockRead, count, 0x00})
              .end_head()
              .byte(0x00)
              .build();
}

}  // namespace fs
