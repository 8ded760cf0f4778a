// A write transaction: BEGIN IMMEDIATE, so that it waits for another writer
// at its start (where the busy wait applies) instead of failing at its first
// write; committed by commit(), rolled back on every other road out.
#pragma once

#include <SQLiteCpp/Transaction.h>

#include "sqlite/connection.h"

namespace sqlite {

class WriteTransaction : public SQLite::Transaction {
 public:
  explicit WriteTransaction(Database& db)
      : SQLite::Transaction(db, SQLite::TransactionBehavior::IMMEDIATE) {}
};

}  // namespace sqlite
