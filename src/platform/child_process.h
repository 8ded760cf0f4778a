// Child processes that a front end watches: started with their standard
// input, output and error on pipes, waited for without blocking, signalled.
// The supervisor of several ports uses it; nothing above this layer calls
// fork, exec, pipe, poll or waitpid itself.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct ChildPipes {
  pid_t pid = -1;
  int in_fd = -1;   // the child's standard input, for writing
  int out_fd = -1;  // its standard output, for reading
  int err_fd = -1;  // its standard error, for reading
};

// Starts program with args (argv[0] is program) in the folder cwd ("" for
// this one), in a process group of its own so that a Ctrl-C at the terminal
// reaches the caller alone. nullopt with *error set when it cannot start.
// `environment` holds variables set (or replaced) in the child's environment,
// so that what a child must know need not stand in its arguments, which
// every user of the machine can read.
std::optional<ChildPipes> start_child(
    const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
    const std::vector<std::pair<std::string, std::string>>& environment, std::string* error);

// The same, with `body` in place of a program: the child is a copy of this
// process, which runs body with its standard input, output and error on the
// pipes and exits with what body returns. Nothing is loaded again, so a
// child starts in a fraction of a program's time. Only for a caller with one
// thread: another thread's locks would stay held in the copy. Files this
// process holds open are closed in the child, as an exec would close them.
std::optional<ChildPipes> start_child_function(
    const std::function<int()>& body, const std::string& cwd,
    const std::vector<std::pair<std::string, std::string>>& environment, std::string* error);

// How many threads this process runs now (0 when that cannot be read).
int threads_of_this_process();

// Replaces this process with program and args (argv[0] is program), with the
// same environment, folder and open files. Returns only when that fails,
// with the reason.
std::string replace_process(const std::string& program, const std::vector<std::string>& args);

// Waits up to timeout_ms until some of fds can be read (or were closed);
// returns their indexes. Negative fds are skipped.
std::vector<std::size_t> wait_readable(std::span<const int> fds, int timeout_ms);

// Reads what is there: the byte count, 0 at the end, -1 on an error or an
// interrupted read (errno says which).
long read_some(int fd, char* buffer, std::size_t size);

// Writes all of text; a reader that has gone is a failed write, never a
// SIGPIPE that ends the caller.
bool write_to_child(int fd, const std::string& text);

void close_fd(int& fd);
void signal_process(pid_t pid, int signal_number);

struct ChildExit {
  int exit_code = -1;     // when it exited
  int signal_number = 0;  // when a signal ended it
};
// The end of a child: waits for it when `block`, else nullopt while it runs.
std::optional<ChildExit> reap_child(pid_t pid, bool block);

// Milliseconds of the monotonic clock, for watches on real processes
// whatever clock the logic runs on.
long monotonic_ms();
void nap_ms(int ms);

}  // namespace platform
