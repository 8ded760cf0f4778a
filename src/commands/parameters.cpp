#include "commands/parameters.h"

#include "commands/command_support.h"

namespace commands {

int stw(const std::string& line, const std::string&, const std::string&, const std::string&,
        const std::string&, const std::string&, const std::string&, const std::string&) {
  return not_supported(line);
}
int str(const std::string& line, const std::string&, const std::string&, const std::string&,
        const std::string&, const std::string&, const std::string&, const std::string&) {
  return not_supported(line);
}
int cw(const std::string& line, const std::string&, const std::string&, const std::string&) {
  return not_supported(line);
}
int cr(const std::string& line, const std::string&, const std::string&) {
  return not_supported(line);
}
int spw(const std::string& line, const std::string&, const std::string&) {
  return not_supported(line);
}
int rfe(const std::string& line, const std::string&) { return not_supported(line); }
int agcdac(const std::string& line) { return not_supported(line); }

}  // namespace commands
