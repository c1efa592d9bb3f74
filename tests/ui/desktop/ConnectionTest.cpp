// The main window against the unit emulator on a real display: connecting
// never stops it answering, a silent unit looks stale and then goes off line,
// and a lost unit comes back by itself. A 10 ms timer in the window measures
// the longest time the window did not answer.

#include "UnitProcess.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/ControlId.h"
#include "ui/windows/ConnectingDialog.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// A listener that accepts nobody, its queue full: a connection waits unanswered.
struct FullListener : LoopbackSocket {
    FullListener() {
        ::listen(socket_, 0);
        sockaddr_in address{AF_INET, htons(port_), {htonl(INADDR_LOOPBACK)}, {}};
        for (int& client : clients) {
            client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~FullListener() {
        for (int client : clients) {
            ::close(client);
        }
    }
    int clients[4];
};

TEST(DesktopConnection, TheWindowAnswersWhileConnectingDimsASilentUnitAndReconnects) {
    TemporaryProfile profile;
    // One message only: the unit that stopped answering is lost.
    ScriptedModalRunner runner;
    runner.answerDialog([](QDialog&) {});
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    window.initialise();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    bool measuring = false;
    QTimer ticks(&window);
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longest = std::max(longest, measuring ? sinceTick.restart() : 0); });
    ticks.start(10);
    const auto waitFor = [&](const std::function<bool()>& condition,
                             std::chrono::milliseconds limit) {
        QEventLoop loop;
        QTimer check;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (condition() || waited.elapsed() > limit.count()) {
                loop.quit();
            }
        });
        check.start(5);
        sinceTick.start();
        measuring = true;
        loop.exec();
        measuring = false;
        longest = std::max(longest, sinceTick.elapsed());
        return condition();
    };
    const auto label = [&](int id) { return findControl<QLabel>(&window, id)->text(); };
    // Opens the unit from the event loop, so that the time it takes is measured.
    const auto openUnit = [&](const QString& address) {
        bool done = false;
        QTimer::singleShot(0, [&] {
            window.openDevice(ConnectionType::Ethernet, address, 1, false);
            done = true;
        });
        return waitFor([&] { return done; }, 10s);
    };

    {
        const FullListener full;
        const QString address = QStringLiteral("127.0.0.1:%1").arg(full.port());
        QElapsedTimer cancelled;
        QTimer::singleShot(600ms, [&] {
            auto* dialog = window.findChild<ConnectingDialog*>();
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(findControl<QLabel>(dialog, ConnectingDialog::kMessageText)->text(),
                      QStringLiteral("Connecting to %1\u2026").arg(address));
            cancelled.start();
            findControl<QAbstractButton>(dialog, ConnectingDialog::kCancelButton)->click();
        });
        ASSERT_TRUE(openUnit(address));
        EXPECT_LT(cancelled.elapsed(), 100);
        EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionTypeText), "Off Line");
    }

    auto unit = std::make_unique<UnitProcess>(
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--status-interval-ms", "0"});
    const std::string address = "127.0.0.1:" + std::to_string(unit->port());
    ASSERT_TRUE(openUnit(QString::fromStdString(address)));
    // Answering pings only, it never looks stale.
    EXPECT_FALSE(waitFor([&] { return window.isStale(); }, 4500ms));
    QElapsedTimer stopped;
    for (const bool resume : {true, false}) {
        ::kill(unit->pid(), SIGSTOP);
        stopped.start();
        ASSERT_TRUE(waitFor([&] { return window.isStale(); }, 4s));
        // Dimmed at 3 s of silence; the rest is slack for a busy machine.
        EXPECT_LE(stopped.elapsed(), 3500);
        EXPECT_FALSE(findControl<QWidget>(&window, CKORARemoteGUIDlg::kFirstMeter)->isEnabled());
        EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText),
                  "No answer from the TRX4 for 3 s");
        if (resume) {
            ::kill(unit->pid(), SIGCONT);
            EXPECT_TRUE(waitFor([&] { return !window.isStale(); }, 500ms));
        }
    }
    ASSERT_TRUE(waitFor([&] { return window.connectionType() == ConnectionType::OffLine; }, 3s));
    EXPECT_LE(stopped.elapsed(), 5000);
    EXPECT_TRUE(findControl<QWidget>(&window, CKORARemoteGUIDlg::kFirstMeter)->isEnabled());
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText),
              QString::fromStdString("Reconnecting to " + address + " (attempt 1)\u2026"));
    // Gone for good, then back on the same port: the window reconnects.
    unit->stop(SIGKILL);
    unit = std::make_unique<UnitProcess>(std::vector<std::string>{"--listen", address});
    ASSERT_TRUE(waitFor([&] { return window.connectionType() == ConnectionType::Ethernet; }, 10s));
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionAddressText), QString::fromStdString(address));
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText), "");
    std::cout << "longest unanswered: " << longest << " ms\n";
    EXPECT_LT(longest, 1000);
}

} // namespace
