#include "UnitProcess.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/look/MessageDialog.h"
#include "ui/windows/CKORARemoteGUIApp.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/KORAExceptionHandler.h"

#include <QApplication>
#include <QLabel>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;

const ParameterId surroundDelay(std::uint16_t{0x0303});

QString text(const QWidget& window, int id) {
    const auto* label = findControl<QLabel>(&window, id);
    return label != nullptr ? label->text() : QStringLiteral("<missing %1>").arg(id);
}

class MainWindowConnection : public testing::Test {
protected:
    std::unique_ptr<UnitProcess> startTcpUnit() {
        return std::make_unique<UnitProcess>(std::vector<std::string>{"--listen", "127.0.0.1:0"});
    }
    // A unit behind a pseudo-terminal, reached as serial port COM<port>.
    std::unique_ptr<UnitProcess> startSerialUnit(int port) {
        auto unit = std::make_unique<UnitProcess>(std::vector<std::string>{"--pty"});
        profile.set(QStringLiteral("Serial Ports/COM%1").arg(port),
                    QString::fromStdString(unit->firstLine()));
        return unit;
    }

    TemporaryProfile profile;
};

TEST_F(MainWindowConnection, OffLineAtStartPollsTheSimulatedUnit) {
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    window.initialise();
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Off Line");
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionAddressText), "");
    ASSERT_NE(window.parameterSet(), nullptr);
    EXPECT_FALSE(window.parameterSet()->hasDevice());
    EXPECT_EQ(window.parameterSet()->findParameter(surroundDelay).value(), ParameterValue(20));
    EXPECT_EQ(window.pollTimer(), CKORARemoteGUIDlg::kPollTimerId);
    window.pollTick();
    EXPECT_EQ(window.stopPolling(), true);
    EXPECT_EQ(window.stopPolling(), false);
    // Without a connection a tick has nothing to poll.
    window.closeDevice();
    window.pollTick();
    EXPECT_EQ(window.parameterSet(), nullptr);
}

TEST_F(MainWindowConnection, EthernetAndSerialConnectToTheUnit) {
    const auto tcpUnit = startTcpUnit();
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             tcpUnit->port());
    window.initialise();
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Ethernet");
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionAddressText), "127.0.0.1");
    EXPECT_TRUE(window.parameterSet()->hasDevice());
    for (int tick = 0; tick < 5; ++tick) {
        window.pollTick();
    }

    const auto serialUnit = startSerialUnit(3);
    window.stopPolling();
    window.closeDevice();
    ASSERT_TRUE(window.openDevice(ConnectionType::Serial, QString(), 3, false));
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Serial");
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionAddressText), "COM3");
    EXPECT_TRUE(window.parameterSet()->hasDevice());
    EXPECT_EQ(window.parameterSet()->findParameter(surroundDelay).value(), ParameterValue(20));
    window.pollTick();
    EXPECT_NE(window.pollTimer(), 0);

    // Reopening keeps the connection's settings.
    window.stopPolling();
    ASSERT_TRUE(window.reopenDevice(false));
    EXPECT_EQ(window.connectionType(), ConnectionType::Serial);
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionAddressText), "COM3");
}

TEST_F(MainWindowConnection, AnUnreachableUnitShowsOneErrorThenRunsOffLine) {
    const RefusingPort refusing;
    ScriptedModalRunner runner;
    runner.clickInDialog(MessageDialog::kOkButton);
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             refusing.port());
    window.initialise();
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_THAT(runner.dialogs()[0].texts, testing::Contains(QString(ErrorDialog::kMessage)));
    EXPECT_EQ(window.connectionType(), ConnectionType::OffLine);
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Off Line");
    EXPECT_TRUE(window.tcpAddress().isEmpty());
    EXPECT_FALSE(window.parameterSet()->hasDevice());
    EXPECT_NE(window.pollTimer(), 0);
    window.pollTick();
}

TEST_F(MainWindowConnection, KeepingTheTypeOnFailureDoesNotPoll) {
    // As while the unit reboots after a firmware transfer: the handler is
    // busy, so the failed attempts pass silently.
    const RefusingPort refusing;
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1, nullptr, refusing.port());
    window.initialise();
    window.exceptionHandler().setBusy(true);
    window.stopPolling();
    window.closeDevice();
    EXPECT_FALSE(window.openDevice(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, true));
    EXPECT_EQ(window.connectionType(), ConnectionType::Ethernet);
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Ethernet");
    EXPECT_EQ(window.pollTimer(), 0);
    ASSERT_NE(window.parameterSet(), nullptr);
    EXPECT_FALSE(window.reopenDevice(true));
    EXPECT_EQ(window.pollTimer(), 0);
}

TEST_F(MainWindowConnection, ADroppedUnitGivesOneErrorDialogAndOffLine) {
    auto unit = startTcpUnit();
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             unit->port());
    window.initialise();
    ASSERT_EQ(window.connectionType(), ConnectionType::Ethernet);
    QDialog settings(&window);
    settings.show();
    window.exceptionHandler().registerWindow(&settings);
    unit->stop();

    ScriptedModalRunner runner;
    runner.clickInDialog(MessageDialog::kOkButton);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (runner.dialogs().empty() && std::chrono::steady_clock::now() < deadline) {
        window.pollTick();
        std::this_thread::sleep_for(30ms);
    }
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(text(window, CKORARemoteGUIDlg::kConnectionTypeText), "Off Line");
    QApplication::processEvents();
    EXPECT_FALSE(settings.isVisible());
    for (int tick = 0; tick < 5; ++tick) {
        window.pollTick();
    }
    EXPECT_EQ(runner.dialogs().size(), 1u);
    EXPECT_NE(window.pollTimer(), 0);
}

// The whole start-up: the connection dialog with the stored choice, then
// the main window until the operator leaves.
class StartUp : public MainWindowConnection {
protected:
    // Runs the application; returns the connection type text the main window
    // showed, or "" when it never opened.
    QString run(bool confirm) {
        ScriptedModalRunner runner;
        runner.clickInDialog(confirm ? OpenDeviceDialog::kOkButton
                                     : OpenDeviceDialog::kCancelButton);
        QString shown;
        if (confirm) {
            runner.answerDialog([&shown](QDialog& window) {
                shown = text(window, CKORARemoteGUIDlg::kConnectionTypeText);
                findControl<QAbstractButton>(&window, CKORARemoteGUIDlg::kExitButton)->click();
            });
        }
        EXPECT_FALSE(CKORARemoteGUIApp().initInstance());
        return shown;
    }
};

TEST_F(StartUp, StoredType3OpensSerialAndType7OpensOffLine) {
    const auto unit = startSerialUnit(1);
    profile.set(QStringLiteral("Settings/connection type"), 3);
    EXPECT_EQ(run(true), "Serial");
    profile.set(QStringLiteral("Settings/connection type"), 7);
    EXPECT_EQ(run(true), "Off Line");
}

TEST_F(StartUp, CancelEndsTheProgramWithoutAMainWindow) {
    EXPECT_EQ(run(false), "");
    EXPECT_EQ(profile.get(QStringLiteral("Settings/connection type")).toInt(),
              ConnectionType::OffLine);
}

} // namespace
