// One identity of each class of character that hides or reorders text, with
// what the refusal must name: the entry paths (panel, tile, command line,
// the repeat prompt) each try them all.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct HiddenIdentity {
  const char* what;  // for the failure message
  std::string text;
  std::string named;  // part of the refusal
  bool utf8 = true;   // a Qt field can only hold UTF-8
};

inline const std::vector<HiddenIdentity>& hidden_identities() {
  // The text after an escape is added apart: "\x1b01" would be one escape.
  static const std::vector<HiddenIdentity> samples{
      {"C0 control", std::string("SN\x1b") + "01", "U+001B, a control character"},
      {"C1 control", std::string("SN\xc2\x85") + "01", "U+0085, a control character"},
      {"bidirectional override", "SN\u202E10", "U+202E RIGHT-TO-LEFT OVERRIDE"},
      {"bidirectional isolate", "SN\u206710", "U+2067 RIGHT-TO-LEFT ISOLATE"},
      {"other format character", "SN\u200B01", "U+200B ZERO WIDTH SPACE"},
      {"malformed UTF-8", std::string("SN\xe9") + "01", "the byte 0xE9, which is not UTF-8", false},
  };
  return samples;
}

}  // namespace testing_support
