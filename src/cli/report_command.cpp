#include "cli/report_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cfx/queue.h"
#include "platform/date_time.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/operator_text.h"
#include "records/location.h"
#include "records/report.h"
#include "records/sqlite_store.h"
#include "records/store.h"
#include "records/yield_chart.h"
#include "records/yield_window.h"
#include "station/run_journal.h"
#include "station/station_settings.h"

namespace cli {

namespace {

constexpr int kReportOk = 0;
constexpr int kReportFailed = 1;
constexpr int kReportUsage = 2;

struct ReportOptions {
  std::string records;
  std::string since;
  std::string until;
  std::string customer;
  std::string chart;
  bool csv = false;
  bool window = false;
  bool interrupted = false;
  std::string by;  // "port", "operator", "customer" or empty
};

// Says when some units are runs: runs that carry neither a serial nor an
// IMEI, whose yield is a run yield, not a unit yield.
void note_run_units(const std::vector<records::ReportRow>& rows) {
  long run_units = 0, units = 0;
  for (const auto& row : rows) {
    run_units += row.run_units;
    units += row.units;
  }
  if (run_units == 0) return;
  if (run_units == units) {
    std::fprintf(stderr,
                 "ffsload: these runs carry neither a unit serial nor an IMEI: each run counts as "
                 "a unit of its own, so the yields above are run yields\n");
  } else {
    std::fprintf(stderr,
                 "ffsload: %ld of the %ld units above are runs that carry neither a unit serial "
                 "nor an IMEI, each counted as a unit of its own\n",
                 run_units, units);
  }
}

// Written under a temporary name and renamed, so a browser never shows half a chart.
bool write_file(const std::string& name, const std::string& text) {
  const std::string part = name + ".part";
  // Never through a link planted under the temporary name.
  std::FILE* out = platform::create_new_file(part);
  if (!out) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (std::fclose(out) != 0 || !written) {
    platform::remove_file(part);
    return false;
  }
  if (!platform::replace_file(part, name)) {
    platform::remove_file(part);
    return false;
  }
  return true;
}

// Records that are not in the store yet, or never will be without help, are
// counted too: a yield without them would mislead.
// The station's messages for the factory network, read without creating
// anything: said only where the station has a queue.
void note_cfx_queue() {
  std::string error;
  const auto queue = cfx::Queue::open_for_reading(station::station_folder(), &error);
  if (!queue) {
    if (!error.empty()) std::fprintf(stderr, "ffsload: CFX: %s\n", error.c_str());
    return;
  }
  const cfx::QueueStatus s = queue->status();
  std::string oldest;
  if (s.oldest_waiting_ms) {
    oldest = ", the oldest from " + platform::local_date_time_text(*s.oldest_waiting_ms);
  }
  std::fprintf(stderr,
               "ffsload: CFX: %lld message(s) waiting for the broker%s, %lld set aside (refused "
               "by the broker) in %s\n",
               static_cast<long long>(s.waiting), oldest.c_str(),
               static_cast<long long>(s.set_aside), queue->path().c_str());
}

void note_outbox() {
  note_cfx_queue();
  const std::string outbox = records::outbox_location();
  std::error_code ignored;
  if (!std::filesystem::exists(outbox, ignored)) return;
  try {
    records::SqliteStore kept(outbox, records::OpenFor::kReading);
    if (const long waiting = kept.waiting_count(); waiting > 0) {
      std::fprintf(stderr,
                   "ffsload: %ld record(s) wait in %s and are not counted above; the next run "
                   "that reaches the records sends them\n",
                   waiting, outbox.c_str());
    }
    if (const long aside = kept.set_aside_count(); aside > 0) {
      std::fprintf(stderr,
                   "ffsload: %ld record(s) that the records refused for what they hold are set "
                   "aside in %s (table set_aside, with the reason) and are not counted above\n",
                   aside, outbox.c_str());
    }
  } catch (const records::StoreError& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
  }
}

int report(const ReportOptions& o) {
  if (!o.by.empty() && (o.window || !o.chart.empty() || o.interrupted)) {
    std::fprintf(stderr,
                 "ffsload: --by prints a table or CSV; the chart, the window and "
                 "--interrupted are per day\n");
    return kReportUsage;
  }
  records::ReportFilter filter;
  for (const auto& [name, value, slot] : {std::tuple{"--since", &o.since, &filter.since},
                                          std::tuple{"--until", &o.until, &filter.until}}) {
    if (value->empty()) continue;
    if (!records::valid_day(*value)) {
      std::fprintf(stderr, "ffsload: %s takes a day as YYYY-MM-DD, not \"%s\"\n", name,
                   value->c_str());
      return kReportUsage;
    }
    *slot = *value;
  }
  if (!o.customer.empty()) filter.customer = o.customer;

  const records::Location location = records::resolve_location(o.records);
  for (const std::string& warning : location.warnings) {
    std::fprintf(stderr, "ffsload: %s\n", warning.c_str());
  }
  std::vector<records::ReportRow> rows;
  try {
    auto store = records::open_store(location.url, records::OpenFor::kReading);
    if (o.interrupted) {
      std::fputs(records::format_interrupted(records::list_interrupted(*store, filter)).c_str(),
                 stdout);
      return kReportOk;
    }
    const records::GroupBy by = o.by == "port"       ? records::GroupBy::kPort
                                : o.by == "operator" ? records::GroupBy::kOperator
                                : o.by == "customer" ? records::GroupBy::kCustomer
                                                     : records::GroupBy::kDayAndCustomer;
    if (by != records::GroupBy::kDayAndCustomer) {
      const auto settings = station::read_station_settings();
      rows = records::build_grouped_report(*store, filter, by, settings.settings.fixture_alarm);
      note_outbox();
      std::fputs(
          (o.csv ? records::format_grouped_csv(rows, by) : records::format_grouped_table(rows, by))
              .c_str(),
          stdout);
      note_run_units(rows);
      return kReportOk;
    }
    rows = records::build_report(*store, filter);
  } catch (const records::BadStoredValue& e) {
    std::fprintf(stderr, "ffsload: the records %s %s\n",
                 records::shown_location(location.url).c_str(), e.what());
    return kReportFailed;
  } catch (const records::StoreError& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return kReportFailed;
  }
  note_outbox();
  if (o.window) {
    if (!records::show_report_window(
            rows, platform::OperatorText{"report.title", {records::shown_location(location.url)}}
                      .english())) {
      std::fprintf(stderr, "ffsload: no window to show the report in (no display)\n");
      return kReportFailed;
    }
    return kReportOk;
  }
  const std::string text = o.csv ? records::format_csv(rows) : records::format_table(rows);
  std::fputs(text.c_str(), stdout);
  note_run_units(rows);
  if (!o.chart.empty()) {
    if (!write_file(o.chart, records::yield_chart_svg(rows))) {
      std::fprintf(stderr, "ffsload: cannot write the chart %s\n", o.chart.c_str());
      return kReportFailed;
    }
    std::fprintf(stderr, "ffsload: chart written to %s\n", o.chart.c_str());
  }
  return kReportOk;
}

}  // namespace

void add_report_command(CLI::App& app, int* status) {
  auto options = std::make_shared<ReportOptions>();
  CLI::App* sub = app.add_subcommand(
      "report",
      "per customer and day: runs, interrupted runs, units (a unit is its serial, else its "
      "IMEI, else the run), first-pass yield (units green on their first run), final yield "
      "(units whose last run is green) and the most frequent failing line");
  sub->add_option("--records", options->records,
                  "the records: a SQLite file or a postgresql:// URL (default: "
                  "$FFSLOAD_RECORDS, else \"records = URL\" in ffsload.conf, else runs.sqlite)");
  sub->add_option("--since", options->since, "first day, YYYY-MM-DD (UTC)");
  sub->add_option("--until", options->until, "last day, YYYY-MM-DD (UTC), included");
  sub->add_option("--customer", options->customer, "one customer key as recorded (\"4.1\")");
  sub->add_option("--chart", options->chart, "also write the yield per day as an SVG chart");
  sub->add_flag("--csv", options->csv, "print the table as CSV");
  auto* by = sub->add_option("--by", options->by,
                             "one row per port (with its current streak of red runs), operator "
                             "or customer over the days chosen, instead of per day and customer");
  by->check(CLI::IsMember({"port", "operator", "customer"}));
  sub->add_flag("--window", options->window,
                "show the table and the chart in a window instead (needs a display)");
  sub->add_flag("--interrupted", options->interrupted,
                "list the runs that never ended (a power cut, kill -9) and what became of the "
                "IMEI each had backed up: pending, restored, kept aside, written back");
  sub->footer("Exit status: 0 printed, 1 the records cannot be read, 2 bad usage.");
  sub->callback([options, status] { *status = report(*options); });
}

}  // namespace cli
