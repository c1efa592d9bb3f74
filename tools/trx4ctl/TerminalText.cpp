#include "TerminalText.h"

#include <cstdio>

std::string TerminalText::escaped(const std::string& text, bool keepLayout) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool layout =
            c == '\n' || c == '\t' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
        if ((c >= 0x20 && c != 0x7F) || (keepLayout && layout)) {
            shown += text[i];
            continue;
        }
        char code[5];
        std::snprintf(code, sizeof code, "\\x%02X", c);
        shown += code;
    }
    return shown;
}
