// Records for the tests: one run, with the fields a test cares about.
#pragma once

#include <string>

#include "records/run_record.h"

namespace testing_support {

// 2024-03-01T00:00:00Z plus `day` days and `minute` minutes.
inline std::int64_t test_time(int day, int minute) {
  return (1709251200LL + day * 86400LL + minute * 60LL) * 1000;
}

inline records::RunRecord sample_record(const std::string& customer, const char* imei,
                                        const std::string& outcome, int day = 0, int minute = 0) {
  static int serial = 0;
  records::RunRecord r;
  r.uid = "test-" + std::to_string(++serial) + "-" + customer;
  r.started_at_ms = test_time(day, minute);
  r.ended_at_ms = r.started_at_ms + 1500;
  r.station = "station-a";
  r.port = 3;
  r.device = "/dev/ttyS2";
  r.customer = customer;
  r.script = "main.tms";
  r.ma_no = "ORD4711";
  if (imei) r.imei = imei;
  r.outcome = outcome;
  r.log = "tms 1  => 0 (1)\nmkfs  => 0 (1)";
  r.tool_version = "0.9.0";
  return r;
}

inline records::RunRecord red_record(const std::string& customer, const char* imei, int line,
                                     const std::string& text, int day = 0, int minute = 0) {
  records::RunRecord r = sample_record(customer, imei, "red", day, minute);
  r.failed_line = line;
  r.failed_text = text;
  r.failed_status = 100;
  return r;
}

}  // namespace testing_support
