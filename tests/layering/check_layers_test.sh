#!/usr/bin/env bash
# The layering check passes on the tree as it is, and fails, naming the file
# and line, on each kind of breach planted in a copy of it.
set -euo pipefail
check=$1
src=$2
work=$(mktemp -d /tmp/ffsload-layers.XXXXXX)
trap 'rm -rf "$work"' EXIT

python3 "$check" "$src"

plant() {  # plant FILE LINE EXPECTED-TEXT
  rm -rf "$work/src"
  cp -r "$src" "$work/src"
  printf '%s\n' "$2" >>"$work/src/$1"
  if out=$(python3 "$check" "$work/src"); then
    echo "not caught: $2 in $1"
    exit 1
  fi
  grep -q -- "$3" <<<"$out" || { echo "caught, but not as \"$3\": $out"; exit 1; }
}
plant link/link.h '#include "ui/panels.h"' 'link/ includes ui/panels.h, a room above or beside it'
plant fs/readback.cpp '#include "commands/test_mode.h"' 'fs/ includes commands/test_mode.h'
plant run/run_session.cpp '#include "cli/run_command.h"' 'run/ includes cli/run_command.h'
plant records/report.cpp '#include <QString>' 'Qt header <QString> outside the panel back end'
plant cfx/queue.cpp '#include <sqlite3.h>' 'SQLite header <sqlite3.h> outside sqlite/'
plant records/sqlite_store.h '#include <SQLiteCpp/Statement.h>' 'SQLite header <SQLiteCpp/Statement.h> outside sqlite/'
plant text/csv_text.cpp '#include "records/store.h"' 'text/ includes records/store.h'
plant sqlite/connection.cpp '#include "records/store.h"' 'sqlite/ includes records/store.h'
plant run/mes_validation.cpp '#include <proton/container.hpp>' 'AMQP header <proton/container.hpp> outside cfxnet/'
plant app/ffsload_main.cpp '#include <proton/message.hpp>' 'AMQP header <proton/message.hpp> outside cfxnet/'
plant cli/cfx_command.cpp '#include "cfxnet/queue_sender.h"' 'cli/ includes cfxnet/queue_sender.h'
plant multiport/grid_tile.cpp 'static int f() { return fork(); }' 'fork() above platform/'
plant cli/repeat_mode.cpp 'static void g() { struct sigaction a {}; sigaction(SIGINT, &a, nullptr); }' 'sigaction() above platform/'
plant ui/startup.cpp '#include <termios.h>' '<termios.h> above platform/'
plant station/run_journal.cpp '#include <sys/file.h>' '<sys/file.h> above platform/'
plant cli/trace_file.cpp 'static int h() { return ::open("t", 0); }' '::open() above platform/'
plant fs/readback.cpp 'static int k() { return std::rename("a.part", "a"); }' 'std::rename() above platform/'
plant records/report.cpp 'static void m(std::time_t t, std::tm* c) { gmtime_r(&t, c); }' 'gmtime_r() above platform/'
plant run/run_context.h 'extern int x;' 'mutable extern in a header (extern int x)'
plant fs/imei_guard.h 'extern std::string
    last_pc_file;' 'mutable extern in a header (extern std::string last_pc_file)'

# Methods and the standard library's own file interface are no breach.
rm -rf "$work/src"
cp -r "$src" "$work/src"
cat >>"$work/src/records/report.cpp" <<'EOF_CLEAN'
static void n(std::vector<int>& v, std::ifstream& in, std::error_code& ec) {
  v.erase(std::remove(v.begin(), v.end(), 0), v.end());
  in.open("x");
  in.close();
  std::filesystem::remove("x.part", ec);
  std::filesystem::rename("x.part", "x", ec);
}
EOF_CLEAN
cat >>"$work/src/run/run_context.h" <<'EOF_CONST'
extern const int kAnswer;
extern const char* const kNames[];
extern "C" int c_function(int);
EOF_CONST
python3 "$check" "$work/src" || { echo "a method, std::filesystem call or constant was taken for a breach"; exit 1; }
echo "every planted breach was caught"
