// What one run has done to the handset's identity: whether its IMEI was
// backed up to a PC file, whether the handset was formatted after that, and
// whether the IMEI went back. A front end that is asked to stop a run uses
// this to finish the write-back first, and to say which PC file holds the
// IMEI when a handset is left without it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fs {

// Forgets the previous run; the runner calls it when a run starts.
void imei_guard_reset();

// A read-back saved the handset's 8-byte IMEI file into pc_file.
void imei_guard_note_backup(const std::string& pc_file, std::span<const std::uint8_t> bytes);
// The handset's flash file system was formatted.
void imei_guard_note_format();
// An IMEI file was written back to the handset.
void imei_guard_note_restore();

// True from a format that follows a backup until the write-back: the handset
// then holds no IMEI and the only copy is the backup's PC file.
bool imei_at_risk();
// The PC file of this run's IMEI backup; empty when none was taken.
const std::string& imei_backup_file();
// The same, as a signal handler may read it (imei_at_risk() may be read there too).
const char* imei_backup_file_for_signal();
// The IMEI bytes this run read back, if it read one.
const std::optional<std::vector<std::uint8_t>>& imei_read_back();

// Tells the operator something beside the run log (whose lines stay as they
// are): stderr for the command line, the run panel for the GUI.
void set_operator_notice_sink(void (*sink)(const std::string& text));
void operator_notice(const std::string& text);

}  // namespace fs
