// A login on the command line, for "ffsload run" when ffsload.conf says
// login = required: the operator's id (or badge) and PIN checked before
// the port is opened, each run's start and end in the audit trail, and the
// logout when the command ends or the station has idled past login-idle.
//
// It holds no open connection: a port's process under "run --ports" is a
// copy of this one, and a database connection must not cross into a copy.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/station_people.h"
#include "people/roles.h"
#include "run/run_context.h"
#include "run/run_session.h"

namespace cli {

class RunLogin {
 public:
  // Checks `who` and the PIN (from pin_fd or the terminal); null, with the
  // refusal on stderr, when no run may start.
  static std::shared_ptr<RunLogin> log_in(const StationPeople& where, const std::string& who,
                                          std::optional<int> pin_fd, int idle_minutes);

  const std::string& person() const { return person_; }
  people::Role role() const { return role_; }

  // The run's start, on disk before the handset is touched; false (said on
  // stderr) when it cannot be kept: then no run.
  bool run_starts(const run::RunContext& context);
  // Its end, with the digest of its record as the store holds it.
  void run_ended(const run::RunContext& context, const run::RunResult& result);
  // Whether the station has idled past login-idle since the last run ended.
  bool idled_out(std::int64_t now_ms) const;
  void log_out(const std::string& why);

  // A privileged step of the run itself (keeping a pending IMEI aside),
  // by the person logged in: accepted for the role, and one event either way.
  bool may(const people::Action& action);

 private:
  StationPeople where_;
  std::string person_;
  people::Role role_ = people::Role::kOperator;
  int idle_minutes_ = 0;
  std::int64_t last_activity_ms_ = 0;
  bool logged_out_ = false;
};

}  // namespace cli
