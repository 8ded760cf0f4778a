#include "records/yield_window.h"

#include <ctime>

#include "platform/calendar.h"
#include "platform/operator_text.h"
#include "platform/text_format.h"
#include "platform/user_interface.h"
#include "records/location.h"
#include "records/store.h"
#include "records/yield_chart.h"

namespace records {

namespace {
ReportWindow g_window = nullptr;
}  // namespace

void set_report_window(ReportWindow window) {
  g_window = window;
}

bool report_window_available() {
  return g_window != nullptr;
}

bool show_report_window(const std::vector<records::ReportRow>& rows, const std::string& title) {
  if (!g_window) return false;
  const std::string chart = records::yield_chart_svg(rows);
  platform::user_interface().run_modal([&] { g_window(rows, chart, title); });
  return true;
}

bool show_recent_yield(int days, std::string* error) {
  const std::time_t since = std::time(nullptr) - static_cast<std::time_t>(days - 1) * 86400;
  const std::tm utc = platform::utc_calendar(since);
  records::ReportFilter filter;
  filter.since =
      platform::strprintf("%04d-%02d-%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday);
  const records::Location location = records::resolve_location("");
  std::vector<records::ReportRow> rows;
  try {
    auto store = records::open_store(location.url, records::OpenFor::kReading);
    rows = records::build_report(*store, filter);
  } catch (const records::BadStoredValue& e) {
    *error = "the records " + records::shown_location(location.url) + " " + e.what();
    return false;
  } catch (const records::StoreError& e) {
    *error = e.what();
    return false;
  }
  const std::string title =
      platform::OperatorText{"report.title_since",
                             {*filter.since, records::shown_location(location.url)}}
          .english();
  if (!show_report_window(rows, title)) {
    *error = "no window to show the report in";
    return false;
  }
  return true;
}

}  // namespace records
