#pragma once

// Shows the wait cursor for its lifetime, which covers one blocking operation
// with the unit (also when the operation throws). Made before the operation
// blocks, it paints every visible window and hands what is pending to the
// window system at once: the event loop, which would otherwise do both, does
// not run until the operation ends, and must not run in it (the poll timer
// and clicks would re-enter). So a dialog closed just before leaves no image
// behind. End it before a failure is reported, so that the operator reads
// the message with the normal cursor.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();

    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
