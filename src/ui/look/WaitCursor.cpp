#include "ui/look/WaitCursor.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

WaitCursor::WaitCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->repaint();
        }
    }
    // On X11 requests wait in a buffer that only the event loop sends: the
    // cursor, the unmapping of a closed dialog and the paint go out now.
    // (Other platforms, offscreen among them, may answer without a connection.)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr) {
        xcb_flush(x11->connection());
    }
}

WaitCursor::~WaitCursor() {
    QGuiApplication::restoreOverrideCursor();
}
