#include "support/process_tree.h"

#include <signal.h>

#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

void kill_process_tree(pid_t pid) {
  const std::string id = std::to_string(pid);
  std::ifstream in("/proc/" + id + "/task/" + id + "/children");
  const std::string children{std::istreambuf_iterator<char>(in), {}};
  ::kill(pid, SIGSTOP);
  std::size_t start = 0;
  while (start < children.size()) {
    const auto end = children.find(' ', start);
    const std::string number = children.substr(start, end - start);
    if (!number.empty()) kill_process_tree(static_cast<pid_t>(std::stol(number)));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  ::kill(pid, SIGKILL);
}

}  // namespace testing_support
