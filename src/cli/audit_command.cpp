#include "cli/audit_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cli/station_people.h"
#include "people/audit_check.h"
#include "people/audit_export.h"
#include "run/exit_status.h"

namespace cli {

namespace {

struct AuditOptions {
  std::string records;
  std::string heads;  // a file of heads kept from an earlier verify
  std::string since;
  std::string format = "csv";
};

bool is_day(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

int verify(const AuditOptions& o) {
  std::vector<people::ChainHead> kept;
  if (!o.heads.empty()) {
    std::ifstream in(o.heads);
    if (!in) {
      std::fprintf(stderr, "ffsload: cannot read the kept heads %s\n", o.heads.c_str());
      return run::kExitNoRun;
    }
    std::string line;
    while (std::getline(in, line)) {
      if (auto head = people::head_from_line(line)) kept.push_back(*head);
    }
    if (kept.empty()) {
      std::fprintf(stderr, "ffsload: %s holds no head (lines as \"audit verify\" prints them)\n",
                   o.heads.c_str());
      return run::kExitNoRun;
    }
  }
  const StationPeople where = station_people(o.records, {});
  if (store_not_made_yet(where)) {
    if (!kept.empty()) {
      std::printf("ffsload: the audit trail does not hold: %s is gone, and heads of it were "
                  "kept\n",
                  where.location.c_str());
      return 1;
    }
    std::printf("ffsload: no audit trail yet: %s is not there\n", where.location.c_str());
    return 0;
  }
  std::unique_ptr<people::Database> db = open_people(where, people::Access::kReading);
  if (!db) return run::kExitNoRun;
  try {
    const people::TrailCheck check = people::check_trail(*db, kept);
    for (const std::string& broken : check.breaks) {
      std::printf("ffsload: the audit trail does not hold: %s\n", broken.c_str());
    }
    if (!check.holds()) return 1;
    // The heads, to be kept elsewhere (a copy off the station, a paper):
    // "--heads FILE" compares a later trail with them.
    for (const people::ChainHead& head : check.heads) {
      std::printf("%s\n", people::head_line(head).c_str());
    }
    std::printf("ffsload: the audit trail holds: %lld events\n",
                static_cast<long long>(check.events));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return run::kExitNoRun;
  }
}

int export_trail(const AuditOptions& o) {
  const StationPeople where = station_people(o.records, {});
  std::unique_ptr<people::Database> db = open_people(where, people::Access::kReading);
  if (!db) return run::kExitRed;
  try {
    people::export_events(*db, o.since,
                          o.format == "json" ? people::ExportFormat::kJson
                                             : people::ExportFormat::kCsv,
                          stdout);
    return std::fflush(stdout) == 0 ? run::kExitGreen : run::kExitRed;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return run::kExitRed;
  }
}

}  // namespace

void add_audit_command(CLI::App& app, int* status) {
  CLI::App* audit = app.add_subcommand(
      "audit", "the audit trail beside the run records: verify its chain, or export it");
  audit->require_subcommand(1);
  auto o = std::make_shared<AuditOptions>();
  CLI::App* verify_sub = audit->add_subcommand(
      "verify", "check every event of every station's chain; print each chain's head");
  verify_sub->add_option("--heads", o->heads,
                         "a file of heads an earlier verify printed, kept elsewhere: the trail "
                         "must still reach each, unchanged");
  verify_sub->add_option("--records", o->records, "where the trail is: as for run");
  verify_sub->footer(
      "Exit status: 0 the trail holds, 1 an event does not (the first of each station is\n"
      "named), 2 the trail cannot be read.");
  verify_sub->callback([o, status] { *status = verify(*o); });
  auto e = std::make_shared<AuditOptions>();
  CLI::App* export_sub =
      audit->add_subcommand("export", "write the events out, oldest first, for an auditor");
  export_sub->add_option("--since", e->since, "from this day on (UTC), YYYY-MM-DD")
      ->type_name("DATE")
      ->check([](const std::string& text) {
        return is_day(text) ? std::string() : "takes a day as YYYY-MM-DD";
      });
  export_sub->add_option("--format", e->format, "csv (the default) or json")
      ->type_name("csv|json")
      ->check(CLI::IsMember({"csv", "json"}));
  export_sub->add_option("--records", e->records, "where the trail is: as for run");
  export_sub->footer("Exit status: 0 written, 1 the trail cannot be read or written out.");
  export_sub->callback([e, status] { *status = export_trail(*e); });
}

}  // namespace cli
