#include "cfx/digest.h"

#include <nettle/sha1.h>
#include <nettle/sha2.h>

namespace cfx {

std::string sha256_hex(std::string_view bytes) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&ctx, sizeof digest, digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * sizeof digest);
  for (const std::uint8_t b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

std::array<std::uint8_t, 20> sha1(std::string_view bytes) {
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
  std::array<std::uint8_t, 20> digest{};
  sha1_digest(&ctx, digest.size(), digest.data());
  return digest;
}

}  // namespace cfx
