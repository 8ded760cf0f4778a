// One event of the audit trail: who did what, when, why, what it was before
// and after; and the chain that makes an edit, a deletion, an insertion or
// a reordering show: each event's hash covers its fields and the hash of the
// event before it on the same station.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/run_record.h"
#include "records/store.h"

namespace people {

// The kinds, as stored.
namespace kind {
constexpr const char* kLogin = "login";
constexpr const char* kLogout = "logout";
constexpr const char* kFailedLogin = "failed login";
constexpr const char* kLock = "lock";
constexpr const char* kUnlock = "unlock";
constexpr const char* kPeople = "people";
constexpr const char* kPrivileged = "privileged action";
constexpr const char* kRunStart = "run start";
constexpr const char* kRunEnd = "run end";
}  // namespace kind

struct AuditEvent {
  std::int64_t id = 0;  // the table's, once stored; not part of the chain
  std::string station;
  std::int64_t number = 0;  // 1, 2, ... on each station
  std::string happened_at;  // UTC, "2026-12-08T14:02:11.117Z"
  std::string kind;
  std::optional<std::string> actor;    // the person who acted (or claimed to)
  std::optional<std::string> subject;  // the person or thing acted on
  std::optional<std::string> what;
  std::optional<std::string> why;
  std::optional<std::string> before_state;
  std::optional<std::string> after_state;
  std::optional<std::string> outcome;  // "accepted", "refused: ...", "green", ...
  std::optional<std::string> run_uid;
  std::optional<std::string> record_digest;
  std::string previous_hash;
  std::string hash;
};

// The previous hash of a station's first event.
extern const std::string kFirstPreviousHash;

// The columns of audit_events in the order event_from_row reads them.
extern const char* const kEventColumns;
AuditEvent event_from_row(const records::Row& row);
// The values of every column but id, in kEventColumns order after id.
std::vector<std::optional<std::string>> event_values(const AuditEvent& event);

// SHA-256 over the event's fields (all but id and hash), each written with
// its length so that no two events read the same, in lower-case hex.
std::string event_hash(const AuditEvent& event);

// SHA-256 of bytes, lower-case hex.
std::string sha256_hex(std::string_view bytes);

// The digest of a run's record as its columns hold it (every value with its
// length, NULL told apart from empty): what the run's end event carries, so
// that a record changed since can be told.
std::string record_digest(const records::RunRecord& record);

// "audit event 1234 (station line4-pc2, number 17, 2026-12-08T14:02:11.117Z,
// login by anna)"
std::string event_name(const AuditEvent& event);

}  // namespace people
