// The pending IMEIs of a station folder as a line engineer and the command
// line see them: the --pending-imei option's answers, the list that
// "ffsload pending" prints, and what an engineer may do about an entry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "run/imei_journal.h"
#include "station/run_journal.h"

namespace run {

// "restore" (the only IMEI that may be this handset's), "restore=HEX" (the
// one named, of several), "keep-aside" (the only one).
struct PendingOption {
  enum class Kind { kRestore, kKeepAside } kind = Kind::kRestore;
  std::optional<std::vector<std::uint8_t>> imei;  // restore=HEX
};
std::optional<PendingOption> parse_pending_option(const std::string& text, std::string* error);

// The option as the answer to each question: a bare answer holds only when
// one IMEI may be this handset's, since with several it would pick one
// blindly; restore=HEX says Yes to HEX and "not this one" to the others.
PendingImeiAnswer answer_from_option(const PendingOption& option);

// One port's journal as it stands on the disk (read without taking it).
struct PortJournal {
  int port = 0;
  std::string path;
  bool old_place = false;                       // the port's folder, where an older ffsload kept it
  std::string error;                            // why it cannot be read ("" when it can)
  std::vector<station::JournalRun> pending;     // formatted away, not yet back
  std::vector<station::JournalRun> kept_aside;  // for good
  std::vector<std::string> damage;              // what is wrong with each damaged line
  std::vector<std::string> damaged_lines;       // the lines as they are
};

// Every journal of the station folder (ports 1 to 8, in both places) that
// exists.
std::vector<PortJournal> read_port_journals(const std::string& station);

// The table "ffsload pending" prints: one line per pending, kept-aside or
// damaged entry, by port; a line saying there are none when so.
std::string format_port_journals(const std::vector<PortJournal>& journals);

// Whether `imei` is pending in the station folder, on any port.
bool imei_pending_in_station(const std::string& station, const std::vector<std::uint8_t>& imei);

// What an engineer did, and whether it was done.
struct EngineerAction {
  bool done = false;
  bool usage = false;  // nothing to act on: a HEX that is not pending, no damage
  std::string message;
};
// Keeps the pending IMEI `imei` of `port` aside for good, with `note` (who)
// in the journal and its run's record (kept where `records_option` says).
EngineerAction keep_aside_pending(const std::string& station, int port,
                                  const std::vector<std::uint8_t>& imei, const std::string& note,
                                  const std::string& records_option);
// Takes back a keep-aside: the IMEI `imei` kept aside on `port` is pending
// again, with `note` (who, when, why) in the journal and the record.
EngineerAction restore_kept_aside(const std::string& station, int port,
                                  const std::vector<std::uint8_t>& imei, const std::string& note,
                                  const std::string& records_option);
// Moves the damaged lines of the port's journal to "<journal>.damaged" and
// notes that an engineer read them. A run that never ended stays pending
// when a damaged line may have been its format or IMEI line; the message
// names each, and its record says so.
EngineerAction resolve_damaged_lines(const std::string& station, int port, const std::string& note,
                                     const std::string& records_option);

}  // namespace run
