#include <array>

#include "ui/operator_callbacks.h"

namespace ui {

namespace {
constexpr std::array<platform::CallbackEntry, 8> kCallbacks{{
    {"customer", customer},
    {"COMPORT", COMPORT},
    {"RUN", RUN},
    {"EXIT", EXIT},
    {"Save", Save},
    {"YIELD", YIELD},
    {"UNIT", UNIT},
    {"OPERATOR", OPERATOR},
}};
}  // namespace

std::span<const platform::CallbackEntry> callback_table() {
  return kCallbacks;
}

}  // namespace ui
