#include "ui/look/StringTable.h"

#include "base/VerloException.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

struct StringEntry {
    int id;
    const char* text; // UTF-8
};

// Sorted by id. Where two lists meet (208) they share the entry.
constexpr std::array kStrings{
    StringEntry{101, "&About KORARemoteGUI..."},
    // Output channels, in the order of the channel assignment lists.
    StringEntry{104, "Left"},
    StringEntry{105, "Right"},
    StringEntry{106, "Center"},
    StringEntry{107, "Subwoofer"},
    StringEntry{108, "Left Surround"},
    StringEntry{109, "Right Surround"},
    StringEntry{110, "Left Extra"},
    StringEntry{111, "Right Extra"},
    // Cinema processors.
    StringEntry{112, "Arvo A"},
    StringEntry{113, "Arvo B"},
    StringEntry{114, "Arvo C"},
    StringEntry{115, "Arvo D"},
    StringEntry{116, "Arvo E"},
    StringEntry{117, "Arvo F"},
    StringEntry{118, "Other 1"},
    StringEntry{119, "Other 2"},
    StringEntry{120, "Custom"},
    // Automation pins 1 to 8, then "Unassigned", which also starts the
    // digital input list.
    StringEntry{200, "1"},
    StringEntry{201, "2"},
    StringEntry{202, "3"},
    StringEntry{203, "4"},
    StringEntry{204, "5"},
    StringEntry{205, "6"},
    StringEntry{206, "7"},
    StringEntry{207, "8"},
    StringEntry{208, "Unassigned"},
    StringEntry{209, "Coaxial S/PDIF"},
    StringEntry{210, "Optical S/PDIF"},
    StringEntry{211, "SDI"},
    StringEntry{212, "4x AES/EBU"},
    StringEntry{213, "1x AES/EBU"},
    // Presentation languages.
    StringEntry{22400, "English"},
    StringEntry{22401, "Cantonese"},
    StringEntry{22402, "French"},
    StringEntry{22403, "German"},
    StringEntry{22404, "Italian"},
    StringEntry{22405, "Japanese"},
    StringEntry{22406, "Mandarin"},
    StringEntry{22407, "Spanish"},
    StringEntry{22500, "You are about to update the software on your TRX4.\n"
                       "This process CANNOT be interrupted or the TRX4 will become inoperable.\n"
                       "\n"
                       "Are you sure you want to continue?"},
};

// Strictly increasing ids, so that the binary search finds every entry.
static_assert(std::adjacent_find(kStrings.begin(), kStrings.end(),
                                 [](const StringEntry& a, const StringEntry& b) {
                                     return a.id >= b.id;
                                 }) == kStrings.end());

} // namespace

QString StringTable::load(int id) {
    const auto found =
        std::lower_bound(kStrings.begin(), kStrings.end(), id,
                         [](const StringEntry& entry, int wanted) { return entry.id < wanted; });
    if (found == kStrings.end() || found->id != id) {
        throw VerloException("Unable to load the string with id: " + std::to_string(id));
    }
    return QString::fromUtf8(found->text);
}
