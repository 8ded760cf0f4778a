#include "check/settings_check.h"

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
}

}  // namespace check
