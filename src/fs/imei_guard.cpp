#include "fs/imei_guard.h"

#include <cstdio>

namespace fs {

namespace {

struct ImeiGuard {
  std::string backup_file;
  std::optional<std::vector<std::uint8_t>> read_back;
  bool formatted_after_backup = false;
  bool restored = false;
};

ImeiGuard g_guard;

void notice_to_stderr(const std::string& text) {
  std::fprintf(stderr, "ffsload: %s\n", text.c_str());
}

void (*g_notice_sink)(const std::string&) = notice_to_stderr;

}  // namespace

void imei_guard_reset() {
  g_guard = ImeiGuard{};
}

void imei_guard_note_backup(const std::string& pc_file, std::span<const std::uint8_t> bytes) {
  g_guard.backup_file = pc_file;
  g_guard.read_back.emplace(bytes.begin(), bytes.end());
  g_guard.formatted_after_backup = false;
  g_guard.restored = false;
}

void imei_guard_note_format() {
  if (!g_guard.backup_file.empty()) {
    g_guard.formatted_after_backup = true;
    g_guard.restored = false;
  }
}

void imei_guard_note_restore() {
  if (g_guard.formatted_after_backup) g_guard.restored = true;
}

bool imei_at_risk() {
  return g_guard.formatted_after_backup && !g_guard.restored;
}

const std::string& imei_backup_file() {
  return g_guard.backup_file;
}

const std::optional<std::vector<std::uint8_t>>& imei_read_back() {
  return g_guard.read_back;
}

void set_operator_notice_sink(void (*sink)(const std::string& text)) {
  g_notice_sink = sink ? sink : notice_to_stderr;
}

void operator_notice(const std::string& text) {
  g_notice_sink(text);
}

}  // namespace fs
