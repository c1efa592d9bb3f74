// trx4-screenshots: shows each window of TRX4 Remote in turn, connected to a
// unit at 127.0.0.1, and writes a picture of the screen around it, window
// manager frame included, to the given folder. scripts/screenshots runs it
// under Xvfb and a window manager.

#include "base/VerloException.h"
#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"
#include "model/ConfigurationDiff.h"
#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/MessageDialog.h"
#include "ui/settings/CAdvancedSettings.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/settings/Win32TabControl.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/CViewLog.h"
#include "ui/windows/ConfirmDownloadDialog.h"
#include "ui/windows/ConnectingDialog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/LoadSummaryDialog.h"
#include "ui/windows/OpenDeviceDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QWindow>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/types.h>

namespace {

// Lets the window system and the window manager catch up.
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

class Camera {
public:
    explicit Camera(const QString& folder) : folder_(folder) {}

    // Shows window, lets it settle, then writes NAME.png: the screen around
    // the window's frame and around extra (a list that is open), if given.
    void take(QWidget& window, const char* name, QWidget* extra = nullptr,
              int settleMilliseconds = 800) {
        window.show();
        window.raise();
        window.activateWindow();
        settle(settleMilliseconds);
        QRect area = window.frameGeometry();
        if (extra != nullptr) {
            area = area.united(extra->frameGeometry());
        }
        area.adjust(-8, -8, 8, 8);
        QScreen* screen = QGuiApplication::primaryScreen();
        area = area.intersected(screen->geometry());
        const QPixmap picture =
            screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        const QString path = QDir(folder_).filePath(QString::fromLatin1(name) + ".png");
        if (!picture.save(path)) {
            std::cerr << "trx4-screenshots: cannot write " << path.toStdString() << '\n';
            std::exit(1);
        }
        std::cout << path.toStdString() << '\n';
    }

private:
    QString folder_;
};

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    if (argc != 4) {
        std::cerr << "usage: trx4-screenshots FOLDER UNIT-PORT UNIT-PID\n"
                     "  FOLDER     where the pictures go\n"
                     "  UNIT-PORT  the TCP port of a unit listening on 127.0.0.1\n"
                     "  UNIT-PID   its process, stopped for a moment to show a silent unit\n";
        return 2;
    }
    const auto unitProcess = static_cast<pid_t>(std::atol(argv[3]));
    Camera camera(QString::fromLocal8Bit(argv[1]));
    const auto unitPort = static_cast<std::uint16_t>(std::atoi(argv[2]));
    const QString address = QStringLiteral("127.0.0.1");

    {
        // The first window, as at start-up, with its list open.
        OpenDeviceDialog connection;
        auto* list = connection.findChild<QComboBox*>(QStringLiteral("connection"));
        list->setCurrentIndex(ConnectionType::Ethernet);
        connection.findChild<QLineEdit*>(QStringLiteral("tcpAddress"))->setText(address);
        connection.show();
        // Until the window manager has framed and placed it.
        settle(1500);
        list->showPopup();
        camera.take(connection, "connection", list->view()->window());
        list->hidePopup();
    }

    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1, nullptr, unitPort);
    window.initialise();
    camera.take(window, "main-offline");
    if (!window.openDevice(ConnectionType::Ethernet, address, 1, false)) {
        std::cerr << "trx4-screenshots: no unit answers at 127.0.0.1:" << unitPort << '\n';
        return 1;
    }
    camera.take(window, "main-connected");
    {
        ConnectingDialog connecting(address, &window);
        camera.take(connecting, "connecting");
    }

    KORAParams& unit = *window.parameterSet();
    KORAExceptionHandler& handler = window.exceptionHandler();
    {
        CBasicSettings settings(&unit, &window, &handler);
        camera.take(settings, "settings");
    }
    {
        CAdvancedSettings advanced(&unit, &handler, &window);
        const char* const pages[] = {"advanced-1", "advanced-2", "advanced-3"};
        for (int page = 0; page < advanced.tabControl()->tabBar()->count() && page < 3; ++page) {
            advanced.tabControl()->tabBar()->setCurrentIndex(page);
            camera.take(advanced, pages[page]);
        }
    }
    {
        GenericProtocol& protocol = *unit.protocol();
        CViewLog log(protocol.getEventLog(), protocol.getErrorLog(), &window);
        camera.take(log, "log");
    }
    {
        CDownload update(unit, window, handler, Clock::system(), &window);
        camera.take(update, "update");
        // An image whose payload names its version, as a release's does.
        const QTemporaryDir folder;
        const std::string path =
            QDir(folder.path()).filePath(QStringLiteral("trx4-1.5.0.0.bin")).toStdString();
        std::string bytes = std::string(FirmwareImage::headerSize, '\0') + "FW:1.5.0.0" +
                            std::string(200000, '\x5a');
        const MD5Validator::Digest digest =
            MD5Validator::digest(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        bytes.append(digest.begin(), digest.end());
        std::ofstream(path, std::ios::binary) << bytes;
        const MD5Validator validator;
        const FirmwareImage image(path, validator);
        ConfirmDownloadDialog confirm(QStringLiteral("trx4-1.5.0.0.bin"), image, &update);
        camera.take(confirm, "update-confirm");
    }
    {
        // What a load would change, as the window asks before writing.
        ParameterValueMap file = ConfigurationDiff::saved(unit);
        file.insert_or_assign(ParameterId(0x0300), ParameterValue(3));
        file.insert_or_assign(ParameterId(0x0303), ParameterValue(64));
        LoadSummaryDialog summary(
            QStringLiteral("/home/operator/screen-2.trx"),
            ConfigurationDiff::between(unit, ConfigurationDiff::saved(unit), file), &window);
        camera.take(summary, "load-summary");
    }
    {
        MessageDialog refused(MessageDialog::kTemplateId,
                              QStringLiteral("The TRX4 refused Cinema Processor \"Arvo B\" (Error: "
                                             "Illegal Parameter Value). Cinema Processor shows "
                                             "the TRX4's value again: \"Verlo\"."),
                              &window);
        camera.take(refused, "refused-value");
    }
    {
        ErrorDialog error(QString::fromUtf8(ConnectionClosedException::closed), &window);
        camera.take(error, "error");
    }
    // Last, as the window drops a unit silent a second longer: the unit
    // stopped, the window dimmed.
    ::kill(unitProcess, SIGSTOP);
    QElapsedTimer silent;
    silent.start();
    while (!window.isStale() && silent.elapsed() < 3500) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    camera.take(window, "main-stale", nullptr, 300);
    ::kill(unitProcess, SIGCONT);
    return 0;
}
