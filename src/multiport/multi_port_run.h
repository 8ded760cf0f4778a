// "ffsload run --ports LIST": one script on several ports at once, each port
// in its own ffsload child process and its own folder (see
// station/port_folders.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace multiport {

// "1,2,5-8" -> {1, 2, 5, 6, 7, 8}; nullopt with *error for a number outside
// 1..8, a port named twice, or anything else.
std::optional<std::vector<int>> parse_port_list(const std::string& text, std::string* error);

// The program each port's run is a child of: the plain "ffsload" beside the
// running program, which starts without a toolkit even when the grid window
// runs the ports; the running program itself when there is none (tests).
std::string port_program();

// The environment of a port's child: where the station's own runs record
// (`option` as --records gave it, else the usual precedence) and the
// station's one outbox, resolved in the start folder and made absolute, so
// that every port records where the station does and not in its own folder.
// In the environment, not on the command line: other users of the PC can
// read a process's arguments (ps), and a database URL may hold a password.
std::vector<std::pair<std::string, std::string>> station_records_environment(
    const std::string& option);

// The whole environment of a port's child: the records' above, and the
// station folder and the front end (`front_end`: "ports" or "grid"), so that
// the port's run, working in its own folder, keeps its journal in the
// station folder, where every front end's run on that port finds it.
std::vector<std::pair<std::string, std::string>> port_child_environment(
    const std::string& records_option, const std::string& station, const std::string& front_end);

// What runs port N's run inside a child that is a copy of this process, as
// "run --port N ARGS" (with its trace file) would run it in the port's folder.
using PortRun = std::function<int(int port)>;

// Runs `child_args` (the run options without --port) on every port, each as
// "ffsload run --port N ARGS" in station/ports/N. With in_process, each port's
// child is a copy of this process that runs it (when this process has one
// thread): nothing is loaded again, and eight ports start in the time of one;
// without it, each child is the program port_program(). Prints each child's stdout
// line as "[N] LINE" on stdout and its stderr lines the same way on stderr,
// then one summary line per port. Returns 0 when every port ended green, 1
// when one did not, 2 when no run happened on any port, 128 + the signal
// when a SIGINT or SIGTERM was handed on to the ports.
// trace_base, when not empty, gives each port the trace file "TRACE_BASE.N";
// records_option is the --records value (see station_records_environment).
int run_on_ports(const std::vector<int>& ports, const std::vector<std::string>& child_args,
                 const std::string& trace_base = "", const std::string& records_option = "",
                 const PortRun& in_process = {});

}  // namespace multiport
