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
                 not_ours +
                     " cannot be written by this user: runs cannot queue their messages "
                     "for the factory network, or a sender cannot serve the folder; give "
                     "the station folder's cfx files to the station's user (chown)");
  }
  // The sender refuses to start with these, so that nothing is served in
  // clear or sent unverified instead; runs go on queueing.
  for (const std::string& unreadable : cfx::unreadable_tls_files(cfx)) {
    report.error(station::kStationSettingsFile, 0,
                 unreadable +
                     "; the sender refuses to start until it can be read (the sender runs as "
                     "the station folder's owner, a run's MES question as the operator)");
  }
  for (const std::string& unverifiable : {cfx::unverifiable_tls_url("cfx-broker", cfx.broker_url),
                                          cfx::unverifiable_tls_url("cfx-mes", cfx.mes_url)}) {
    if (!unverifiable.empty()) report.error(station::kStationSettingsFile, 0, unverifiable);
  }
  // A CA given for connections that do not use TLS protects nothing.
  const bool mes_tls = cfx.mes_url.rfind("amqps://", 0) == 0;
  if (!cfx.tls_ca.empty() && !cfx.broker.tls && !mes_tls && !cfx::serves_tls(cfx)) {
    report.warning(station::kStationSettingsFile, 0,
                   "cfx-tls-ca is set but nothing uses TLS: cfx-broker and cfx-mes are amqp:// "
                   "and the request port has no cfx-tls-cert and cfx-tls-key");
  }
  // Only a certificate that the CA signed authenticates the MES; a handle
  // in the allow-list keeps out whoever does not know it.
  if (cfx::listens_everywhere(cfx) && cfx.mes_handles.empty() && !cfx::verifies_peers(cfx)) {
    report.warning(station::kStationSettingsFile, 0,
                   "cfx-listen = " + cfx.listen +
                       " takes requests on every address of this host with neither "
                       "cfx-mes-handles nor TLS that requires the MES's certificate: anything "
                       "that reaches the port can lock or unlock the station; name the MES's "
                       "handles in cfx-mes-handles, set cfx-tls-cert, cfx-tls-key and "
                       "cfx-tls-ca, or listen on one address");
  }
}

}  // namespace check
