#include "UnitProcess.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/app/CKORARemoteGUIApp.h"
#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/MessageDialog.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/windows/KORAExceptionHandler.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testing::Contains;

// "Ethernet 127.0.0.1", "Serial COM3", "Off Line": what the window shows.
QString shown(const QWidget& window) {
    return (findControl<QLabel>(&window, CKORARemoteGUIDlg::kConnectionTypeText)->text() + ' ' +
            findControl<QLabel>(&window, CKORARemoteGUIDlg::kConnectionAddressText)->text())
        .trimmed();
}

// Serial, then Ethernet to a unit that refuses every change and
// finally goes away; then a unit that cannot be reached at all.
TEST(MainWindowConnection, TheWindowConnectsOverSerialAndEthernetUntilTheUnitGoes) {
    TemporaryProfile profile;
    ScriptedModalRunner runner;
    // The serial unit is behind a pseudo-terminal, reached as COM3.
    const UnitProcess serialUnit({"--pty"});
    profile.set(QStringLiteral("Serial Ports/COM3"),
                QString::fromStdString(serialUnit.firstLine()));
    UnitProcess tcpUnit({"--listen", "127.0.0.1:0", "--set-error", "2"});
    // Type 3 is serial as well.
    CKORARemoteGUIDlg window(ConnectionType::SerialAlternate, QString(), 3, nullptr,
                             tcpUnit.port());
    window.initialise();
    EXPECT_EQ(shown(window), "Serial COM3");
    window.pollTick();
    window.stopPolling();
    window.closeDevice();
    ASSERT_TRUE(window.openDevice(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, false));
    EXPECT_EQ(shown(window), "Ethernet 127.0.0.1");
    {
        // A refused change: the unit's words are shown while polling pauses,
        // without going off line, and the list shows the unit's value again.
        CBasicSettings settings(window.parameterSet(), &window, &window.exceptionHandler());
        runner.answerDialog([&window](QDialog&) { EXPECT_EQ(window.pollTimer(), 0); });
        auto* language = findControl<QComboBox>(&settings, CBasicSettings::kLanguageList);
        language->setCurrentIndex(2);
        emit language->activated(2);
        EXPECT_THAT(runner.dialogs().at(0).texts.join('|').toStdString(),
                    testing::MatchesRegex("The TRX4 refused .*Illegal Parameter Value[^|]*"));
        EXPECT_EQ(language->currentIndex(), 0);
    }
    EXPECT_NE(window.pollTimer(), 0);
    // The unit goes away: one error dialog, then off line, still polling.
    tcpUnit.stop();
    runner.answerDialog([](QDialog&) {});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (runner.dialogs().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        window.pollTick();
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_EQ(shown(window), "Off Line");
    EXPECT_TRUE(window.isReconnecting());
    EXPECT_EQ(runner.dialogs().size(), 2u);
    EXPECT_NE(window.pollTimer(), 0);

    // A unit unreachable at start-up: one error, then off line.
    const RefusingPort refusing;
    runner.clickInDialog(MessageDialog::kOkButton);
    CKORARemoteGUIDlg unreachable(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                                  refusing.port());
    unreachable.initialise();
    ASSERT_EQ(runner.dialogs().size(), 3u);
    EXPECT_THAT(runner.dialogs()[2].texts, Contains(QString(ErrorDialog::kMessage)));
    EXPECT_EQ(shown(unreachable), "Off Line");
    EXPECT_FALSE(unreachable.isReconnecting());
    EXPECT_NE(unreachable.pollTimer(), 0);

    // As while the unit reboots after a firmware transfer: the handler is
    // busy, so a failed attempt passes silently.
    unreachable.exceptionHandler().setBusy(true);
    HostException refused("refused");
    unreachable.exceptionHandler().handleHostException(refused);

    // The connection dialog enables only the chosen connection's control.
    // Cancelling it ends the program before any main window opens, but the
    // choice made in it is stored all the same.
    runner.answerDialog([](QDialog& dialog) {
        auto* connection = dialog.findChild<QComboBox*>(QStringLiteral("connection"));
        auto* port = dialog.findChild<QComboBox*>(QStringLiteral("port"));
        auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("tcpAddress"));
        for (const auto& [type, addressEnabled, portEnabled] :
             {std::tuple{0, true, false}, {2, false, false}, {1, false, true}}) {
            connection->setCurrentIndex(type);
            EXPECT_EQ(address->isEnabled(), addressEnabled) << type;
            EXPECT_EQ(port->isEnabled(), portEnabled) << type;
        }
        dialog.findChild<QAbstractButton*>(QStringLiteral("reconnect"))->click();
        findControl<QAbstractButton>(&dialog, OpenDeviceDialog::kCancelButton)->click();
    });
    EXPECT_FALSE(CKORARemoteGUIApp().initInstance());
    EXPECT_EQ(ApplicationProfile::open()->value(QStringLiteral("Settings/connection type")).toInt(),
              ConnectionType::Serial);
    EXPECT_FALSE(ApplicationProfile::open()->value(CKORARemoteGUIDlg::kReconnectKey).toBool());
}

} // namespace
