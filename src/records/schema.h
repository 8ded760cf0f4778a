// The layout of the records: the table "runs", its indexes and the schema
// version that a newer program upgrades from, step by step.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/run_record.h"

namespace records {

// The version this program writes. A store with a higher one was written by
// a newer program and is not touched.
constexpr int kSchemaVersion = 3;

enum class Dialect { kSqlite, kPostgres };

// The statements that take a store from version `from` to from + 1.
std::vector<std::string> upgrade_step(Dialect dialect, int from);

// Takes a store whose schema is at `version` to kSchemaVersion within the
// caller's transaction: every step's statements, then the new version number,
// each through `execute`. A store of a newer version is refused (StoreError
// naming `where`) before anything is written.
void upgrade_schema(Dialect dialect, int version, const std::string& where,
                    const std::function<void(const std::string&)>& execute);

// The table that holds the version: one row, one column "version".
constexpr const char* kVersionTable = "ffsload_schema";

// The columns a record fills, in the order of insert_statement's parameters
// and of record_values.
extern const char* const kRecordColumns;

// The insert of one record; a uid already stored is replaced when the new
// copy has a higher revision, and skipped otherwise.
std::string insert_statement(Dialect dialect);

// A record's values as text, in kRecordColumns order (NULL as nullopt), and back.
std::vector<std::optional<std::string>> record_values(const RunRecord& record);
RunRecord record_from_values(const std::vector<std::optional<std::string>>& values);

}  // namespace records
