#include "ui/look/WindowFrame.h"

#include <QEvent>
#include <QLayout>
#include <QTimer>
#include <QWidget>

namespace {

// Some window managers (openbox among them) offer to minimise every window
// whatever it asks for; a dialog they minimise comes straight back, so a
// modal one cannot vanish while the application waits for it.
class MinimiseRefusal : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::WindowStateChange && window->isMinimized()) {
            // Once the window manager has finished minimising it.
            QTimer::singleShot(0, window, [window] {
                window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
                window->show();
            });
        }
        return false;
    }
};

} // namespace

void fixWindowFrame(QWidget& window, FrameButtons buttons) {
    window.layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Customised, so that the frame shows exactly the buttons named here.
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (buttons == FrameButtons::MinimiseAndClose) {
        flags |= Qt::WindowMinimizeButtonHint;
    } else {
        window.installEventFilter(new MinimiseRefusal(&window));
    }
    window.setWindowFlags((window.windowFlags() & Qt::WindowType_Mask) | flags);
}
