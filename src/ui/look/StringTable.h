#pragma once

#include <QString>

// The application's string resources, looked up by their numeric ids (the
// combo box lists, the about-box menu entry and the firmware warning).
class StringTable {
public:
    // The text of the string; throws VerloException "Unable to load the
    // string with id: " followed by the id when the table has none.
    static QString load(int id);
};
