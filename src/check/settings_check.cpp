#include "check/settings_check.h"

#include "cfx/cfx_settings.h"
#include "cfx/queue.h"
#include "station/station_settings.h"

namespace check {

void check_station_settings(Report& report) {
  const station::StationSettingsFile file = station::read_station_settings();
  if (!file.found) return;
  report.file_checked();
  for (const station::SettingProblem& p : file.problems) {
    if (p.unknown_key) {
      report.warning(station::kStationSettingsFile, p.line, p.text + "; the runs go without it");
    } else {
      report.error(station::kStationSettingsFile, p.line,
                   p.text + "; runs and panels refuse to start");
    }
  }
  const cfx::Settings& cfx = file.settings.cfx;
  if (!cfx.enabled) return;
  // What the sender would find only when it connects: a password it cannot
  // read. The password itself is never read out.
  std::string why;
  if (!cfx.password_file.empty() && !cfx::broker_password(cfx, &why)) {
    report.error(station::kStationSettingsFile, 0,
                 why + "; the station's CFX messages wait in its queue until it can be read");
  }
  if (!cfx.broker.user.empty() && cfx.password_file.empty() && !cfx::broker_password(cfx, &why)) {
    report.warning(station::kStationSettingsFile, 0,
                   "cfx-broker names the user " + cfx.broker.user +
                       " but there is no password (cfx-password-file or FFSLOAD_CFX_PASSWORD)");
  }
  for (const std::string& not_ours : cfx::queue_files_not_ours_to_write(".")) {
    report.error(cfx::kQueueFile, 0,
                 not_ours + " cannot be written by this user: runs cannot queue their messages "
                            "for the factory network, or a sender cannot serve the folder; give "
                            "the station folder's cfx files to the station's user (chown)");
  }
  if (cfx::listens_everywhere(cfx) && cfx.mes_handles.empty()) {
    report.warning(station::kStationSettingsFile, 0,
                   "cfx-listen = " + cfx.listen +
                       " takes requests on every address of this host and cfx-mes-handles is "
                       "not set: anything that reaches the port can lock or unlock the station; "
                       "name the MES's handles in cfx-mes-handles, or listen on one address");
  }
}

}  // namespace check
