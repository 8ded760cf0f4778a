// The station's answers to the requests an MES sends it directly, and what
// the station says of itself in them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cfx/envelope.h"
#include "cfx/station_lock.h"

namespace cfx {

// What the station says of itself in EndpointConnected and its answers.
struct EndpointFacts {
  std::string handle;
  std::string request_uri;       // "amqp://ADDR:PORT" of cfx-listen, "" when it listens on none
  std::string software_version;  // "0.9.0"
  std::string host_name;
  int lanes = 1;
};

// The topics and messages this station publishes, as GetEndpointInformation
// lists them.
nlohmann::ordered_json supported_topics();

// A request as it came: its envelope's parts, nullopt with *why when the
// bytes are not a CFX envelope.
struct Request {
  std::string message_name;
  std::string source;
  std::string target;  // "" when null or absent
  std::string request_id;
  std::string body_type;  // the body's "$type", "" when it has none
  nlohmann::json body;
};
std::optional<Request> parse_request(const std::string& json, std::string* why);

// What answering a request asks of the station beyond a reply.
enum class RequestAction { kNone, kLock, kUnlock };
RequestAction action_for(const Request& request);

// Who may ask this station, and its lock as it stands.
struct Admission {
  std::string station_handle;
  std::vector<std::string> mes_handles;  // cfx-mes-handles; empty: any requester
  std::optional<StationLock> lock;
};

// Why the station refuses `request`, "" when it answers it: a Source not in
// cfx-mes-handles (when set), a Target that is another endpoint, a body
// whose "$type" is not the message named, a lock or unlock without a Source,
// and a lock changed or lifted by another handle than the one that set it (a
// lock whose setter is unknown, a damaged file, any admitted requester may
// lift). A missing Target or "$type" is taken as this station's and the
// named message's.
std::string refusal_of(const Request& request, const Admission& admission);

// The reply to a refused request: its response (NotSupportedResponse for a
// request the station does not answer) saying Failed with why, and nothing
// else of the station.
Envelope refused_answer(const Request& request, const EndpointFacts& facts, const std::string& why,
                        std::int64_t now_ms);

// The reply to `request`: AreYouThere, GetEndpointInformation, Lock and
// Unlock are answered; anything else gets NotSupportedResponse. `failure`,
// when not empty, is why the lock or unlock could not be done: the reply
// then says Failed with it.
Envelope answer_request(const Request& request, const EndpointFacts& facts,
                        const std::string& failure, std::int64_t now_ms);

// The MES's reason and requestor of a LockStationRequest, for the lock file.
std::string lock_reason(const Request& request);
std::string lock_requestor(const Request& request);

}  // namespace cfx
