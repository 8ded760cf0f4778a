#include "board/board_json.h"

#include <cstdio>

#include "records/run_record.h"
#include "text/station_text.h"

namespace board {

namespace {

std::string time_or_null(std::int64_t ms, bool known) {
  return known ? json_string(records::iso8601_utc(ms)) : "null";
}

std::string text_or_null(const std::optional<std::string>& text) {
  return text ? json_string(*text) : "null";
}

std::string number_or_null(const std::optional<long>& n) {
  return n ? std::to_string(*n) : "null";
}

std::string percent_or_null(const std::optional<double>& p) {
  if (!p) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", *p);
  return text;
}

// "key": value, with a comma before all but the first.
class Object {
 public:
  Object& field(const char* key, const std::string& value) {
    text_ += text_.size() > 1 ? ",\"" : "\"";
    text_ += key;
    text_ += "\":";
    text_ += value;
    return *this;
  }
  std::string done() { return text_ + "}"; }

 private:
  std::string text_ = "{";
};

std::string array_of(const std::vector<std::string>& items) {
  std::string text = "[";
  for (const std::string& item : items) {
    if (text.size() > 1) text += ",";
    text += item;
  }
  return text + "]";
}

}  // namespace

std::string json_string(const std::string& raw) {
  // Controls, bidirectional and other invisible characters are written out
  // as text ("\u202E" shows as those six characters), never sent as the
  // characters themselves: a serial must not show reversed on the wall.
  const std::string text = text::shown_station_text(raw);
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '<':
        out += "\\u003c";
        break;
      case '>':
        out += "\\u003e";
        break;
      case '&':
        out += "\\u0026";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else if (c == 0xE2 && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8) {
          // U+2028 and U+2029 end a line in older JavaScript.
          out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string card_json(const PortCard& card, bool for_page) {
  const std::optional<BoardRow>& run = card.running;
  const std::optional<BoardRow>& last = card.last_outcome;
  const bool red = last && last->outcome == "red";
  Object o;
  o.field("station", json_string(card.station))
      .field("port", std::to_string(card.port))
      .field("state", json_string(run ? "running" : "idle"))
      .field("started_at", time_or_null(run ? run->started_at_ms : 0, run.has_value()))
      .field("customer", run ? json_string(run->customer) : "null")
      .field("unit_serial", run ? text_or_null(run->unit_serial) : "null")
      .field("operator", run ? text_or_null(run->operator_id) : "null")
      .field("last_outcome", last ? json_string(last->outcome) : "null")
      .field("last_ended_at", time_or_null(last ? last->ended_at_ms : 0, last.has_value()))
      .field("failed_line", red ? number_or_null(last->failed_line) : "null")
      .field("failed_text", red ? text_or_null(last->failed_text) : "null")
      .field("runs_today", std::to_string(card.runs_today))
      .field("first_pass_yield_today", percent_or_null(card.first_pass_yield_today()))
      .field("fixture_alarm", card.fixture_alarm ? "true" : "false");
  if (for_page) {
    o.field("script", run ? json_string(run->script) : "null")
        .field("last_customer", last ? json_string(last->customer) : "null")
        .field("last_script", last ? json_string(last->script) : "null")
        .field("imei_pending", card.imei_pending ? "true" : "false");
  }
  return o.done();
}

std::string ports_json(const LineView& view) {
  std::vector<std::string> cards;
  cards.reserve(view.cards.size());
  for (const PortCard& card : view.cards) cards.push_back(card_json(card, false));
  return array_of(cards);
}

std::string lists_json(const LineView& view) {
  std::vector<std::string> alarms;
  for (const FixtureAlarm& a : view.alarms) {
    std::vector<std::string> lines;
    for (const std::string& line : a.failing_lines) lines.push_back(json_string(line));
    alarms.push_back(Object()
                         .field("station", json_string(a.station))
                         .field("port", std::to_string(a.port))
                         .field("red_runs", std::to_string(a.red_runs))
                         .field("failing_lines", array_of(lines))
                         .done());
  }
  std::vector<std::string> pending;
  for (const BoardRow& r : view.pending_imeis) {
    pending.push_back(Object()
                          .field("station", json_string(r.station))
                          .field("port", std::to_string(r.port))
                          .field("started_at", time_or_null(r.started_at_ms, true))
                          .field("customer", json_string(r.customer))
                          .field("unit_serial", text_or_null(r.unit_serial))
                          .field("imei", text_or_null(r.imei))
                          .done());
  }
  std::vector<std::string> failing;
  for (const FailingLine& f : view.failing_lines) {
    failing.push_back(Object()
                          .field("customer", json_string(f.customer))
                          .field("script", json_string(f.script))
                          .field("line", std::to_string(f.line))
                          .field("text", json_string(f.text))
                          .field("count", std::to_string(f.count))
                          .done());
  }
  return Object()
      .field("alarms", array_of(alarms))
      .field("pending_imeis", array_of(pending))
      .field("failing_lines", array_of(failing))
      .done();
}

std::string runs_json(const std::vector<BoardRow>& rows) {
  std::vector<std::string> items;
  items.reserve(rows.size());
  for (const BoardRow& r : rows) {
    items.push_back(Object()
                        .field("uid", json_string(r.uid))
                        .field("station", json_string(r.station))
                        .field("port", std::to_string(r.port))
                        .field("device", json_string(r.device))
                        .field("started_at", time_or_null(r.started_at_ms, true))
                        .field("ended_at", time_or_null(r.ended_at_ms, r.ended()))
                        .field("outcome", json_string(r.outcome))
                        .field("customer", json_string(r.customer))
                        .field("script", json_string(r.script))
                        .field("ma_no", json_string(r.ma_no))
                        .field("imei", text_or_null(r.imei))
                        .field("imei_fate", text_or_null(r.imei_fate))
                        .field("failed_line", number_or_null(r.failed_line))
                        .field("failed_text", text_or_null(r.failed_text))
                        .field("failed_status", number_or_null(r.failed_status))
                        .field("unit_serial", text_or_null(r.unit_serial))
                        .field("operator", text_or_null(r.operator_id))
                        .field("attempt", number_or_null(r.attempt))
                        .field("fixture", text_or_null(r.fixture))
                        .field("tool_version", json_string(r.tool_version))
                        .done());
  }
  return array_of(items);
}

std::string one_line(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return text;
}

std::string error_json(const std::string& reason) {
  return Object().field("error", json_string(one_line(reason))).done();
}

}  // namespace board
