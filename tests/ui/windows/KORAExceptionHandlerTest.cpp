#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/look/MessageDialog.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/KORAExceptionHandler.h"

#include <QApplication>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using testing::ElementsAre;

// Records which operation a guard chose, without acting on it.
class RecordingHandler : public KORAExceptionHandler {
public:
    using KORAExceptionHandler::KORAExceptionHandler;

    void handleVerloException(VerloException&) override { calls.push_back("verlo"); }
    void handleHostException(HostException&) override { calls.push_back("host"); }
    void handleUnknownException() override { calls.push_back("unknown"); }
    void handleFatalFailure(VerloException&) override { calls.push_back("fatal"); }
    void handleProtocolException(ProtocolException&) override { calls.push_back("protocol"); }

    std::vector<std::string> calls;
};

TEST(KORAExceptionHandlerGuard, EachCommandRoutesEachFailureToItsOperation) {
    const std::vector<std::function<void()>> failures{
        [] { throw HostException("host"); },       [] { throw ProtocolException("protocol"); },
        [] { throw FlashException("flash"); },     [] { throw VerloException("verlo"); },
        [] { throw std::runtime_error("other"); },
    };
    struct Row {
        const char* command;
        KORAExceptionHandler::Routes routes;
        std::vector<std::string> expected; // per failure above
    };
    const std::vector<Row> table{
        {"polling tick",
         KORAExceptionHandler::kPollingTick,
         {"host", "protocol", "verlo", "verlo", "unknown"}},
        {"openEthernet",
         KORAExceptionHandler::kOpenEthernet,
         {"host", "verlo", "verlo", "verlo", "unknown"}},
        {"openSerial",
         KORAExceptionHandler::kOpenSerial,
         {"host", "protocol", "verlo", "verlo", "unknown"}},
        {"openDevice",
         KORAExceptionHandler::kOpenDevice,
         {"verlo", "verlo", "verlo", "verlo", "unknown"}},
        {"load or save",
         KORAExceptionHandler::kLoadOrSave,
         {"host", "verlo", "verlo", "verlo", "unknown"}},
        {"control changed",
         KORAExceptionHandler::kControlChanged,
         {"host", "verlo", "verlo", "verlo", "unknown"}},
        {"firmware step",
         KORAExceptionHandler::kFirmwareStep,
         {"host", "verlo", "fatal", "verlo", "unknown"}},
        {"log switch",
         KORAExceptionHandler::kLogSwitch,
         {"verlo", "verlo", "verlo", "verlo", "unknown"}},
    };
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    for (const Row& row : table) {
        RecordingHandler handler(window);
        for (const auto& failure : failures) {
            EXPECT_FALSE(handler.guard(row.routes, failure));
        }
        EXPECT_EQ(handler.calls, row.expected) << row.command;
        EXPECT_TRUE(handler.guard(row.routes, [] {}));
        EXPECT_EQ(handler.calls.size(), failures.size()) << row.command;
    }
}

class KORAExceptionHandlerTest : public testing::Test {
protected:
    void SetUp() override { window.initialise(); }

    KORAExceptionHandler& handler() { return window.exceptionHandler(); }

    TemporaryProfile profile;
    // Off line, but with an address and a port that a dropped connection resets.
    CKORARemoteGUIDlg window{ConnectionType::OffLine, QStringLiteral("unit.example"), 3};
    VerloException failure{"the unit went away"};
};

TEST_F(KORAExceptionHandlerTest, AFailedConversationGoesOffLineClosesWindowsAndKeepsPolling) {
    QDialog settings;
    settings.show();
    handler().registerWindow(&settings);
    handler().registerWindow(&settings);

    ScriptedModalRunner runner;
    runner.answerDialog([this](QDialog& shown) {
        // Polling runs beneath the dialog, already on the simulated unit.
        EXPECT_NE(window.pollTimer(), 0);
        EXPECT_TRUE(window.tcpAddress().isEmpty());
        shown.accept();
    });
    handler().handleVerloException(failure);

    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(runner.dialogs()[0].title, "Error");
    EXPECT_THAT(runner.dialogs()[0].texts,
                ElementsAre(ErrorDialog::kMessage, ErrorDialog::kOffLineLine));
    EXPECT_EQ(window.connectionType(), ConnectionType::OffLine);
    EXPECT_EQ(window.serialPort(), 1);
    EXPECT_NE(window.parameterSet(), nullptr);
    EXPECT_EQ(handler().openWindowCount(), 0u);

    // The close request takes effect once control is back in the event loop.
    EXPECT_TRUE(settings.isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(settings.isVisible());
    EXPECT_EQ(settings.result(), QDialog::Rejected);
}

TEST_F(KORAExceptionHandlerTest, AnErrorReplyKeepsTheConnectionAndPausesPollingOnlyMeanwhile) {
    KORAParams* connected = window.parameterSet();
    ScriptedModalRunner runner;
    runner.answerDialog([this](QDialog& shown) {
        EXPECT_EQ(window.pollTimer(), 0);
        shown.accept();
    });
    HostException refused("refused");
    handler().handleHostException(refused);
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(runner.dialogs()[0].texts.value(0), ErrorDialog::kMessage);
    EXPECT_EQ(window.parameterSet(), connected);
    EXPECT_EQ(window.tcpAddress(), "unit.example");
    EXPECT_NE(window.pollTimer(), 0);

    // Polling stopped before stays stopped.
    window.stopPolling();
    runner.clickInDialog(MessageDialog::kOkButton);
    handler().handleHostException(refused);
    EXPECT_EQ(window.pollTimer(), 0);
}

TEST_F(KORAExceptionHandlerTest, WhileBusyOnlyFatalAndUnknownFailuresAreHandled) {
    handler().setBusy(true);
    ScriptedModalRunner runner;
    HostException refused("refused");
    ProtocolException timeout("timeout");
    handler().handleVerloException(failure);
    handler().handleHostException(refused);
    handler().handleProtocolException(timeout);
    EXPECT_TRUE(runner.dialogs().empty());
    EXPECT_EQ(window.tcpAddress(), "unit.example");
    EXPECT_NE(window.pollTimer(), 0);

    runner.clickInDialog(MessageDialog::kOkButton);
    handler().handleFatalFailure(failure);
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(runner.dialogs()[0].title, "TRX4 Remote");
    EXPECT_THAT(runner.dialogs()[0].texts, ElementsAre(KORAExceptionHandler::kHardwareFailure));
    EXPECT_TRUE(window.tcpAddress().isEmpty());
    EXPECT_NE(window.pollTimer(), 0);
}

TEST_F(KORAExceptionHandlerTest, UnregisteringRemovesEveryEntryOfTheWindow) {
    QDialog first;
    QDialog second;
    handler().registerWindow(&first);
    handler().registerWindow(&second);
    handler().registerWindow(&first);
    handler().unregisterWindow(&first);
    EXPECT_EQ(handler().openWindowCount(), 1u);
    second.show();
    first.show();
    handler().closeOpenWindows();
    QApplication::processEvents();
    EXPECT_FALSE(second.isVisible());
    EXPECT_TRUE(first.isVisible());
}

// Ending the event loop ends every loop of the process, so this runs in a
// child process of its own.
TEST(KORAExceptionHandlerDeathTest, AnUnknownFailureEndsTheEventLoopAfterItsDialog) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TemporaryProfile profile;
            CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
            window.initialise();
            ScriptedModalRunner runner;
            bool dialogClosed = false;
            runner.answerDialog([&](QDialog& shown) {
                shown.accept();
                dialogClosed = true;
            });
            QTimer::singleShot(0, &window,
                               [&] { window.exceptionHandler().handleUnknownException(); });
            // A loop that is not ended in time exits with another code.
            QTimer::singleShot(10000, [] { std::_Exit(3); });
            QApplication::exec();
            std::_Exit(dialogClosed && window.pollTimer() == 0 ? 7 : 4);
        },
        testing::ExitedWithCode(7), "");
}

} // namespace
