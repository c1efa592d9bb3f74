#pragma once

#include <QPixmap>

// The application's bitmaps, compiled in and looked up by their numeric ids:
// backgrounds 136 (dialogs) and 155 (main window), the LEDs 147 (on), 4014
// (off) and 148 (error), the program icon 128 and the dialog headings.
class BitmapResource {
public:
    static bool contains(int id);
    // The bitmap; throws VerloException "Unable to load the bitmap with id: "
    // followed by the id when there is none.
    static QPixmap load(int id);
};
