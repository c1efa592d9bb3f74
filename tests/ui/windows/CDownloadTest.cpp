#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/ManualClock.h"
#include "support/RecordingObserver.h"
#include "support/ScriptedModalRunner.h"
#include "support/ThrownMessage.h"
#include "ui/BindingTestSet.h"

#include "ui/look/MessageDialog.h"
#include "ui/look/StringTable.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/ConfirmDownloadDialog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/WindowStack.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

using testing::Contains;
using testing::ElementsAre;

// A firmware file: header, payload (starting with head), digest.
QString text(const QWidget& window, int id) {
    return findControl<QLabel>(&window, id)->text();
}

bool enabled(const QWidget& window, int id) {
    return findControl<QWidget>(&window, id)->isEnabled();
}

void click(const QWidget& window, int id) {
    findControl<QPushButton>(&window, id)->click();
}

// The dialog over a main window connected to the unit emulator.
class UpdateDialog : public TracedUnitTest {
protected:
    void connectToUnit(std::vector<std::string> options = {}) {
        startUnit(std::move(options));
        window = std::make_unique<CKORARemoteGUIDlg>(
            ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr, unit->port());
        window->initialise();
        dialog = std::make_unique<CDownload>(*window->parameterSet(), *window,
                                             window->exceptionHandler(), clock);
    }
    void select(const std::string& name, const std::vector<std::uint8_t>& image) {
        runner.answerFile(QString::fromStdString(folder.write(name, image)));
        click(*dialog, CDownload::kSelectFileButton);
    }
    void startUpdate(int answer = ConfirmDownloadDialog::kUpdateButton) {
        runner.clickInDialog(answer);
        click(*dialog, CDownload::kStartUpdateButton);
    }
    bool buttonsEnabled() const {
        return enabled(*dialog, CDownload::kSelectFileButton) &&
               enabled(*dialog, CDownload::kStartUpdateButton) &&
               enabled(*dialog, CDownload::kCloseButton);
    }
    bool percentageHidden() const {
        return findControl<QWidget>(dialog.get(), CDownload::kPercentText)->isHidden() &&
               findControl<QWidget>(dialog.get(), CDownload::kPercentSign)->isHidden();
    }
    // The block numbers of the chunks the unit received, after stopping it.
    std::vector<int> receivedBlocks() {
        dialog.reset();
        window.reset();
        std::vector<int> blocks;
        for (const auto& line : messages(stopAndReadTrace(), "received", "Download Data")) {
            blocks.push_back(line["blocks"].get<int>());
        }
        return blocks;
    }

    ScriptedModalRunner runner;
    ManualClock clock;
    std::unique_ptr<CKORARemoteGUIDlg> window;
    std::unique_ptr<CDownload> dialog;
};

TEST_F(UpdateDialog, ThreeChunksRebootIntoTheNewVersion) {
    connectToUnit({"--reboot-seconds", "1"});
    window->exceptionHandler().registerWindow(dialog.get());
    QSignalSpy closed(dialog.get(), &QDialog::finished);
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
    select("v2.bin", signedImage(filledPayload(3 * 4096, "FW:2.5.0.1")));
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "v2.bin");
    EXPECT_EQ(runner.fileRequests()[0].filter, "Binary Files (*.bin);;All Files (*)");

    startUpdate(ConfirmDownloadDialog::kDontUpdateButton);
    EXPECT_THAT(runner.dialogs()[0].texts,
                Contains(StringTable::load(ConfirmDownloadDialog::kWarningString)));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_NE(window->pollTimer(), 0);

    startUpdate();
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Downloading");
    EXPECT_EQ(dialog->timer(), CDownload::kTimerId);
    EXPECT_EQ(window->pollTimer(), 0);
    EXPECT_FALSE(buttonsEnabled());
    dialog->timerTick();
    dialog->reject();
    dialog->timerTick();
    EXPECT_EQ(text(*dialog, CDownload::kPercentText), "66");
    dialog->timerTick();
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Rebooting");
    EXPECT_TRUE(percentageHidden());

    ASSERT_TRUE(awaitEvent("rebooted"));
    clock.advance(17);
    dialog->timerTick();
    EXPECT_EQ(dialog->state(), CDownload::State::Rebooting);
    clock.advance(1);
    runner.clickInDialog(MessageDialog::kOkButton);
    dialog->timerTick();
    EXPECT_THAT(runner.dialogs().back().texts, Contains(QString("Firmware Upgraded")));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_EQ(text(*dialog, CDownload::kVersionText), "2.5.0.1");
    EXPECT_FALSE(percentageHidden());
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_FALSE(window->exceptionHandler().busy());
    EXPECT_NE(window->pollTimer(), 0);
    // Escape did not close it; the handler's request did.
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 1);

    // Everything now goes through the new connection.
    startUpdate();
    dialog->timerTick();
    EXPECT_EQ(text(*dialog, CDownload::kPercentText), "33");
    EXPECT_THAT(receivedBlocks(), ElementsAre(1, 2, 3, 1));
}

TEST_F(UpdateDialog, ReconnectionIsTriedFromTheEighteenthSecondOfEveryWait) {
    connectToUnit({"--reboot-seconds", "600"});
    select("small.bin", signedImage(filledPayload(100)));
    startUpdate();
    dialog->timerTick();
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_TRUE(window->exceptionHandler().busy());
    ASSERT_TRUE(awaitEvent("rebooting"));

    // Each attempt replaces the main window's parameter set, which tells the
    // observers of the one it destroys.
    auto connection = std::make_unique<RecordingObserver>();
    const auto watch = [&] {
        connection = std::make_unique<RecordingObserver>();
        connection->watch(window->parameterSet()->findParameter(ParameterId(0x0929)));
    };
    watch();
    std::vector<int> attempts;
    std::vector<int> bar;
    for (int second = 0; second <= 91; ++second, clock.advance(1)) {
        dialog->timerTick();
        bar.push_back(findControl<QProgressBar>(dialog.get(), CDownload::kProgressBar)->value());
        if (connection->destroyedCalls > 0) {
            attempts.push_back(second);
            watch();
        }
    }
    EXPECT_THAT(attempts, ElementsAre(18, 27, 36, 45, 63, 72, 81, 90));
    EXPECT_EQ(bar[1], 3);
    EXPECT_EQ(bar[44], 98);
    EXPECT_EQ(bar[46], 3);
    EXPECT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_EQ(dialog->controller().parameterSet(), window->parameterSet());
}

TEST_F(UpdateDialog, AWrongDigestNeverStartsATransfer) {
    connectToUnit();
    auto image = signedImage(filledPayload(5000));
    image[10] ^= 0x01;
    runner.clickInDialog(MessageDialog::kOkButton);
    select("bad.bin", image);
    EXPECT_THAT(runner.dialogs()[0].texts, Contains(QString(ErrorDialog::kMessage)));
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "None");
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
    // Now off line, where no unit takes an image.
    select("good.bin", signedImage(filledPayload(5000)));
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "good.bin");
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
    EXPECT_TRUE(receivedBlocks().empty());
}

TEST_F(UpdateDialog, AFailedFlashStepIsAHardwareFailure) {
    connectToUnit({"--flash-error", "download:2"});
    select("two.bin", signedImage(filledPayload(4096 + 100)));
    startUpdate();
    runner.clickInDialog(MessageDialog::kOkButton);
    dialog->timerTick();
    EXPECT_THAT(runner.dialogs().back().texts,
                Contains(QString(KORAExceptionHandler::kHardwareFailure)));
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_TRUE(enabled(*dialog, CDownload::kSelectFileButton));
    EXPECT_TRUE(enabled(*dialog, CDownload::kCloseButton));
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Downloading");
    // The refused chunk is the next to go, but the window is off line now.
    EXPECT_EQ(dialog->controller().chunksSent(), 0u);
    EXPECT_EQ(window->connectionType(), ConnectionType::OffLine);
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
}

TEST(UpdateDialogOpening, NeedsTheMainWindowsHandlerAndRegistersTheDialog) {
    ScriptedModalRunner runner;
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    window.initialise();
    binding::RecordingHandler otherHandler;
    Win32Controller foreign(window.parameterSet(), &otherHandler);
    EXPECT_EQ(thrownMessage<VerloException>([&] { CDownload::openFrom(foreign); }),
              "invalid exception handler");

    Win32Controller settings(window.parameterSet(), &window.exceptionHandler());
    const auto stackBefore = WindowStack::instance().windows().size();
    runner.answerDialog([&](QDialog& shown) {
        EXPECT_EQ(window.exceptionHandler().openWindowCount(), 1u);
        EXPECT_EQ(WindowStack::instance().windows().back(), &shown);
        click(shown, CDownload::kCloseButton);
    });
    EXPECT_EQ(CDownload::openFrom(settings), QDialog::Rejected);
    EXPECT_EQ(window.exceptionHandler().openWindowCount(), 0u);
    EXPECT_EQ(WindowStack::instance().windows().size(), stackBefore);
}

} // namespace
