// The main window against the unit emulator on a real display: connecting
// never stops it answering, a silent unit looks stale and then goes off line,
// and a lost unit comes back by itself. A 10 ms timer in the window measures
// the longest time the window did not answer.

#include "UnitProcess.h"
#include "support/LoopbackServer.h"
#include "ui/TemporaryProfile.h"

#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/ControlId.h"
#include "ui/windows/ConnectingDialog.h"
#include "ui/windows/ModalRunner.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Closes every message at once, and the window under test with its timer.
class Desktop : public testing::Test, public ModalRunner {
protected:
    Desktop() : previous_(ModalRunner::install(this)) {}
    ~Desktop() override {
        ModalRunner::install(previous_);
        std::cout << "longest unanswered: " << longest_ << " ms\n";
    }
    int runDialog(QDialog& /*dialog*/) override {
        ++messages;
        return QDialog::Rejected;
    }

    void open(int type, const std::string& address) {
        window = std::make_unique<CKORARemoteGUIDlg>(type, QString::fromStdString(address), 1);
        window->initialise();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QObject::connect(&ticks_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, measuring_ ? sinceTick_.restart() : 0);
        });
        ticks_.setParent(window.get());
        ticks_.start(10);
    }
    // Runs work, measuring how long the window goes without answering.
    void answering(const std::function<void()>& work) {
        sinceTick_.start();
        measuring_ = true;
        work();
        measuring_ = false;
    }
    QString label(int id) const { return findControl<QLabel>(window.get(), id)->text(); }
    // Runs the event loop until condition holds; false after the time-out.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
        QEventLoop loop;
        QTimer check;
        QElapsedTimer waited;
        waited.start();
        QObject::connect(&check, &QTimer::timeout, [&] {
            if (condition() || waited.elapsed() > timeout.count())
                loop.quit();
        });
        check.start(5);
        answering([&] { loop.exec(); });
        return condition();
    }

    TemporaryProfile profile;
    int messages = 0;
    std::unique_ptr<CKORARemoteGUIDlg> window;

private:
    ModalRunner* previous_;
    QTimer ticks_;
    QElapsedTimer sinceTick_;
    qint64 longest_ = 0;
    bool measuring_ = false;
};

// A listener that accepts nobody, its queue full: a connection waits unanswered.
class FullListener : public LoopbackSocket {
public:
    FullListener() {
        ::listen(socket_, 0);
        sockaddr_in address{AF_INET, htons(port_), {htonl(INADDR_LOOPBACK)}, {}};
        for (int& client : clients_) {
            client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~FullListener() {
        for (int client : clients_)
            ::close(client);
    }

private:
    int clients_[4];
};

TEST_F(Desktop, CancelAnswersAtOnceWhileTheWindowGoesOnDrawing) {
    const FullListener full;
    open(ConnectionType::OffLine, "");
    const QString address = QStringLiteral("127.0.0.1:%1").arg(full.port());
    QElapsedTimer cancelled;
    QTimer::singleShot(600ms, [&] {
        auto* dialog = window->findChild<ConnectingDialog*>();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(findControl<QLabel>(dialog, ConnectingDialog::kMessageText)->text(),
                  QStringLiteral("Connecting to %1\u2026").arg(address));
        cancelled.start();
        findControl<QAbstractButton>(dialog, ConnectingDialog::kCancelButton)->click();
    });
    answering([&] { window->openDevice(ConnectionType::Ethernet, address, 1, false); });
    EXPECT_LT(cancelled.elapsed(), 100);
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionTypeText), "Off Line");
    EXPECT_EQ(messages, 0);
}

TEST_F(Desktop, ASilentUnitLooksStaleThenGoesOffLineAndALostOneComesBack) {
    auto unit = std::make_unique<UnitProcess>(
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--status-interval-ms", "0"});
    const std::string address = "127.0.0.1:" + std::to_string(unit->port());
    open(ConnectionType::Ethernet, address);
    // Answering pings only, it never looks stale.
    EXPECT_FALSE(waitFor([&] { return window->isStale(); }, 4500ms));
    QElapsedTimer stopped;
    for (const bool resume : {true, false}) {
        ::kill(unit->pid(), SIGSTOP);
        stopped.start();
        ASSERT_TRUE(waitFor([&] { return window->isStale(); }, 4s));
        EXPECT_LE(stopped.elapsed(), 3100);
        EXPECT_FALSE(
            findControl<QWidget>(window.get(), CKORARemoteGUIDlg::kFirstMeter)->isEnabled());
        EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText),
                  "No answer from the TRX4 for 3 s");
        if (resume) {
            ::kill(unit->pid(), SIGCONT);
            EXPECT_TRUE(waitFor([&] { return !window->isStale(); }, 500ms));
        }
    }
    ASSERT_TRUE(waitFor([&] { return window->connectionType() == ConnectionType::OffLine; }, 3s));
    EXPECT_LE(stopped.elapsed(), 5000);
    EXPECT_TRUE(findControl<QWidget>(window.get(), CKORARemoteGUIDlg::kFirstMeter)->isEnabled());
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText),
              QString::fromStdString("Reconnecting to " + address + " (attempt 1)\u2026"));
    // Gone for good, then back on the same port: the window reconnects.
    unit->stop(SIGKILL);
    unit = std::make_unique<UnitProcess>(std::vector<std::string>{"--listen", address});
    ASSERT_TRUE(waitFor([&] { return window->connectionType() == ConnectionType::Ethernet; }, 10s));
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionAddressText), QString::fromStdString(address));
    EXPECT_EQ(label(CKORARemoteGUIDlg::kConnectionStateText), "");
}

} // namespace
