#include "records/schema.h"

#include "records/store.h"

#include <cstdlib>

namespace records {

namespace {

// Version 1: the table and the indexes of the report.
std::vector<std::string> version_1(Dialect dialect) {
  const std::string id = dialect == Dialect::kSqlite
                             ? "id INTEGER PRIMARY KEY"
                             : "id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
  return {
      "CREATE TABLE runs (" + id +
          ",\n"
          "  uid TEXT NOT NULL UNIQUE,\n"
          "  started_at TEXT NOT NULL,\n"
          "  ended_at TEXT NOT NULL,\n"
          "  station TEXT NOT NULL,\n"
          "  port INTEGER NOT NULL,\n"
          "  device TEXT NOT NULL,\n"
          "  customer TEXT NOT NULL,\n"
          "  script TEXT NOT NULL,\n"
          "  ma_no TEXT NOT NULL,\n"
          "  imei TEXT,\n"
          "  outcome TEXT NOT NULL CHECK (outcome IN ('green', 'red', 'no run')),\n"
          "  failed_line INTEGER,\n"
          "  failed_text TEXT,\n"
          "  failed_status INTEGER,\n"
          "  log TEXT NOT NULL,\n"
          "  tool_version TEXT NOT NULL)",
      // The report reads these three indexes alone, never the table with its
      // logs: the day range with what it counts, each handset's runs in
      // order, and the red runs' failing lines.
      "CREATE INDEX runs_by_start ON runs (started_at, customer, outcome, imei)",
      "CREATE INDEX runs_by_handset ON runs (imei, started_at, id)",
      "CREATE INDEX runs_red_by_start ON runs (started_at, customer, failed_line, failed_text) "
      "WHERE outcome = 'red'",
      std::string("CREATE TABLE ") + kVersionTable + " (version INTEGER NOT NULL)",
      std::string("INSERT INTO ") + kVersionTable + " (version) VALUES (0)",
  };
}

const char* const kOutcomesV2 = "('green', 'red', 'no run', 'running', 'interrupted')";

std::vector<std::string> report_indexes() {
  return {
      "CREATE INDEX runs_by_start ON runs (started_at, customer, outcome, imei)",
      "CREATE INDEX runs_by_handset ON runs (imei, started_at, id)",
      "CREATE INDEX runs_red_by_start ON runs (started_at, customer, failed_line, failed_text) "
      "WHERE outcome = 'red'",
  };
}

// Version 2: a record is kept from its run's start ("running") and replaced
// as the run goes on (revision); runs that never ended are "interrupted", and
// the fate of an IMEI they formatted away is kept.
std::vector<std::string> version_2(Dialect dialect) {
  if (dialect == Dialect::kPostgres) {
    return {
        "ALTER TABLE runs DROP CONSTRAINT IF EXISTS runs_outcome_check",
        std::string("ALTER TABLE runs ADD CONSTRAINT runs_outcome_check CHECK (outcome IN ") +
            kOutcomesV2 + ")",
        "ALTER TABLE runs ADD COLUMN imei_fate TEXT",
        "ALTER TABLE runs ADD COLUMN revision BIGINT NOT NULL DEFAULT 0",
        "CREATE INDEX runs_interrupted ON runs (started_at) WHERE outcome = 'interrupted'",
    };
  }
  // SQLite cannot change a CHECK constraint: the table is built anew.
  const std::string v1_columns =
      "id, uid, started_at, ended_at, station, port, device, customer, script, ma_no, imei, "
      "outcome, failed_line, failed_text, failed_status, log, tool_version";
  std::vector<std::string> steps = {
      "CREATE TABLE runs_v2 (id INTEGER PRIMARY KEY,\n"
      "  uid TEXT NOT NULL UNIQUE,\n"
      "  started_at TEXT NOT NULL,\n"
      "  ended_at TEXT NOT NULL,\n"
      "  station TEXT NOT NULL,\n"
      "  port INTEGER NOT NULL,\n"
      "  device TEXT NOT NULL,\n"
      "  customer TEXT NOT NULL,\n"
      "  script TEXT NOT NULL,\n"
      "  ma_no TEXT NOT NULL,\n"
      "  imei TEXT,\n"
      "  outcome TEXT NOT NULL CHECK (outcome IN " +
          std::string(kOutcomesV2) +
          "),\n"
          "  failed_line INTEGER,\n"
          "  failed_text TEXT,\n"
          "  failed_status INTEGER,\n"
          "  log TEXT NOT NULL,\n"
          "  tool_version TEXT NOT NULL,\n"
          "  imei_fate TEXT,\n"
          "  revision INTEGER NOT NULL DEFAULT 0)",
      "INSERT INTO runs_v2 (" + v1_columns + ") SELECT " + v1_columns + " FROM runs",
      "DROP TABLE runs",
      "ALTER TABLE runs_v2 RENAME TO runs",
  };
  for (std::string& index : report_indexes()) steps.push_back(std::move(index));
  steps.push_back("CREATE INDEX runs_interrupted ON runs (started_at) WHERE outcome = 'interrupted'");
  return steps;
}

// Version 3: which unit, by whom, on which fixture, in which attempt. The
// indexes answer a run's two questions before it starts: this unit's runs on
// this station (its attempt), and this port's last runs (the fixture alarm);
// the serial leads, so that the report finds a unit's runs on every station.
std::vector<std::string> version_3(Dialect) {
  return {
      "ALTER TABLE runs ADD COLUMN unit_serial TEXT",
      "ALTER TABLE runs ADD COLUMN operator TEXT",
      "ALTER TABLE runs ADD COLUMN attempt INTEGER",
      "ALTER TABLE runs ADD COLUMN fixture TEXT",
      "CREATE INDEX runs_by_unit ON runs (unit_serial, station, started_at, id, outcome)",
      "CREATE INDEX runs_by_port ON runs (station, port, started_at)",
      // The report counts units from the indexes alone, as it counted
      // handsets: the day range with each run's unit, and each unit's runs in
      // order with their outcomes.
      "DROP INDEX runs_by_start",
      "CREATE INDEX runs_by_start ON runs (started_at, customer, outcome, imei, unit_serial)",
      "DROP INDEX runs_by_handset",
      "CREATE INDEX runs_by_handset ON runs (imei, started_at, id, outcome)",
  };
}

}  // namespace

std::vector<std::string> upgrade_step(Dialect dialect, int from) {
  // A later version adds its step here; a store is taken through every step
  // between its version and kSchemaVersion, each in the same transaction as
  // the version's new number.
  switch (from) {
    case 0:
      return version_1(dialect);
    case 1:
      return version_2(dialect);
    case 2:
      return version_3(dialect);
    default:
      return {};
  }
}

void upgrade_schema(Dialect dialect, int version, const std::string& where,
                    const std::function<void(const std::string&)>& execute) {
  if (version > kSchemaVersion) {
    throw StoreError(where + " has records schema " + std::to_string(version) +
                     ", newer than this ffsload knows (" + std::to_string(kSchemaVersion) +
                     "); nothing is written to it");
  }
  for (; version < kSchemaVersion; ++version) {
    for (const std::string& sql : upgrade_step(dialect, version)) execute(sql);
  }
  execute(std::string("UPDATE ") + kVersionTable +
          " SET version = " + std::to_string(kSchemaVersion));
}

const char* const kRecordColumns =
    "uid, started_at, ended_at, station, port, device, customer, script, ma_no, imei, outcome, "
    "failed_line, failed_text, failed_status, log, tool_version, imei_fate, revision, unit_serial, "
    "operator, attempt, fixture";

namespace {

constexpr int kRecordColumnCount = 22;

std::optional<std::string> number(const std::optional<int>& value) {
  if (!value) return std::nullopt;
  return std::to_string(*value);
}

std::optional<int> number(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return std::stoi(*text);
}

std::int64_t milliseconds(const std::optional<std::string>& text);

}  // namespace

std::string insert_statement(Dialect dialect) {
  std::string values;
  for (int n = 1; n <= kRecordColumnCount; ++n) {
    if (n > 1) values += ", ";
    values += dialect == Dialect::kSqlite ? '?' : '$';
    values += std::to_string(n);
  }
  std::string update;
  std::string columns = kRecordColumns;
  for (std::size_t start = 0; start < columns.size();) {
    std::size_t comma = columns.find(',', start);
    if (comma == std::string::npos) comma = columns.size();
    std::string column = columns.substr(start, comma - start);
    column.erase(0, column.find_first_not_of(' '));
    if (column == "uid") {
      start = comma + 1;
      continue;
    }
    // A later copy that does not know something (a run's log or failing
    // line, when the copy comes from the journal of a run that died) keeps
    // what the store knows.
    std::string value = "excluded." + column;
    if (column == "log") {
      value = "CASE WHEN excluded.log = '' THEN runs.log ELSE excluded.log END";
    } else if (column == "ended_at") {
      value = "CASE WHEN excluded.ended_at > runs.ended_at THEN excluded.ended_at ELSE "
              "runs.ended_at END";
    } else if (column == "imei" || column == "imei_fate" || column.starts_with("failed_") ||
               column == "unit_serial" || column == "operator" || column == "attempt" ||
               column == "fixture") {
      value = "COALESCE(excluded." + column + ", runs." + column + ")";
    }
    update += (update.empty() ? "" : ", ") + column + " = " + value;
    start = comma + 1;
  }
  return std::string("INSERT INTO runs (") + kRecordColumns + ") VALUES (" + values +
         ") ON CONFLICT (uid) DO UPDATE SET " + update + " WHERE excluded.revision > runs.revision";
}

std::vector<std::optional<std::string>> record_values(const RunRecord& r) {
  return {r.uid,
          iso8601_utc(r.started_at_ms),
          iso8601_utc(r.ended_at_ms),
          r.station,
          std::to_string(r.port),
          r.device,
          r.customer,
          r.script,
          r.ma_no,
          r.imei,
          r.outcome,
          number(r.failed_line),
          r.failed_text,
          number(r.failed_status),
          r.log,
          r.tool_version,
          r.imei_fate,
          std::to_string(r.revision),
          r.unit_serial,
          r.operator_id,
          number(r.attempt),
          r.fixture};
}

RunRecord record_from_values(const std::vector<std::optional<std::string>>& v) {
  RunRecord r;
  if (v.size() != kRecordColumnCount) return r;
  auto text = [&](int i) { return v[i].value_or(""); };
  r.uid = text(0);
  r.started_at_ms = milliseconds(v[1]);
  r.ended_at_ms = milliseconds(v[2]);
  r.station = text(3);
  r.port = number(v[4]).value_or(0);
  r.device = text(5);
  r.customer = text(6);
  r.script = text(7);
  r.ma_no = text(8);
  r.imei = v[9];
  r.outcome = text(10);
  r.failed_line = number(v[11]);
  r.failed_text = v[12];
  r.failed_status = number(v[13]);
  r.log = text(14);
  r.tool_version = text(15);
  r.imei_fate = v[16];
  r.revision = v[17] ? std::strtoll(v[17]->c_str(), nullptr, 10) : 0;
  r.unit_serial = v[18];
  r.operator_id = v[19];
  r.attempt = number(v[20]);
  r.fixture = v[21];
  return r;
}

namespace {

std::int64_t milliseconds(const std::optional<std::string>& text) {
  return text ? parse_iso8601_utc(*text).value_or(0) : 0;
}

}  // namespace

}  // namespace records
