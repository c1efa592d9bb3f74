#pragma once

class QWidget;

// Which buttons a window's frame offers besides the close box.
enum class FrameButtons { CloseOnly, MinimiseAndClose };

// The windows are fixed layouts, as their templates were: this fixes the
// window's size to its layout's (following the layout if its contents
// change) and leaves the frame no maximise button, and a minimise button only
// where buttons asks for one; a window without one that is minimised all the
// same is shown again at once. Call once the window's layout is built.
void fixWindowFrame(QWidget& window, FrameButtons buttons);
