#pragma once

#include <string>

// Text from the unit (names, addresses, logs) is shown with its control
// characters escaped, so that it cannot move the cursor, recolour or retitle
// the operator's terminal.
namespace TerminalText {

// Control characters and DEL as "\xHH". With keepLayout, line feeds, tabs
// and a carriage return before a line feed stay as they are.
std::string escaped(const std::string& text, bool keepLayout = false);

} // namespace TerminalText
