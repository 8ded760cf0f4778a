// Digests of bytes, through Nettle (Debian's libnettle, a few hundred KB that
// every Debian system already has for GnuTLS): a script's revision is the
// SHA-256 of its bytes, a rebuilt message's GUID comes from SHA-1 (RFC 4122
// version 5).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace cfx {

// Lower-case hex of SHA-256 of `bytes`.
std::string sha256_hex(std::string_view bytes);

// SHA-1 of `bytes`.
std::array<std::uint8_t, 20> sha1(std::string_view bytes);

}  // namespace cfx
