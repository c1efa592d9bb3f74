#include "ui/app/CKORARemoteGUIApp.h"

#include "base/VerloException.h"
#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/WindowStack.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/ModalRunner.h"
#include "ui/windows/OpenDeviceDialog.h"

#include <QDialog>

namespace {

const QString kMessageCaption = QStringLiteral("TRX4 Remote");

} // namespace

bool CKORARemoteGUIApp::initInstance() {
    int type = ConnectionType::OffLine;
    QString address;
    int port = 1;
    {
        // The dialog stores the operator's choice when it goes, also after Cancel.
        OpenDeviceDialog dialog;
        if (ModalRunner::run(dialog) != QDialog::Accepted) {
            return false;
        }
        type = dialog.connectionType();
        address = dialog.tcpAddress();
        port = dialog.serialPort();
    }
    try {
        CKORARemoteGUIDlg window(type, address, port);
        window.initialise();
        ModalRunner::run(window);
        WindowStack::destroyInstance();
    } catch (const VerloException& exception) {
        ModalRunner::message(nullptr, kMessageCaption, QString::fromStdString(exception.what()));
    } catch (...) {
        ModalRunner::message(nullptr, kMessageCaption,
                             QString::fromUtf8(KORAExceptionHandler::kApplicationError));
    }
    return false;
}
