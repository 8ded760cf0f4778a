// The station's durable queue of IPC-CFX messages: a SQLite file
// "cfx-queue.sqlite" in the station folder. A run adds its messages, flushed
// to disk before it goes on, and never waits on the network; the sender
// (ffsload-cfx) hands them to the broker oldest first and removes each only
// once the broker accepted it. A message is queued once however often it is
// added (its UniqueID), so one built again after a crash is not sent twice.
// A message the broker refused is set aside with the reason, counted and
// kept, never holding back the ones after it.
//
// One Queue is used by one thread; several processes (the ports of a
// station, the sender) share the file, each waiting up to the busy timeout
// for another's write.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cfx/envelope.h"
#include "sqlite/connection.h"

namespace cfx {

constexpr const char* kQueueFile = "cfx-queue.sqlite";
constexpr int kQueueBusyTimeoutMs = 5000;
// The one sender of a station folder holds this lock while it runs.
constexpr const char* kSenderLockFile = "cfx-sender.lock";

// The queue's files (and the sender's lock) in the station folder that this
// user cannot write, each as "NAME (owned by root, not writable by op)": a
// run could not queue its messages, a sender could not take the folder.
// Files not there yet are no concern: a writer makes them.
std::vector<std::string> queue_files_not_ours_to_write(const std::string& station_folder);

struct QueuedMessage {
  std::int64_t seq = 0;  // the order of sending
  std::string unique_id, message_name;
  std::string subject;     // "<handle>.<MessageName>"
  std::string target;      // "" for a message without one
  std::string request_id;  // ""
  std::string json;        // the envelope
  std::int64_t queued_at_ms = 0;
};

struct QueueStatus {
  std::int64_t waiting = 0, set_aside = 0;
  std::optional<std::int64_t> oldest_waiting_ms, last_delivered_ms;  // UTC ms
};

struct SetAsideMessage {
  std::int64_t seq = 0;
  std::string unique_id, message_name, reason;
  std::int64_t set_aside_at_ms = 0;
};

// A small fact the station keeps beside its messages and changes in the same
// transaction (the last operator of a port, a port's state, an active
// fault); nullopt as the value removes it.
struct Fact {
  std::string key;
  std::optional<std::string> value;
};

class Queue {
 public:
  // Opens for writing, creating the file when there is none; null with *error
  // ("cfx-queue.sqlite in FOLDER: REASON") when it cannot.
  static std::unique_ptr<Queue> open(const std::string& station_folder, std::string* error);
  // Opens an existing queue for reading only (report, board, --status); null
  // with *error empty when the station has no queue, never creating one.
  static std::unique_ptr<Queue> open_for_reading(const std::string& station_folder,
                                                 std::string* error);
  ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // Adds the messages in their order, and sets the facts, in one
  // transaction on disk when this returns true. A message whose UniqueID the
  // queue already has (waiting, set aside or delivered in the last days) is
  // not added again.
  bool add(std::span<const Envelope> messages, std::string* error);
  bool add(std::span<const Envelope> messages, const std::vector<Fact>& facts, std::string* error);

  // Up to `limit` messages waiting, oldest first (not the ones set aside).
  std::vector<QueuedMessage> waiting(int limit);
  // The broker accepted message `seq`: it no longer waits.
  bool remove(std::int64_t seq, std::int64_t delivered_at_ms);
  // The same for several, in one transaction: a sender removes what the
  // broker accepted in a batch, as one write to the disk.
  bool remove(std::span<const std::int64_t> seqs, std::int64_t delivered_at_ms);
  // The sender's housekeeping between deliveries, each call a few short
  // writes so that a run adding its messages never waits long: the
  // UniqueIDs delivered more than kDeliveredKeptMs before now_ms forgotten,
  // and the pages that deliveries freed given back to the file system, so
  // that the file stays the size of what waits plus a week of UniqueIDs.
  // A file from before this housekeeping is compacted once, when nothing
  // waits. False (last_error()) when a write failed; nothing is lost then.
  bool tidy(std::int64_t now_ms);
  // The broker refused message `seq` for what it holds.
  bool set_aside(std::int64_t seq, const std::string& reason);
  std::vector<SetAsideMessage> set_aside_messages(int limit);
  QueueStatus status();

  std::optional<std::string> fact(const std::string& key);
  // Every fact whose key starts with `prefix`, by key.
  std::vector<std::pair<std::string, std::string>> facts_starting(const std::string& prefix);

  // False when the file could be opened for reading only (another user's,
  // a file system mounted read-only): nothing can be added or removed.
  bool writable() const;

  // The last error of this connection, for a caller that got false or nothing.
  const std::string& last_error() const { return error_; }
  const std::string& path() const { return path_; }

 private:
  Queue(sqlite::Database db, std::string path) : db_(std::move(db)), path_(std::move(path)) {}
  bool execute(const char* sql);
  bool fail(const std::string& what, const sqlite::Error& error);
  bool said(const sqlite::Error& error);
  // Runs `steps(doing)` in one write transaction, committed when they
  // return. A step that throws leaves the error as `doing` (which the steps
  // set) names it; a transaction that cannot begin or commit, as SQLite
  // words it.
  template <typename Steps>
  bool write(Steps&& steps);
  bool compact_once();

  sqlite::Database db_;
  std::string path_;
  std::string error_;
};

// How long the UniqueIDs of delivered messages are kept, so that a message
// built again after a crash is recognised: days beyond any restart.
constexpr std::int64_t kDeliveredKeptMs = 7LL * 24 * 3600 * 1000;

}  // namespace cfx
