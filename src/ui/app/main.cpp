// trx4-remote: the TRX4 Remote application.

#include "ui/app/CKORARemoteGUIApp.h"
#include "ui/look/ApplicationProfile.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // A unit that drops the connection must not end the program through a
    // write on its socket; the failed write is reported as an error instead.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QString::fromUtf8(ApplicationProfile::kOrganisation));
    QApplication::setApplicationName(QString::fromUtf8(ApplicationProfile::kApplication));
    CKORARemoteGUIApp app;
    app.initInstance();
    return 0;
}
