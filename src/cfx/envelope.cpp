#include "cfx/envelope.h"

#include <cstdio>
#include <random>

#include "cfx/digest.h"
#include "platform/calendar.h"
#include "text/station_text.h"

namespace cfx {

namespace {

// Every text as the records hold it: UTF-8, no NUL. Keys too: a body's keys
// are this program's own, but a characteristic's name need not be.
nlohmann::ordered_json as_utf8(const nlohmann::ordered_json& value) {
  if (value.is_string()) return text::utf8_text(value.get_ref<const std::string&>());
  if (value.is_array()) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& item : value) out.push_back(as_utf8(item));
    return out;
  }
  if (value.is_object()) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    for (auto it = value.begin(); it != value.end(); ++it) {
      out[text::utf8_text(it.key())] = as_utf8(it.value());
    }
    return out;
  }
  return value;
}

nlohmann::ordered_json text_or_null(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  return text::utf8_text(*text);
}

std::string guid_text(const std::uint8_t (&b)[16]) {
  char text[37];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

// The namespace of this station program's name-based message GUIDs.
constexpr std::uint8_t kNamespace[16] = {0xcb, 0x26, 0x7b, 0xf6, 0xd7, 0x7c, 0x4c, 0x7d,
                                         0xa3, 0x97, 0xc2, 0x57, 0x42, 0x51, 0xe6, 0xe8};

}  // namespace

std::string envelope_json(const Envelope& e) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  j["MessageName"] = e.message_name;
  j["Version"] = kCfxVersion;
  j["TimeStamp"] = e.time_stamp;
  j["UniqueID"] = e.unique_id;
  j["Source"] = text::utf8_text(e.source);
  j["Target"] = text_or_null(e.target);
  j["RequestID"] = text_or_null(e.request_id);
  j["MessageBody"] = e.body.is_null() ? nlohmann::ordered_json::object() : as_utf8(e.body);
  // Every text is UTF-8 by now; replacing is only a last guard, never a throw.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

nlohmann::ordered_json body_of(const std::string& message_name) {
  nlohmann::ordered_json body = nlohmann::ordered_json::object();
  body["$type"] = message_name + ", CFX";
  return body;
}

std::string new_unique_id() {
  static thread_local std::random_device entropy;
  std::uint8_t b[16];
  for (int i = 0; i < 16; i += 4) {
    const std::uint32_t r = entropy();
    for (int k = 0; k < 4; ++k) b[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
  return guid_text(b);
}

std::string name_based_id(std::string_view name) {
  std::string input(reinterpret_cast<const char*>(kNamespace), sizeof kNamespace);
  input.append(name);
  const auto digest = sha1(input);
  std::uint8_t b[16];
  for (int i = 0; i < 16; ++i) b[i] = digest[i];
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x50);
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
  return guid_text(b);
}

std::string cfx_time(std::int64_t utc_ms) {
  std::int64_t seconds = utc_ms / 1000;
  int ms = static_cast<int>(utc_ms % 1000);
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  long offset = 0;
  const std::tm t = platform::local_calendar(static_cast<std::time_t>(seconds), &offset);
  const char sign = offset < 0 ? '-' : '+';
  const long magnitude = offset < 0 ? -offset : offset;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms, sign,
                magnitude / 3600, (magnitude / 60) % 60);
  return text;
}

std::string topic_of(const std::string& message_name) {
  const auto last = message_name.rfind('.');
  if (last == std::string::npos) return message_name;
  return message_name.substr(0, last);
}

std::string cfx_duration(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const std::int64_t total = ms / 1000;
  const std::int64_t days = total / 86400;
  char text[40];
  if (days > 0) {
    std::snprintf(text, sizeof text, "%lld.%02lld:%02lld:%02lld", static_cast<long long>(days),
                  static_cast<long long>(total / 3600 % 24),
                  static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
  } else {
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(total / 3600),
                  static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
  }
  return text;
}

}  // namespace cfx
