// Statuses the file commands make of their own when they refuse a line
// before sending anything (or fail on the PC side), and the log line that says why.
#pragma once

#include <string>

#include "link/link.h"
#include "platform/file_claims.h"

namespace fs {

// A PC file that cannot be opened (the operator gets a message box).
constexpr int kStatusMissingPcFile = 50;
// A directory, name or handset path that does not fit its request.
constexpr int kStatusTextTooLong = 40;
// The size of the PC file cannot be read.
constexpr int kStatusSizeUnknown = 51;
// The PC file is larger than the download buffer (3000 bytes).
constexpr int kStatusPcFileTooLarge = 52;
// The PC file name is too long to take the per-port suffix.
constexpr int kStatusNameTooLongForSuffix = 53;
// The PC file delivered fewer bytes than its size promised.
constexpr int kStatusShortRead = 54;
// A read-back could not create or write its PC file.
constexpr int kStatusPcFileNotWritten = 55;
// The line lacks a handset file name or a PC file name.
constexpr int kStatusMissingName = 56;
// An IMEI file to be written to the handset does not hold exactly 8 bytes.
constexpr int kStatusImeiFileSize = 57;
// The PC file belongs to another station's run (it read it back from its
// handset): taking it would mix up two handsets' files.
constexpr int kStatusPcFileHeldElsewhere = 58;
// The run journal, which keeps the IMEI across a crash or power cut, cannot
// be written: no format may follow.
constexpr int kStatusJournalNotWritten = 59;
// A handset without an IMEI file while an IMEI is pending on this port, and
// nobody said whether this is that handset: the run stops before any format.
constexpr int kStatusPendingImeiUnanswered = 61;
// The run journal has a damaged line or cannot be read: a pending IMEI may be
// hidden in it, so no IMEI read-back or format goes on until a line engineer
// has resolved it ("ffsload pending").
constexpr int kStatusJournalNeedsEngineer = 62;
// IMEIs are pending on this port and this run formats without having read
// the handset's IMEI: nobody knows whether this is one of their handsets.
constexpr int kStatusPendingImeiUnchecked = 63;

// Refuses with 58 when another run (of this process or another) holds pc_name,
// not one of `claims`; 0 when free.
int refuse_if_held_elsewhere(wire::Link& link, const platform::FileClaims& claims,
                             const std::string& line, const std::string& pc_name);

// The size of a handset's IMEI file.
constexpr int kImeiFileSize = 8;

// Appends "<line>  => <status> (0): <reason>" to the run log (no attempt was
// made) and returns the status.
int refuse(wire::Link& link, const std::string& line, int status, const std::string& reason);

}  // namespace fs
