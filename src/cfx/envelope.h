// One IPC-CFX message as it travels: the envelope around a message body, in
// the JSON a .NET receiver of the standard's SDK reads (PascalCase names in
// their declared order, "$type" first in the body, enums as strings, nulls
// written out), and the parts every message needs: its GUID, its time.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace cfx {

// The standard's version that the messages follow.
constexpr const char* kCfxVersion = "2.1";

struct Envelope {
  std::string message_name;  // "CFX.Production.WorkStarted"
  std::string unique_id;     // lower-case hyphenated GUID, the same on every resend
  std::string time_stamp;    // cfx_time()
  std::string source;        // the sender's handle
  std::optional<std::string> target, request_id;
  nlohmann::ordered_json body;  // "$type" first
};

// The envelope as compact JSON in UTF-8. Every text in it that is not UTF-8
// is read as the records read it (text/station_text: Latin-1, NUL as
// U+FFFD), so no station text can make the JSON invalid.
std::string envelope_json(const Envelope& envelope);

// A body's first property: "CFX.Production.WorkStarted, CFX".
nlohmann::ordered_json body_of(const std::string& message_name);

// A fresh random GUID (version 4), lower-case and hyphenated.
std::string new_unique_id();

// A GUID made from `name` (version 5: SHA-1 of a namespace of this station's
// messages and the name), so that a message built again from the same facts
// (a run's messages rebuilt after a crash) carries the same UniqueID.
std::string name_based_id(std::string_view name);

// ISO 8601 with milliseconds and the local UTC offset:
// "2026-12-08T17:06:05.123+01:00".
std::string cfx_time(std::int64_t utc_ms);

// "CFX.Production" for "CFX.Production.WorkStarted", "CFX" for "CFX.Heartbeat".
std::string topic_of(const std::string& message_name);

// A duration as .NET writes a TimeSpan: "hh:mm:ss", and "d.hh:mm:ss" from a
// day on ("1.06:00:00"), which is what its readers parse.
std::string cfx_duration(std::int64_t ms);

}  // namespace cfx
