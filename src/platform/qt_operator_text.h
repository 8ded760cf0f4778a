// Operator texts (operator_text.h) in the language of the installed
// translators: the catalogue's source text translated in the context
// "OperatorText", then its %1..%n filled with the arguments.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "platform/operator_text.h"

namespace platform {

QString translated(const OperatorText& text);
QString translated(const std::vector<OperatorText>& lines);  // one a line

// English lines as a lower layer printed them (a port's child tells the grid
// its notices so): each line that a catalogue text rendered is translated,
// any other is shown as it is.
QString translated_english(const std::string& english);

}  // namespace platform
