// One run as the records keep it: one row of the table "runs".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace records {

struct RunRecord {
  // Unique over every station, so that a record sent twice (a station that
  // forwards what it kept while its server was away) is stored once.
  std::string uid;
  std::int64_t started_at_ms = 0;  // UTC, milliseconds since 1970
  std::int64_t ended_at_ms = 0;
  std::string station;   // host name
  int port = 0;          // 1..8
  std::string device;    // the device path of the port
  std::string customer;  // "12.3" as chosen, empty for a script given by name
  std::string script;
  std::string ma_no;
  std::optional<std::string> imei;         // lower-case hex of the bytes read back
  // "green", "red" or "no run"; "running" from the run's start until its end,
  // "interrupted" when a later run found it never ended (a power cut, kill -9).
  std::string outcome;
  std::optional<int> failed_line;          // red runs: the line number that stopped the run
  std::optional<std::string> failed_text;  // and its text
  std::optional<int> failed_status;
  std::string log;  // run-log lines joined by "\n"
  std::string tool_version;
  // What became of an IMEI that the run formatted away: "pending", "written
  // back", "restored", "kept aside"; "not at risk" when no format followed
  // the backup; nullopt without an IMEI.
  std::optional<std::string> imei_fate;
  // A record is kept again as its run goes on; the store keeps the highest
  // revision of each uid, whatever order the copies arrive in.
  std::int64_t revision = 0;
  // Who and what, where the station asks for them (all nullopt otherwise):
  // the unit's serial as scanned or typed, the operator's id (a name on the
  // record, not a login), the unit's run count on this station's records (1
  // for its first), and the fixture: the port's device as "comports" names it.
  std::optional<std::string> unit_serial;
  std::optional<std::string> operator_id;  // column "operator"
  std::optional<int> attempt;
  std::optional<std::string> fixture;
};

// "2024-05-01T12:34:56.789Z"
std::string iso8601_utc(std::int64_t ms);

// The reverse of iso8601_utc; nullopt for any other text.
std::optional<std::int64_t> parse_iso8601_utc(const std::string& text);

// Lower-case hex, two digits a byte, whatever the bytes are.
std::string hex_bytes(const std::string& bytes);

// A fresh uid: host, process, time and 64 random bits.
std::string make_uid(const std::string& station, std::int64_t started_at_ms);

// The record with every text field read as the records keep station text
// (text::utf8_text: Latin-1 from older station PCs becomes UTF-8).
RunRecord with_utf8_text(RunRecord record);

}  // namespace records
