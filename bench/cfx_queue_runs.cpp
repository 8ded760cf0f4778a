// Puts the messages of simulated runs into a station's CFX queue, as a run
// does (WorkStarted, UnitsTested and WorkCompleted of each run, one
// transaction each, on the disk before the next), for the CFX soak and the
// broker tests: the sender is what they measure, not the handset. Prints
// "RUN UNIQUEID MESSAGENAME" for every message queued, in queue order.
//   cfx_queue_runs FOLDER --runs N [--first K] [--pace-ms MS] [--handle H]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "cfx/queue.h"
#include "cfx/station_messages.h"
#include "platform/calendar.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cfx_queue_runs FOLDER --runs N [--first K] [--pace-ms MS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  int runs = 1, first = 1, pace_ms = 0;
  std::string handle = "FFSLoad.ffsload.soak";
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const char* value = argv[i + 1];
    if (option == "--runs")
      runs = std::atoi(value);
    else if (option == "--first")
      first = std::atoi(value);
    else if (option == "--pace-ms")
      pace_ms = std::atoi(value);
    else if (option == "--handle")
      handle = value;
  }
  std::string error;
  auto queue = cfx::Queue::open(folder, &error);
  if (!queue) {
    std::fprintf(stderr, "cfx_queue_runs: %s\n", error.c_str());
    return 1;
  }
  const cfx::Sender sender{handle};
  for (int run = first; run < first + runs; ++run) {
    cfx::RunFacts facts;
    facts.run_uid = "soak-run-" + std::to_string(run);
    facts.port = 1 + run % 8;
    facts.unit_serial = "SN-" + std::to_string(run);
    facts.operator_id = "op-1";
    facts.recipe_name = "testmode.tms";
    facts.revision = std::string(64, 'a');
    facts.started_ms = platform::utc_now_ms();
    facts.ended_ms = facts.started_ms + 1200;
    facts.lines = {{1, "tms 1", 0, facts.started_ms, facts.started_ms + 600},
                   {2, "rdp 0x1 1", run % 5 == 0 ? 3 : 0, facts.started_ms + 600, facts.ended_ms}};
    facts.result = run % 5 == 0 ? "Failed" : "Completed";
    if (run % 5 == 0) facts.failed_reason = "line 2 answered 3";
    const cfx::Envelope messages[] = {cfx::work_started(sender, facts),
                                      cfx::units_tested(sender, facts),
                                      cfx::work_completed(sender, facts)};
    if (!queue->add(messages, &error)) {
      std::fprintf(stderr, "cfx_queue_runs: %s\n", error.c_str());
      return 1;
    }
    for (const auto& m : messages)
      std::printf("%d %s %s\n", run, m.unique_id.c_str(), m.message_name.c_str());
    std::fflush(stdout);
    if (pace_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pace_ms));
  }
  return 0;
}
