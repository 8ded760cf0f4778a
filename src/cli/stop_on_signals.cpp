#include "cli/stop_on_signals.h"

#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/files.h"
#include "platform/stop_signals.h"
#include "platform/text_format.h"
#include "run/run_session.h"

namespace cli {

namespace {

// Decimal digits of n into buf (async-signal-safe).
const char* decimal(int n, char (&buf)[16]) {
  char* p = buf + sizeof buf - 1;
  *p = '\0';
  unsigned value = n < 0 ? 0u : static_cast<unsigned>(n);
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && p > buf);
  return p;
}

// The second signal: end now, but leave no half-written PC file and say
// what the handset was left with.
void end_at_once(int signal_number) {
  const int saved_errno = errno;
  platform::remove_partial_file_now();
  const run::Session* session = run::session_under_way();
  char line[16];
  platform::write_error_now("ffsload: ended at once by a second signal at script line ");
  platform::write_error_now(decimal(session ? session->current_line_number() : 0, line));
  if (session && session->imei().at_risk()) {
    platform::write_error_now(
        "; the handset was formatted and has no IMEI: it is only in the PC file ");
    platform::write_error_now(session->imei().backup_file_for_signal());
  }
  platform::write_error_now("\n");
  errno = saved_errno;
  ::_exit(exit_status_for_signal(signal_number));
}

}  // namespace

void install_run_interruption() {
  // Interrupted waits and writes carry on where they were; a reader that goes
  // away, or a file-size limit, makes a write fail instead of ending a run.
  // The first signal asks the run to stop at its next safe point.
  platform::catch_stop_signals(/*restart=*/true, end_at_once);
}

int stop_signal() {
  return platform::stop_signal();
}

int exit_status_for_signal(int signal_number) {
  return 128 + signal_number;
}

std::string stopped_run_report(int signal_number, const run::RunResult& last) {
  const script::RunEnd& end = last.end;
  const char* name = signal_number == SIGINT    ? "SIGINT"
                     : signal_number == SIGTERM ? "SIGTERM"
                                                : "a signal";
  std::string report;
  if (end.stopped) {
    report = platform::strprintf("ffsload: stopped by %s after script line %d (\"%s\")", name,
                                 end.line_number, end.line.c_str());
  } else {
    report = platform::strprintf("ffsload: %s arrived; the run ended by itself at script line %d",
                                 name, end.line_number);
  }
  if (!last.imei_only_in.empty()) {
    report += platform::strprintf(
        "; the handset was formatted and has no IMEI: it is only in the PC file %s",
        last.imei_only_in.c_str());
  }
  return report;
}

}  // namespace cli
