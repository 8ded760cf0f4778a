// ffsload: loads and checks a handset's flash file system over a serial line.
#include <cstdio>
#include <cstring>
#include <exception>

#include "ui/command_line.h"

int main(int argc, char** argv) {
  try {
    if (argc >= 2 && std::strcmp(argv[1], "run") == 0) {
      return ui::run_command(argc - 2, argv + 2);
    }
    std::fprintf(stderr,
                 "usage: ffsload run --port N --script FILE [--device PATH] [--save] [--trace]\n"
                 "(the operator panels are not part of this build)\n");
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ffsload: %s\n", e.what());
    return 2;
  }
}
