// The fault matrix: the example station's main script against the in-process
// handset (loaded with examples/handset) on the fake clock, once clean, then
// once for every request of the clean run, every fault kind, and a fault that
// happens once or persists from that request on. Each run's outcome, status,
// time and bytes are checked against the retry rules of the commands.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fs/imei_guard.h"
#include "fs/readback.h"
#include "link/link.h"
#include "platform/clock.h"
#include "platform/headless_ui.h"
#include "platform/run_panel.h"
#include "platform/serial_memory_backend.h"
#include "platform/serial_operations.h"
#include "script/run_control.h"
#include "script/runner.h"
#include "sim/fs_folder.h"
#include "sim/fs_requests.h"
#include "sim/handset.h"
#include "sim/simulated_line.h"

namespace stdfs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;
using Bytes = std::vector<std::uint8_t>;

std::string read_file(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Files files_below(const stdfs::path& root) {
  Files out;
  for (const auto& e : stdfs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) out[stdfs::relative(e.path(), root).string()] = read_file(e.path());
  }
  return out;
}

std::string as_string(const Bytes& b) {
  return {b.begin(), b.end()};
}

void ignore_notice(const platform::OperatorText&) {}

// The station's folder for the matrix's length, in memory where the system
// has a memory file system: every read-back flushes its PC file to the disk,
// and thousands of runs would otherwise wait on the disk.
class StationFolder {
 public:
  StationFolder() {
    std::string name = stdfs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0
                           ? "/dev/shm/ffsload-matrix-XXXXXX"
                           : "/tmp/ffsload-matrix-XXXXXX";
    path_ = mkdtemp(name.data());
    previous_ = stdfs::current_path();
    stdfs::current_path(path_);
  }
  ~StationFolder() {
    stdfs::current_path(previous_);
    std::error_code ignored;
    stdfs::remove_all(path_, ignored);
  }
  StationFolder(const StationFolder&) = delete;
  StationFolder& operator=(const StationFolder&) = delete;
  const stdfs::path& path() const { return path_; }

 private:
  stdfs::path path_, previous_;
};

// What a script line is, as far as the expectations need it.
struct ScriptLine {
  std::string text;
  std::string keyword;
  std::vector<std::string> words;
  std::string directory;  // the current handset directory when it runs
};

std::vector<ScriptLine> read_script(const stdfs::path& file) {
  std::vector<ScriptLine> out;
  std::ifstream in(file);
  std::string text, directory;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    ScriptLine line{text, {}, {}, {}};
    std::istringstream words(text);
    for (std::string w; words >> w;) line.words.push_back(w);
    if (!line.words.empty()) line.keyword = line.words[0];
    if (line.keyword == "cd" && line.words.size() > 1) directory = line.words[1];
    line.directory = directory;
    out.push_back(line);
  }
  return out;
}

std::string handset_path(const ScriptLine& line, const std::string& name) {
  return sim::normalize_path(line.directory + "/" + name);
}

// The fault kinds of the matrix. Hang-up once is a handset that resets (half
// a reply, then it is back); hang-up that persists is a line that stays dead.
struct Kind {
  const char* name;
  sim::FaultKind once;
  sim::FaultKind persistent;
  bool link_fails;    // the reader must give the exchange up
  bool handset_acts;  // the handset did what was asked before the reply went wrong
};
const Kind kKinds[] = {
    {"silent", sim::FaultKind::kSilent, sim::FaultKind::kSilent, true, false},
    {"refusal", sim::FaultKind::kRefuse, sim::FaultKind::kRefuse, true, false},
    {"wrong id", sim::FaultKind::kWrongId, sim::FaultKind::kWrongId, true, true},
    {"noise past the hunt limit", sim::FaultKind::kNoise, sim::FaultKind::kNoise, true, true},
    {"broken escape", sim::FaultKind::kBrokenEscape, sim::FaultKind::kBrokenEscape, true, true},
    {"missing end byte", sim::FaultKind::kMissingEnd, sim::FaultKind::kMissingEnd, true, true},
    {"bad checksum", sim::FaultKind::kBadChecksum, sim::FaultKind::kBadChecksum, false, true},
    {"trickled bytes", sim::FaultKind::kTrickle, sim::FaultKind::kTrickle, false, true},
    {"hang-up", sim::FaultKind::kReset, sim::FaultKind::kHangUp, true, true},
};

struct Request {
  int line_index = -1;  // the script line whose command sent it
  std::uint8_t id = 0;
  int fs_operation = -1;
  bool first_of_line = false;  // the command's first request
};

struct Expected {
  bool green = true;
  int line_index = -1;  // where a red run stops
  int status = 0;       // its status; for compare the exchange status in its log line
};

// One run: a fresh handset from examples/handset behind an in-memory port on
// a fake clock, and a fresh process as far as the tool's globals go.
class Bench {
 public:
  Bench(const stdfs::path& handset_folder, const sim::FaultRule* rule) {
    std::string error;
    handset_.state().fs.files.clear();
    EXPECT_TRUE(sim::load_file_system(handset_.state().fs, handset_folder.string(), &error))
        << error;
    platform::close_all_ports();
    platform::set_time_source(&clock_);
    platform::set_user_interface(&ui_);
    port_ = std::make_shared<platform::MemorySerialDevice>();
    port_->set_peer([this](std::span<const std::uint8_t> bytes) {
      for (const sim::Transmission& t : line_.receive(bytes)) {
        port_->deliver(t.bytes, t.gap_ms);
        if (t.hang_up_after) port_->hang_up_after_pending();
      }
      while (lines_.size() < line_.requests().size()) {
        lines_.push_back(runner_.current_line_number() - 1);
      }
    });
    platform::install_port(3, port_);
    if (rule) line_.faults().add(*rule);
  }
  ~Bench() {
    platform::close_all_ports();
    platform::set_user_interface(nullptr);
    platform::set_time_source(nullptr);
  }

  const script::RunEnd& run() {
    runner_.tmsfile = "main.tms";
    end_ = runner_.download();
    return end_;
  }
  bool green() {
    return ui_.attribute(platform::run_panel(), platform::kRunLogControl,
                         platform::kAttrBackColor) == platform::kColorGreen;
  }
  std::vector<std::string> log() {
    return ui_.control(platform::run_panel(), platform::kRunLogControl).lines;
  }
  long elapsed_ms() { return clock_.now_ms() - start_ms_; }
  const sim::FlashFs& flash() { return handset_.state().fs; }
  std::vector<Request> requests() {
    std::vector<Request> out;
    for (std::size_t i = 0; i < line_.requests().size(); ++i) {
      const sim::Request& r = line_.requests()[i];
      Request q;
      q.line_index = lines_[i];
      q.id = r.id;
      if (r.id == 0x70) {
        if (auto op = sim::fs_operation(r.payload)) q.fs_operation = *op;
      }
      q.first_of_line = i == 0 || lines_[i - 1] != lines_[i];
      out.push_back(q);
    }
    return out;
  }

 private:
  platform::FakeTime clock_;
  platform::HeadlessUserInterface ui_;
  std::shared_ptr<platform::MemorySerialDevice> port_;
  sim::Handset handset_;
  sim::SimulatedLine line_{handset_};
  std::vector<int> lines_;
  long start_ms_ = clock_.now_ms();
  wire::PanelRunLog log_{ignore_notice};
  wire::Link link_{3, &log_};
  char IMEI_flag_ = 0;
  fs::ImeiGuard guard_{IMEI_flag_};
  script::Runner runner_{link_, guard_};
  script::RunEnd end_;
};

// The longest a command may take by its attempts, timeouts and pauses, in
// milliseconds; every exchange is bounded by its per-byte timeout because no
// reply of the matrix trickles for longer than that.
long worst_case_ms(const ScriptLine& line) {
  auto file_size = [&](std::size_t word) -> long {
    std::error_code ec;
    if (line.words.size() <= word) return 0;
    auto size = stdfs::file_size(line.words[word], ec);
    return ec ? 8 : static_cast<long>(size);  // an IMEI backup not yet taken: 8 bytes
  };
  auto blocks = [](long size, long block) { return (size + block - 1) / block; };
  const std::string& k = line.keyword;
  if (k == "tms") return 5 * 1500;
  if (k == "mkfs") return 5 * (2 * 5000 + 2000);
  if (k == "cd" || k == "mkdir" || k == "rm") return 5 * 5000;
  if (k == "fwr") return 5 * ((2 + blocks(file_size(2), 39)) * 5000 + 500);
  if (k == "frd" || k == "compare") return 5 * (2 + blocks(file_size(2), 123)) * 5000;
  if (k == "check") return 5 * 2 * 5000 + 8 * 3 * 5000;
  if (k == "resetnvm") return 5 * 500 + 5 * 2000 + 500 + 5 * 1200;
  return 0;
}

class FaultMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    stdfs::copy(stdfs::path(FFSLOAD_EXAMPLES) / "station", dir_.path(),
                stdfs::copy_options::recursive);
    handset_folder_ = stdfs::path(FFSLOAD_EXAMPLES) / "handset";
    script_ = read_script("main.tms");
    pristine_ = files_below(dir_.path());
    original_handset_ = files_below(handset_folder_);
    for (const ScriptLine& line : script_) {
      if (line.keyword == "frd" && line.words.size() > 2) {
        frd_targets_[line.words[2]] = handset_path(line, line.words[1]);
      }
      if (line.keyword == "fwr" && line.words.size() > 2) {
        written_[handset_path(line, line.words[1])] = line.words[2];
        ever_written_[handset_path(line, line.words[1])] = line.words[2];
      }
      if (line.keyword == "rm" && line.words.size() > 1) {
        written_.erase(handset_path(line, line.words[1]));
      }
    }
  }

  // The outcome the retry rules give for a fault at request `at`.
  Expected expect(const std::vector<Request>& requests, std::size_t at, const Kind& kind,
                  bool persistent) {
    const Request& r = requests[at];
    const ScriptLine& line = script_[static_cast<std::size_t>(r.line_index)];
    if (!kind.link_fails) return {};
    if (!persistent) {
      // Repeated after it took effect, a make-directory or remove request is
      // refused (the entry is there, or gone): the command fails its attempts.
      const bool not_repeatable =
          r.id == 0x70 && (r.fs_operation == 0x0A || r.fs_operation == 0x09);
      if (kind.handset_acts && not_repeatable) {
        return {false, r.line_index, line.keyword == "resetnvm" ? 9 : 100};
      }
      return {};
    }
    // Persistent: the command that sent the request fails all its attempts.
    if (line.keyword == "frd" && kind.persistent == sim::FaultKind::kRefuse &&
        line.words.size() > 2 && line.words[2].starts_with("IMEI") && r.first_of_line) {
      // A handset that refuses every IMEI query has none: the script goes on
      // without a backup, and the format is the next command to fail.
      for (std::size_t i = static_cast<std::size_t>(r.line_index) + 1; i < script_.size(); ++i) {
        if (script_[i].keyword == "mkfs") return {false, static_cast<int>(i), 200};
      }
    }
    int status = 100;
    if (line.keyword == "mkfs") status = 200;
    if (line.keyword == "check" && r.id == 0x70) status = 2;  // a calibration file's length
    if (line.keyword == "resetnvm" && r.id == 0x70) status = 9;
    return {false, r.line_index, status};
  }

  long bound_ms(int last_line) {
    long total = 0;
    for (int i = 0; i <= last_line && i < static_cast<int>(script_.size()); ++i) {
      total += worst_case_ms(script_[static_cast<std::size_t>(i)]);
    }
    return total;
  }

  // Checks the bytes a run left; returns the number of mismatches.
  int check_bytes(Bench& bench, bool green, const std::string& what) {
    int mismatches = 0;
    auto mismatch = [&](const std::string& why) {
      ++mismatches;
      ADD_FAILURE() << what << ": " << why;
    };
    const Files pc = files_below(dir_.path());
    Files handset;
    for (const auto& [path, bytes] : bench.flash().files) handset[path] = as_string(bytes);

    for (const auto& [name, bytes] : pc) {
      if (name.ends_with(".part")) mismatch("a partial PC file is left: " + name);
      if (!pristine_.count(name) && !frd_targets_.count(name)) mismatch("new PC file " + name);
    }
    for (const auto& [name, bytes] : pristine_) {
      if (!frd_targets_.count(name) && (!pc.count(name) || pc.at(name) != bytes)) {
        mismatch("PC file changed: " + name);
      }
    }
    // A read-back's PC file holds the handset's file, or (a failed read-back) nothing.
    for (const auto& [pc_name, path] : frd_targets_) {
      const std::string original = original_handset_.at(path.substr(1));
      if (!pc.count(pc_name)) {
        if (green) mismatch("no PC file from the read-back of " + path);
      } else if (pc.at(pc_name) != original && !(!green && pc.at(pc_name).empty())) {
        mismatch("PC file " + pc_name + " is not the handset's " + path);
      }
    }
    // Nothing on the handset holds bytes it was never given.
    for (const auto& [path, bytes] : handset) {
      const bool from_pc = ever_written_.count(path) && pristine_.count(ever_written_.at(path)) &&
                           pristine_.at(ever_written_.at(path)) == bytes;
      const bool from_backup =
          ever_written_.count(path) && frd_targets_.count(ever_written_.at(path)) &&
          original_handset_.count(path.substr(1)) && original_handset_.at(path.substr(1)) == bytes;
      const bool untouched =
          original_handset_.count(path.substr(1)) && original_handset_.at(path.substr(1)) == bytes;
      const bool firmware = path == "/mmi/NvmPreset";
      if (!from_pc && !from_backup && !untouched && !firmware) {
        mismatch("handset file " + path + " holds bytes it was not given");
      }
    }
    if (green) {
      std::set<std::string> expected, actual;
      for (const auto& [path, pc_name] : written_) expected.insert(path);
      for (const auto& [path, bytes] : handset) actual.insert(path);
      if (expected != actual) mismatch("the handset's files are not the script's files");
    }
    // The identity is never lost: on the handset, or in its backup.
    for (const auto& [pc_name, path] : frd_targets_) {
      const std::string original = original_handset_.at(path.substr(1));
      const bool on_handset = handset.count(path) && handset.at(path) == original;
      const bool backed_up = pc.count(pc_name) && pc.at(pc_name) == original;
      if (!on_handset && !backed_up) mismatch(path + " is neither on the handset nor on the PC");
    }
    // The next run finds the station as it was.
    for (const auto& [pc_name, path] : frd_targets_) std::remove(pc_name.c_str());
    for (const auto& [name, bytes] : pc) {
      if (name.ends_with(".part")) std::remove(name.c_str());
    }
    return mismatches;
  }

  StationFolder dir_;
  stdfs::path handset_folder_;
  std::vector<ScriptLine> script_;
  Files pristine_, original_handset_;
  std::map<std::string, std::string> frd_targets_;   // PC name -> handset path
  std::map<std::string, std::string> written_;       // handset path -> PC name (fwr, minus rm)
  std::map<std::string, std::string> ever_written_;  // the same, rm or not
};

TEST_F(FaultMatrix, every_fault_at_every_request_ends_as_the_retry_rules_say_with_no_bad_bytes) {
  std::vector<Request> requests;
  long clean_ms = 0;
  {
    Bench clean(handset_folder_, nullptr);
    clean.run();
    ASSERT_TRUE(clean.green()) << ::testing::PrintToString(clean.log());
    ASSERT_EQ(check_bytes(clean, true, "clean run"), 0);
    requests = clean.requests();
    clean_ms = clean.elapsed_ms();
  }
  ASSERT_GT(requests.size(), 50u);
  EXPECT_LE(clean_ms, bound_ms(static_cast<int>(script_.size())));

  // A slow build may fault every N-th request only (FFSLOAD_MATRIX_STRIDE).
  const std::size_t stride = FFSLOAD_MATRIX_STRIDE;
  int runs = 1, green = 1, red = 0, mismatches = 0, wrong_outcomes = 0;
  for (std::size_t at = 0; at < requests.size(); at += stride) {
    for (const Kind& kind : kKinds) {
      for (bool persistent : {false, true}) {
        sim::FaultRule rule;
        rule.kind = persistent ? kind.persistent : kind.once;
        rule.first_match = static_cast<int>(at) + 1;
        rule.times = persistent ? -1 : 1;
        rule.noise_bytes = sim::kNoisePastHuntLimit;
        const Request& r = requests[at];
        std::ostringstream what;
        what << (persistent ? "persistent " : "one-off ") << kind.name << " at request " << at + 1
             << " (" << script_[static_cast<std::size_t>(r.line_index)].text << ")";

        Bench bench(handset_folder_, &rule);
        const script::RunEnd& end = bench.run();
        ++runs;
        const bool is_green = bench.green();
        (is_green ? green : red) += 1;
        const Expected want = expect(requests, at, kind, persistent);
        bool right = is_green == want.green;
        if (right && !want.green) {
          right = end.line_number - 1 == want.line_index;
          const std::string keyword = script_[static_cast<std::size_t>(want.line_index)].keyword;
          if (keyword == "compare") {
            // The match figure (-1, 0, 1, 200 or 201) adds to the status; the log
            // line shows the exchange status.
            const auto log = bench.log();
            right = right && end.status != 0 && !log.empty() &&
                    log.back().find("=> 100 ;") != std::string::npos;
          } else {
            right = right && end.status == want.status;
          }
        }
        if (!right) {
          ++wrong_outcomes;
          ADD_FAILURE() << what.str() << ": expected "
                        << (want.green ? std::string("green")
                                       : "red at line " + std::to_string(want.line_index + 1) +
                                             " with " + std::to_string(want.status))
                        << ", got " << (is_green ? "green" : "red") << " at line "
                        << end.line_number << " with " << end.status << "\n"
                        << ::testing::PrintToString(bench.log());
        }
        const long bound =
            bound_ms(is_green ? static_cast<int>(script_.size()) : end.line_number - 1);
        EXPECT_LE(bench.elapsed_ms(), bound) << what.str();
        mismatches += check_bytes(bench, is_green, what.str());
      }
    }
  }
  std::printf("fault matrix: %zu requests, %zu fault kinds, one-off and persistent%s\n",
              requests.size(), std::size(kKinds),
              stride > 1 ? " (every FFSLOAD_MATRIX_STRIDE-th request)" : "");
  std::printf(
      "fault matrix: %d runs, %d green, %d red, %d data mismatches, %d outcomes not as "
      "the rules say\n",
      runs, green, red, mismatches, wrong_outcomes);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(wrong_outcomes, 0);
}

}  // namespace
