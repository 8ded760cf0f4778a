#include "records/yield_chart.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace records {

namespace {

constexpr int kLeft = 60;
constexpr int kTop = 40;
constexpr int kPlotHeight = 240;
constexpr int kBottom = 40;
constexpr int kLegendWidth = 160;
constexpr int kMinGroupWidth = 80;
constexpr int kMaxBarWidth = 28;
constexpr int kDayLabelWidth = 76;

const char* const kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

std::string format(const char* fmt, double a, double b = 0, double c = 0, double d = 0) {
  char text[256];
  std::snprintf(text, sizeof text, fmt, a, b, c, d);
  return text;
}

}  // namespace

std::string yield_chart_svg(const std::vector<ReportRow>& rows) {
  std::set<std::string> days;
  std::set<std::string> customers;
  std::map<std::pair<std::string, std::string>, const ReportRow*> cell;
  for (const ReportRow& row : rows) {
    days.insert(row.day);
    customers.insert(row.customer);
    cell[{row.day, row.customer}] = &row;
  }
  const int series = std::max<int>(1, static_cast<int>(customers.size()));
  // Wide groups for a few days; a year stays a picture a screen can hold.
  const int group =
      days.size() <= 12 ? std::max(kMinGroupWidth, series * 14 + 16) : std::max(12, series * 6 + 4);
  const int plot_width = std::max(240, group * static_cast<int>(days.size()));
  // The legend as wide as its longest label needs (about 7 units a character).
  std::size_t longest = 0;
  for (const std::string& customer : customers) {
    longest =
        std::max(longest, (customer.empty() ? std::string("- (script by name)") : customer).size());
  }
  const int legend_width = std::max(kLegendWidth, 18 + 7 * static_cast<int>(longest + 9) + 10);
  const int width = kLeft + plot_width + 20 + legend_width;
  const int height = kTop + kPlotHeight + kBottom;
  const double bar = std::min<double>(kMaxBarWidth, static_cast<double>(group - 10) / series);

  std::string svg = format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
      "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"12\">\n",
      width, height, width, height);
  // The background in units, not percent: not every renderer takes percent.
  svg += format("<rect width=\"%.0f\" height=\"%.0f\" fill=\"white\"/>\n", width, height);
  svg +=
      format("<text x=\"%.0f\" y=\"24\" font-size=\"16\">First-pass and final yield per day</text>\n",
             kLeft);
  // Axis and grid: 0 to 100 %.
  for (int percent = 0; percent <= 100; percent += 20) {
    const double y = kTop + kPlotHeight * (1.0 - percent / 100.0);
    svg += format("<line x1=\"%.0f\" y1=\"%.1f\" x2=\"%.0f\" y2=\"%.1f\" stroke=\"#ddd\"/>\n",
                  kLeft, y, kLeft + plot_width, y);
    svg += format("<text x=\"%.0f\" y=\"%.1f\" text-anchor=\"end\">%.0f%%</text>\n", kLeft - 6,
                  y + 4, percent);
  }
  svg += format("<line x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\" stroke=\"black\"/>\n", kLeft,
                kTop + kPlotHeight, kLeft + plot_width, kTop + kPlotHeight);
  if (days.empty()) {
    svg += format("<text x=\"%.0f\" y=\"%.0f\" text-anchor=\"middle\">no runs</text>\n",
                  kLeft + plot_width / 2.0, kTop + kPlotHeight / 2.0);
  }
  int d = 0;
  for (const std::string& day : days) {
    const double x0 = kLeft + group * d + (group - bar * series) / 2.0;
    int s = 0;
    for (const std::string& customer : customers) {
      auto it = cell.find({day, customer});
      if (it != cell.end()) {
        if (auto yield = it->second->first_pass_percent()) {
          const double h = kPlotHeight * *yield / 100.0;
          const double final_yield = it->second->final_percent().value_or(*yield);
          svg += format("<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" ", x0 + bar * s,
                        kTop + kPlotHeight - h, bar - 2, h);
          svg += std::string("fill=\"") + kColours[s % 10] + "\"><title>" + escaped(day) + " " +
                 escaped(customer.empty() ? "-" : customer) +
                 format(": first pass %.1f%%, final %.1f%% of %.0f units</title></rect>\n", *yield,
                        final_yield, static_cast<double>(it->second->unit_first_runs));
          // The final yield as a mark across the bar: the units that passed
          // in the end, retries included.
          const double fy = kTop + kPlotHeight * (1.0 - final_yield / 100.0);
          svg += format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\" "
                        "stroke-width=\"3\"/>\n",
                        x0 + bar * s, fy, x0 + bar * s + bar - 2, fy);
        }
      }
      ++s;
    }
    // Horizontal labels, every day's when they fit, else every n-th day's.
    const int every = (kDayLabelWidth + group - 1) / group;
    if (d % every == 0) {
      const double cx = kLeft + group * d + group / 2.0;
      svg += format("<text x=\"%.1f\" y=\"%.0f\" text-anchor=\"middle\">", cx,
                    kTop + kPlotHeight + 18);
      svg += escaped(day) + "</text>\n";
    }
    ++d;
  }
  // Legend: one colour per customer.
  int s = 0;
  for (const std::string& customer : customers) {
    const double y = kTop + 10 + 20 * s;
    const double x = kLeft + plot_width + 20;
    svg += format("<rect x=\"%.0f\" y=\"%.0f\" width=\"12\" height=\"12\" ", x, y - 10);
    svg += std::string("fill=\"") + kColours[s % 10] + "\"/>\n";
    svg += format("<text x=\"%.0f\" y=\"%.0f\">customer ", x + 18, y);
    svg += escaped(customer.empty() ? "- (script by name)" : customer) + "</text>\n";
    ++s;
  }
  if (!customers.empty()) {
    const double y = kTop + 10 + 20 * s;
    const double x = kLeft + plot_width + 20;
    svg += format("<line x1=\"%.0f\" y1=\"%.0f\" x2=\"%.0f\" y2=\"%.0f\" stroke=\"black\" "
                  "stroke-width=\"3\"/>\n",
                  x, y - 4, x + 12, y - 4);
    svg += format("<text x=\"%.0f\" y=\"%.0f\">final yield</text>\n", x + 18, y);
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace records
