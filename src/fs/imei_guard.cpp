#include "fs/imei_guard.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/date_time.h"
#include "platform/text_format.h"

namespace fs {

namespace {

struct ImeiGuard {
  std::string backup_file;
  std::optional<std::vector<std::uint8_t>> read_back;
};

ImeiGuard g_guard;
// Read by a signal handler that ends the process at once: flags it can read
// whole, and the backup's name in a fixed buffer set before the format.
volatile std::sig_atomic_t g_formatted_after_backup = 0;
volatile std::sig_atomic_t g_restored = 0;
std::array<char, 256> g_backup_name{};

void notice_to_stderr(const platform::OperatorText& text) {
  std::fprintf(stderr, "ffsload: %s\n", text.english().c_str());
}

void (*g_notice_sink)(const platform::OperatorText&) = notice_to_stderr;
ImeiKeeper* g_keeper = nullptr;

}  // namespace

void imei_guard_reset() {
  g_formatted_after_backup = 0;
  g_restored = 0;
  g_guard = ImeiGuard{};
  g_backup_name[0] = '\0';
}

void imei_guard_note_backup(const std::string& pc_file, std::span<const std::uint8_t> bytes) {
  g_formatted_after_backup = 0;
  g_restored = 0;
  g_guard.backup_file = pc_file;
  g_guard.read_back.emplace(bytes.begin(), bytes.end());
  const std::size_t n = std::min(pc_file.size(), g_backup_name.size() - 1);
  std::memcpy(g_backup_name.data(), pc_file.data(), n);
  g_backup_name[n] = '\0';
}

void imei_guard_note_format() {
  if (!g_guard.backup_file.empty()) {
    g_restored = 0;
    g_formatted_after_backup = 1;
  }
}

void imei_guard_note_restore() {
  if (g_formatted_after_backup) g_restored = 1;
}

bool imei_at_risk() {
  return g_formatted_after_backup && !g_restored;
}

const char* imei_backup_file_for_signal() {
  return g_backup_name.data();
}

const std::string& imei_backup_file() {
  return g_guard.backup_file;
}

const std::optional<std::vector<std::uint8_t>>& imei_read_back() {
  return g_guard.read_back;
}

std::string describe_pending(const PendingImei& p) {
  std::string imei;
  for (std::uint8_t b : p.imei) imei += platform::strprintf("%02x", b);
  std::vector<std::string> args = {imei, platform::local_date_time_text(p.started_at_ms)};
  std::string id = "part.pending";
  if (!p.unit_serial.empty()) {
    args.push_back(p.unit_serial);
    id += "_unit";
  }
  if (!p.customer.empty()) {
    args.push_back(p.customer);
    id += "_customer";
  }
  return platform::OperatorText{id, std::move(args)}.english();
}

void set_imei_keeper(ImeiKeeper* keeper) {
  g_keeper = keeper;
}

ImeiKeeper* imei_keeper() {
  return g_keeper;
}

void set_operator_notice_sink(void (*sink)(const platform::OperatorText& text)) {
  g_notice_sink = sink ? sink : notice_to_stderr;
}

void operator_notice(const platform::OperatorText& text) {
  g_notice_sink(text);
}

}  // namespace fs
