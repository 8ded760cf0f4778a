#include "fs/imei_guard.h"

#include <algorithm>
#include <cstring>

#include "platform/date_time.h"
#include "platform/text_format.h"

namespace fs {

void ImeiGuard::reset() {
  formatted_after_backup_ = 0;
  restored_ = 0;
  backup_file_.clear();
  read_back_.reset();
  backup_name_[0] = '\0';
}

void ImeiGuard::note_backup(const std::string& pc_file, std::span<const std::uint8_t> bytes) {
  formatted_after_backup_ = 0;
  restored_ = 0;
  backup_file_ = pc_file;
  read_back_.emplace(bytes.begin(), bytes.end());
  const std::size_t n = std::min(pc_file.size(), backup_name_.size() - 1);
  std::memcpy(backup_name_.data(), pc_file.data(), n);
  backup_name_[n] = '\0';
}

void ImeiGuard::note_format() {
  if (!backup_file_.empty()) {
    restored_ = 0;
    formatted_after_backup_ = 1;
  }
}

void ImeiGuard::note_restore() {
  if (formatted_after_backup_) restored_ = 1;
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

}  // namespace fs
