#include "ui/windows/KORAExceptionHandler.h"

#include "ui/look/MessageDialog.h"
#include "ui/windows/ModalRunner.h"
#include "ui/windows/UnitWindow.h"

#include <QCoreApplication>
#include <QDialog>

#include <algorithm>

KORAExceptionHandler::KORAExceptionHandler(UnitWindow& mainWindow)
    : ExceptionHandler(&mainWindow), mainWindow_(mainWindow) {}

KORAExceptionHandler::~KORAExceptionHandler() = default;

void KORAExceptionHandler::handleVerloException(VerloException& exception) {
    if (busy()) {
        return;
    }
    const bool wasPolling = mainWindow_.stopPolling();
    ErrorDialog dialog(QString::fromStdString(exception.what()), &mainWindow_);
    dropConnection();
    ModalRunner::run(dialog);
    if (wasPolling) {
        mainWindow_.startPolling();
    }
}

void KORAExceptionHandler::handleHostException(HostException& exception) {
    if (busy()) {
        return;
    }
    tell(exception.what());
}

void KORAExceptionHandler::handleFileException(FileException& exception) {
    tell(exception.what());
}

void KORAExceptionHandler::tell(const std::string& message) {
    const bool wasPolling = mainWindow_.stopPolling();
    MessageDialog dialog(MessageDialog::kTemplateId, QString::fromStdString(message), &mainWindow_);
    ModalRunner::run(dialog);
    if (wasPolling) {
        mainWindow_.startPolling();
    }
}

void KORAExceptionHandler::handleUnknownException() {
    mainWindow_.stopPolling();
    MessageDialog dialog(MessageDialog::kTemplateId, QString::fromUtf8(kApplicationError),
                         &mainWindow_);
    ModalRunner::run(dialog);
    // Queued, so that the program ends once this handler has returned to the
    // event loop; exit() ends every nested loop, the main window's included.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void KORAExceptionHandler::handleFatalFailure(VerloException& /*exception*/) {
    const bool wasPolling = mainWindow_.stopPolling();
    MessageDialog dialog(MessageDialog::kTemplateId, QString::fromUtf8(kHardwareFailure),
                         &mainWindow_);
    dropConnection();
    ModalRunner::run(dialog);
    if (wasPolling) {
        mainWindow_.startPolling();
    }
}

void KORAExceptionHandler::handleProtocolException(ProtocolException& exception) {
    if (busy()) {
        return;
    }
    // The off-line re-open inside cannot fail: the window's open is guarded.
    handleVerloException(exception);
}

void KORAExceptionHandler::registerWindow(QWidget* window) {
    openWindows_.emplace_back(window);
}

void KORAExceptionHandler::unregisterWindow(QWidget* window) {
    std::erase_if(openWindows_,
                  [window](const QPointer<QWidget>& entry) { return entry == window; });
}

void KORAExceptionHandler::closeOpenWindows() {
    for (const QPointer<QWidget>& window : openWindows_) {
        if (window == nullptr) {
            continue;
        }
        // The window is the call's context: a window gone by then is skipped.
        QWidget* target = window;
        QMetaObject::invokeMethod(
            target,
            [target] {
                if (auto* dialog = qobject_cast<QDialog*>(target)) {
                    dialog->reject();
                } else {
                    target->close();
                }
            },
            Qt::QueuedConnection);
    }
    openWindows_.clear();
}

void KORAExceptionHandler::dropConnection() {
    mainWindow_.goOffLine();
    closeOpenWindows();
}
