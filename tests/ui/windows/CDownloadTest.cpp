#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/ManualClock.h"
#include "support/RecordingObserver.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/MessageDialog.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/ConfirmDownloadDialog.h"
#include "ui/windows/KORAExceptionHandler.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>

#include <utility>

namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsSupersetOf;

// The dialog over a main window connected to the unit emulator.
class UpdateDialog : public TracedUnitTest {
protected:
    // Over TCP, or over a serial line: the unit's terminal as COM1.
    void connectToUnit(std::vector<std::string> options, bool serial = false) {
        dialog.reset();
        window.reset();
        if (serial) {
            startSerialUnit(std::move(options));
            profile.set(QStringLiteral("Serial Ports/COM1"),
                        QString::fromStdString(unit->firstLine()));
            window = std::make_unique<CKORARemoteGUIDlg>(ConnectionType::Serial, QString(), 1);
        } else {
            startUnit(std::move(options));
            window = std::make_unique<CKORARemoteGUIDlg>(
                ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr, unit->port());
        }
        window->initialise();
        dialog = std::make_unique<CDownload>(*window->parameterSet(), *window,
                                             window->exceptionHandler(), clock);
    }
    QString text(int id) { return findControl<QLabel>(dialog.get(), id)->text(); }
    bool enabled(int id) { return findControl<QWidget>(dialog.get(), id)->isEnabled(); }
    void select(const std::string& name, const std::vector<std::uint8_t>& image) {
        runner.answerFile(QString::fromStdString(folder.write(name, image)));
        findControl<QAbstractButton>(dialog.get(), CDownload::kSelectFileButton)->click();
    }
    // A tick of the reboot wait, and the end of the reconnection it started.
    void rebootTick() {
        dialog->timerTick();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->isConnecting(); }, 20000));
    }
    void startUpdate(int answer = ConfirmDownloadDialog::kUpdateButton) {
        runner.clickInDialog(answer);
        findControl<QAbstractButton>(dialog.get(), CDownload::kStartUpdateButton)->click();
    }

    TemporaryProfile profile;
    ScriptedModalRunner runner;
    ManualClock clock;
    std::unique_ptr<CKORARemoteGUIDlg> window;
    std::unique_ptr<CDownload> dialog;
};

TEST_F(UpdateDialog, ThreeChunksRebootIntoTheNewVersion) {
    connectToUnit({"--reboot-seconds", "1"});
    window->exceptionHandler().registerWindow(dialog.get());
    QSignalSpy closed(dialog.get(), &QDialog::finished);
    select("v2.bin", signedImage(filledPayload(3 * 4096, "FW:2.5.0.1")));
    // The warning breaks its lines where its text does: four lines.
    runner.answerDialog([](QDialog& confirm) {
        confirm.show();
        EXPECT_EQ(confirm.windowTitle(), "Update Firmware");
        EXPECT_EQ(findControl<QLabel>(&confirm, ConfirmDownloadDialog::kImageText)->text(),
                  "Image file: v2.bin\nSize: 12308 bytes\nVersion: 2.5.0.1");
        auto* warning = findControl<QLabel>(&confirm, ConfirmDownloadDialog::kWarningText);
        EXPECT_LE(warning->height(), 4 * warning->fontMetrics().lineSpacing() + 1);
        findControl<QAbstractButton>(&confirm, ConfirmDownloadDialog::kDontUpdateButton)->click();
    });
    findControl<QAbstractButton>(dialog.get(), CDownload::kStartUpdateButton)->click();
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);

    startUpdate();
    EXPECT_EQ(window->pollTimer(), 0);
    EXPECT_FALSE(enabled(CDownload::kCloseButton));
    dialog->timerTick();
    dialog->reject(); // Escape does not stop a transfer
    dialog->timerTick();
    EXPECT_EQ(text(CDownload::kPercentText), "66");
    dialog->timerTick();
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_TRUE(findControl<QWidget>(dialog.get(), CDownload::kPercentText)->isHidden());

    // The first attempt to reconnect comes 18 seconds into the wait.
    ASSERT_TRUE(awaitEvent("rebooted"));
    clock.advance(std::chrono::seconds(18));
    runner.clickInDialog(MessageDialog::kOkButton);
    rebootTick();
    EXPECT_THAT(
        runner.dialogs().back().texts,
        Contains(QString("Firmware Upgraded\nThe unit now reports firmware version 2.5.0.1.")));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_EQ(text(CDownload::kVersionText), "2.5.0.1");
    EXPECT_TRUE(enabled(CDownload::kStartUpdateButton) && enabled(CDownload::kCloseButton));
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_NE(window->pollTimer(), 0);
    // The handler's close request closed it.
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 1);

    // Everything now goes through the new connection.
    startUpdate();
    dialog->timerTick();
    EXPECT_EQ(text(CDownload::kPercentText), "33");
}

TEST_F(UpdateDialog, ReconnectionIsTriedFromTheEighteenthSecondOfEveryWait) {
    connectToUnit({"--reboot-seconds", "600"});
    select("small.bin", signedImage(filledPayload(100)));
    startUpdate();
    dialog->timerTick();
    ASSERT_TRUE(awaitEvent("rebooting"));
    // Each attempt replaces the main window's parameter set, which tells the
    // observers of the one it destroys; the busy handler shows nothing.
    const auto firmwareVersion = [this]() -> Parameter& {
        return window->parameterSet()->findParameter(ParameterId(0x0929));
    };
    RecordingObserver connection;
    connection.watch(firmwareVersion());
    std::vector<int> attempts;
    int mayStop = -1;
    for (int second = 0; second <= 91; ++second, clock.advance(std::chrono::seconds(1))) {
        rebootTick();
        if (std::exchange(connection.destroyedCalls, 0) > 0) {
            attempts.push_back(second);
            connection.watch(firmwareVersion());
        }
        if (mayStop < 0 && enabled(CDownload::kCloseButton)) {
            mayStop = second;
        }
    }
    EXPECT_THAT(attempts, ElementsAre(18, 27, 36, 45, 63, 72, 81, 90));
    // (91 - 135) x 100 / 45 + 100, truncated: three seconds into the third wait.
    EXPECT_EQ(findControl<QProgressBar>(dialog.get(), CDownload::kProgressBar)->value(), 3);
    EXPECT_EQ(text(CDownload::kStateLabel), "Rebooting: 91 s, attempt 8");

    // After one whole wait without an answer the operator may stop waiting:
    // the window goes on off line and polls, and says why.
    EXPECT_EQ(mayStop, 45);
    auto* close = findControl<QAbstractButton>(dialog.get(), CDownload::kCloseButton);
    EXPECT_EQ(close->text(), CDownload::kStopWaiting);
    runner.clickInDialog(MessageDialog::kOkButton);
    close->click();
    EXPECT_THAT(runner.dialogs().back().texts, Contains(QString(CDownload::kNotBack)));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_FALSE(window->exceptionHandler().busy());
    EXPECT_EQ(window->connectionType(), ConnectionType::OffLine);
    EXPECT_NE(window->pollTimer(), 0);
    // The dialog follows the set that replaced the one it was opened over.
    EXPECT_EQ(dialog->controller().parameterSet(), window->parameterSet());
    select("again.bin", signedImage(filledPayload(100)));
    EXPECT_EQ(text(CDownload::kFileNameText), "again.bin");
}

// Code 2 is a hardware failure; code 1 asks for a retry, shown in the state
// label, and the fourth ends the update as a failed conversation.
TEST_F(UpdateDialog, RefusedFlashStepsEndTheUpdateByTheirCode) {
    const struct {
        const char* fault;
        int ticks;
        QString message;
    } rows[] = {
        {"download:2", 1, KORAExceptionHandler::kHardwareFailure},
        {"burn:1", 4, ErrorDialog::kMessage},
    };
    for (const auto& row : rows) {
        connectToUnit({"--flash-error", row.fault});
        select("one.bin", signedImage(filledPayload(100)));
        startUpdate();
        for (int tick = 1; tick < row.ticks; ++tick) {
            dialog->timerTick();
            EXPECT_EQ(text(CDownload::kStateLabel),
                      QStringLiteral("Downloading (restart %1 of 3)").arg(tick));
        }
        runner.clickInDialog(MessageDialog::kOkButton);
        dialog->timerTick();
        EXPECT_THAT(runner.dialogs().back().texts, Contains(row.message)) << row.fault;
        EXPECT_EQ(dialog->timer(), 0);
        EXPECT_TRUE(enabled(CDownload::kSelectFileButton) && enabled(CDownload::kCloseButton));
        // Off line now, where no unit takes an image.
        EXPECT_EQ(window->connectionType(), ConnectionType::OffLine);
        EXPECT_FALSE(enabled(CDownload::kStartUpdateButton));
    }
}

// Every 12th frame from the unit goes out corrupted: with three chunks, the
// reply to the burn. Then an image with a wrong digest is refused.
TEST_F(UpdateDialog, AnUnconfirmedBurnReportsTheVersionAndAWrongDigestIsAFileMessage) {
    connectToUnit({"--corrupt-every", "12", "--status-interval-ms", "0", "--reboot-seconds", "1"},
                  true);
    select("v2.bin", signedImage(filledPayload(3 * 4096, "FW:2.5.0.2")));
    startUpdate();
    for (int tick = 0; tick < 3; ++tick) {
        dialog->timerTick();
    }
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    ASSERT_TRUE(awaitEvent("rebooted"));
    clock.advance(std::chrono::seconds(18));
    runner.clickInDialog(MessageDialog::kOkButton);
    rebootTick();
    EXPECT_THAT(runner.dialogs().back().texts,
                Contains(QString("The unit did not confirm the burn: the outcome of the update is "
                                 "unknown.\nThe unit now reports firmware version 2.5.0.2.")));

    // The image selected before stays; the message names the file, and the
    // connection stays.
    auto image = signedImage(filledPayload(4096 + 100));
    image[10] ^= 0x01;
    runner.clickInDialog(MessageDialog::kOkButton);
    select("bad.bin", image);
    EXPECT_THAT(runner.dialogs().back().texts.join('|').toStdString(),
                testing::MatchesRegex(".*/bad.bin: MD5 checksum error: [^|]*"));
    EXPECT_EQ(text(CDownload::kFileNameText), "v2.bin");
    EXPECT_EQ(window->connectionType(), ConnectionType::Serial);
}

} // namespace
