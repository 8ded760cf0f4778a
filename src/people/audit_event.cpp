#include "people/audit_event.h"

#include <sodium.h>

#include <cstdio>
#include <stdexcept>

#include "records/schema.h"

namespace people {

const std::string kFirstPreviousHash(64, '0');

const char* const kEventColumns =
    "id, station, number, happened_at, kind, actor, subject, what, why, before_state, "
    "after_state, outcome, run_uid, record_digest, previous_hash, hash";

namespace {

// Written before the fields, so that another layout of the same fields one
// day hashes otherwise.
constexpr std::string_view kHashLayout = "ffsload audit event 1\n";

// libsodium picks its fastest code for this processor once, before any use.
const int kSodiumReady = sodium_init();

// A field as "LENGTH:BYTES", an absent one as "-\n".
void add_field(crypto_hash_sha256_state* state, const std::string* value) {
  char head[24];
  const int length =
      value ? std::snprintf(head, sizeof head, "%zu:", value->size()) : std::snprintf(head, sizeof head, "-\n");
  crypto_hash_sha256_update(state, reinterpret_cast<const unsigned char*>(head),
                            static_cast<unsigned long long>(length));
  if (value) {
    crypto_hash_sha256_update(state, reinterpret_cast<const unsigned char*>(value->data()),
                              value->size());
  }
}

void add_field(crypto_hash_sha256_state* state, const std::optional<std::string>& value) {
  add_field(state, value ? &*value : nullptr);
}

void add_field(crypto_hash_sha256_state* state, const std::string& value) {
  add_field(state, &value);
}

std::string hex_of(const unsigned char (&digest)[crypto_hash_sha256_BYTES]) {
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return std::string(hex, crypto_hash_sha256_BYTES * 2);
}

std::string value_or_empty(const std::optional<std::string>& value) {
  return value.value_or("");
}

std::int64_t number_of(const std::optional<std::string>& text) {
  if (!text) return 0;
  try {
    return std::stoll(*text);
  } catch (const std::exception&) {
    return 0;  // not a number: the chain's check says so
  }
}

}  // namespace

std::vector<std::optional<std::string>> event_values(const AuditEvent& e) {
  return {e.station,   std::to_string(e.number),
          e.happened_at, e.kind,
          e.actor,     e.subject,
          e.what,      e.why,
          e.before_state, e.after_state,
          e.outcome,   e.run_uid,
          e.record_digest, e.previous_hash,
          e.hash};
}

AuditEvent event_from_row(const records::Row& row) {
  if (row.size() < 16) throw std::runtime_error("an audit event row has too few columns");
  AuditEvent e;
  e.id = number_of(row[0]);
  e.station = value_or_empty(row[1]);
  e.number = number_of(row[2]);
  e.happened_at = value_or_empty(row[3]);
  e.kind = value_or_empty(row[4]);
  e.actor = row[5];
  e.subject = row[6];
  e.what = row[7];
  e.why = row[8];
  e.before_state = row[9];
  e.after_state = row[10];
  e.outcome = row[11];
  e.run_uid = row[12];
  e.record_digest = row[13];
  e.previous_hash = value_or_empty(row[14]);
  e.hash = value_or_empty(row[15]);
  return e;
}

std::string event_hash(const AuditEvent& event) {
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(kHashLayout.data()),
                            kHashLayout.size());
  // The fields of event_values but the hash, without copying them: a
  // check hashes a million events.
  const std::string number = std::to_string(event.number);
  const std::optional<std::string>* optional_fields[] = {
      &event.actor,   &event.subject,      &event.what,    &event.why,
      &event.before_state, &event.after_state, &event.outcome, &event.run_uid,
      &event.record_digest};
  add_field(&state, event.station);
  add_field(&state, number);
  add_field(&state, event.happened_at);
  add_field(&state, event.kind);
  for (const auto* field : optional_fields) add_field(&state, *field);
  add_field(&state, event.previous_hash);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  return hex_of(digest);
}

std::string sha256_hex(std::string_view bytes) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return hex_of(digest);
}

std::string record_digest(const records::RunRecord& record) {
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  for (const auto& value : records::record_values(record)) add_field(&state, value);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  return hex_of(digest);
}

std::string event_name(const AuditEvent& e) {
  std::string name = "audit event " + std::to_string(e.id) + " (station " + e.station +
                     ", number " + std::to_string(e.number) + ", " + e.happened_at + ", " + e.kind;
  if (e.actor) name += " by " + *e.actor;
  return name + ")";
}

}  // namespace people
