#include "BindingTestSet.h"
#include "TemporaryProfile.h"
#include "UnitProcess.h"
#include "support/ManualClock.h"
#include "support/RecordingObserver.h"
#include "support/ScriptedModalRunner.h"
#include "support/ThrownMessage.h"

#include "firmware/MD5Validator.h"
#include "ui/CDownload.h"
#include "ui/CKORARemoteGUIDlg.h"
#include "ui/ConfirmDownloadDialog.h"
#include "ui/KORAExceptionHandler.h"
#include "ui/MessageDialog.h"
#include "ui/StringTable.h"
#include "ui/WindowStack.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using testing::Contains;
using testing::ElementsAre;

const ParameterId downloadProgress(std::uint16_t{0x0928});
const ParameterId firmwareVersion(std::uint16_t{0x0929});

// A firmware file: header, payload (starting with head), digest.
std::vector<std::uint8_t> makeImage(std::size_t payloadSize, const std::string& head = {}) {
    std::vector<std::uint8_t> image(4 + payloadSize, 0x5A);
    std::copy(head.begin(), head.end(), image.begin() + 4);
    const auto digest = MD5Validator::digest(image.data(), image.size());
    image.insert(image.end(), digest.begin(), digest.end());
    return image;
}

QString text(const QWidget& window, int id) {
    return findControl<QLabel>(&window, id)->text();
}

bool enabled(const QWidget& window, int id) {
    return findControl<QWidget>(&window, id)->isEnabled();
}

void click(const QWidget& window, int id) {
    findControl<QPushButton>(&window, id)->click();
}

class UpdateDialog : public testing::Test {
protected:
    void makeDialog() {
        dialog = std::make_unique<CDownload>(*window->parameterSet(), *window,
                                             window->exceptionHandler(), clock);
    }
    // Selects the image and confirms "Start Update".
    void start(const std::vector<std::uint8_t>& image) {
        runner.answerFile(QString::fromStdString(folder.write("image.bin", image)));
        click(*dialog, CDownload::kSelectFileButton);
        runner.clickInDialog(ConfirmDownloadDialog::kUpdateButton);
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

    TemporaryProfile profile;
    TemporaryDirectory folder;
    ScriptedModalRunner runner;
    ManualClock clock;
    std::unique_ptr<CKORARemoteGUIDlg> window;
    std::unique_ptr<CDownload> dialog;
};

TEST_F(UpdateDialog, DontUpdateLeavesIdleWithPollingRunning) {
    window = std::make_unique<CKORARemoteGUIDlg>(ConnectionType::OffLine, QString(), 1);
    window->initialise();
    makeDialog();
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "None");
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));

    runner.answerFile(QString());
    click(*dialog, CDownload::kSelectFileButton);
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
    runner.answerFile(QString::fromStdString(folder.write("v2.bin", makeImage(100))));
    click(*dialog, CDownload::kSelectFileButton);
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "v2.bin");
    EXPECT_TRUE(enabled(*dialog, CDownload::kStartUpdateButton));
    ASSERT_EQ(runner.fileRequests().size(), 2u);
    EXPECT_EQ(runner.fileRequests()[1].defaultSuffix, "bin");
    EXPECT_EQ(runner.fileRequests()[1].filter, "Binary Files (*.bin);;All Files (*)");

    runner.clickInDialog(ConfirmDownloadDialog::kDontUpdateButton);
    click(*dialog, CDownload::kStartUpdateButton);
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(runner.dialogs()[0].title, "Dialog");
    EXPECT_THAT(runner.dialogs()[0].texts,
                Contains(StringTable::load(ConfirmDownloadDialog::kWarningString)));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_NE(window->pollTimer(), 0);
}

TEST_F(UpdateDialog, ReconnectionIsTriedFromTheEighteenthSecondOfEveryWait) {
    // A serial unit that cannot be opened: every attempt fails, quickly.
    profile.set(QStringLiteral("Serial Ports/COM9"), QStringLiteral("/nonexistent/trx4-tty"));
    window = std::make_unique<CKORARemoteGUIDlg>(ConnectionType::OffLine, QString(), 1);
    window->initialise();
    window->exceptionHandler().setBusy(true);
    window->closeDevice();
    ASSERT_FALSE(window->openDevice(ConnectionType::Serial, QString(), 9, true));
    window->exceptionHandler().setBusy(false);
    makeDialog();
    start(makeImage(100));
    dialog->timerTick();
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_EQ(dialog->timer(), CDownload::kTimerId);
    EXPECT_TRUE(window->exceptionHandler().busy());
    EXPECT_TRUE(percentageHidden());
    EXPECT_FALSE(buttonsEnabled());
    EXPECT_EQ(dialog->rebootDeadline(), clock.seconds() + 45);

    // An attempt replaces the main window's parameter set, which tells its
    // observers.
    auto connection = std::make_unique<RecordingObserver>();
    connection->watch(window->parameterSet()->findParameter(firmwareVersion));
    std::vector<int> attempts;
    std::vector<int> bar;
    const auto* progressBar = findControl<QProgressBar>(dialog.get(), CDownload::kProgressBar);
    for (int second = 0; second <= 91; ++second) {
        dialog->timerTick();
        bar.push_back(progressBar->value());
        if (connection->destroyedCalls > 0) {
            attempts.push_back(second);
            connection = std::make_unique<RecordingObserver>();
            connection->watch(window->parameterSet()->findParameter(firmwareVersion));
        }
        clock.advance(1);
    }
    EXPECT_THAT(attempts, ElementsAre(18, 27, 36, 45, 63, 72, 81, 90));
    EXPECT_EQ(bar[1], 3);
    EXPECT_EQ(bar[18], 40);
    EXPECT_EQ(bar[44], 98);
    EXPECT_EQ(bar[46], 3);
    EXPECT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_EQ(window->pollTimer(), 0);
    // The dialog follows the connection: the transfer would go to the new one.
    EXPECT_EQ(dialog->controller().parameterSet(), window->parameterSet());
}

TEST_F(UpdateDialog, OpeningNeedsTheMainWindowsHandlerAndRegistersTheDialog) {
    window = std::make_unique<CKORARemoteGUIDlg>(ConnectionType::OffLine, QString(), 1);
    window->initialise();
    binding::RecordingHandler otherHandler;
    Win32Controller foreign(window->parameterSet(), &otherHandler);
    EXPECT_EQ(thrownMessage<VerloException>([&] { CDownload::openFrom(foreign, *window); }),
              "invalid exception handler");

    Win32Controller settings(window->parameterSet(), &window->exceptionHandler());
    const auto stackBefore = WindowStack::instance().windows().size();
    runner.answerDialog([&](QDialog& shown) {
        EXPECT_EQ(shown.windowTitle(), "Update Software");
        EXPECT_EQ(window->exceptionHandler().openWindowCount(), 1u);
        EXPECT_EQ(WindowStack::instance().windows().back(), &shown);
        click(shown, CDownload::kCloseButton);
    });
    EXPECT_EQ(CDownload::openFrom(settings, *window), QDialog::Rejected);
    EXPECT_EQ(window->exceptionHandler().openWindowCount(), 0u);
    EXPECT_EQ(WindowStack::instance().windows().size(), stackBefore);
}

// The dialog against the unit emulator, which reboots for one second.
class UpdateDialogWithUnit : public UpdateDialog {
protected:
    void connectToUnit(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"--listen", "127.0.0.1:0",      "--trace",
                                           tracePath,  "--reboot-seconds", "1"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        unit = std::make_unique<UnitProcess>(arguments);
        window = std::make_unique<CKORARemoteGUIDlg>(
            ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr, unit->port());
        window->initialise();
        ASSERT_TRUE(window->parameterSet()->hasDevice());
        makeDialog();
    }
    bool awaitTrace(const std::string& event) const {
        for (int attempt = 0; attempt < 200; ++attempt) {
            std::ifstream file(tracePath);
            std::stringstream content;
            content << file.rdbuf();
            if (content.str().find("\"" + event + "\"") != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    std::vector<nlohmann::json> stopAndReadTrace() {
        dialog.reset();
        window.reset();
        EXPECT_EQ(unit->stop(), 0);
        return readTrace(tracePath);
    }

    std::string tracePath = (folder.path() / "trace.jsonl").string();
    std::unique_ptr<UnitProcess> unit;
};

TEST_F(UpdateDialogWithUnit, ThreeChunksRebootIntoTheNewVersion) {
    connectToUnit();
    window->exceptionHandler().registerWindow(dialog.get());
    QSignalSpy closed(dialog.get(), &QDialog::finished);
    start(makeImage(3 * 4096, "FW:2.5.0.1"));
    EXPECT_EQ(dialog->state(), CDownload::State::Downloading);
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Downloading");
    EXPECT_EQ(dialog->timer(), CDownload::kTimerId);
    EXPECT_EQ(window->pollTimer(), 0);
    EXPECT_FALSE(buttonsEnabled());
    dialog->timerTick();
    dialog->timerTick();
    EXPECT_EQ(text(*dialog, CDownload::kPercentText), "66");
    EXPECT_FALSE(percentageHidden());
    dialog->timerTick();
    ASSERT_EQ(dialog->state(), CDownload::State::Rebooting);
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Rebooting");
    EXPECT_TRUE(percentageHidden());
    EXPECT_EQ(dialog->controller().chunksSent(), 0u);

    ASSERT_TRUE(awaitTrace("rebooted"));
    clock.advance(17);
    dialog->timerTick();
    EXPECT_EQ(dialog->state(), CDownload::State::Rebooting);
    clock.advance(1);
    runner.clickInDialog(MessageDialog::kOkButton);
    dialog->timerTick();
    ASSERT_EQ(runner.dialogs().size(), 2u);
    EXPECT_THAT(runner.dialogs()[1].texts, Contains(QString("Firmware Upgraded")));
    EXPECT_EQ(dialog->state(), CDownload::State::Idle);
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Progress");
    EXPECT_EQ(text(*dialog, CDownload::kVersionText), "2.5.0.1");
    EXPECT_FALSE(percentageHidden());
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_FALSE(window->exceptionHandler().busy());
    EXPECT_TRUE(window->parameterSet()->hasDevice());
    EXPECT_NE(window->pollTimer(), 0);
    EXPECT_EQ(window->exceptionHandler().openWindowCount(), 0u);
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 1);

    const auto trace = stopAndReadTrace();
    EXPECT_EQ(messages(trace, "received", "Erase Flash").size(), 1u);
    std::vector<int> blocks;
    for (const auto& line : messages(trace, "received", "Download Data")) {
        blocks.push_back(line["blocks"].get<int>());
    }
    EXPECT_THAT(blocks, ElementsAre(1, 2, 3));
    const auto burns = messages(trace, "received", "Burn And Reboot");
    ASSERT_EQ(burns.size(), 1u);
    EXPECT_EQ(burns[0]["blocks"], 3);
}

TEST_F(UpdateDialogWithUnit, AWrongDigestNeverStartsATransfer) {
    connectToUnit();
    auto image = makeImage(5000);
    image[10] ^= 0x01;
    runner.answerFile(QString::fromStdString(folder.write("bad.bin", image)));
    runner.clickInDialog(MessageDialog::kOkButton);
    click(*dialog, CDownload::kSelectFileButton);
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_THAT(runner.dialogs()[0].texts, Contains(QString(ErrorDialog::kMessage)));
    EXPECT_EQ(text(*dialog, CDownload::kFileNameText), "None");
    EXPECT_FALSE(enabled(*dialog, CDownload::kStartUpdateButton));
    // The handler took the main window off line; the dialog follows it, so
    // a transfer now reports its progress to the new parameter set.
    EXPECT_FALSE(window->parameterSet()->hasDevice());
    start(makeImage(2 * 4096));
    dialog->timerTick();
    EXPECT_EQ(window->parameterSet()->findParameter(downloadProgress).value(), ParameterValue(49));
    const auto trace = stopAndReadTrace();
    EXPECT_TRUE(messages(trace, "received", "Erase Flash").empty());
    EXPECT_TRUE(messages(trace, "received", "Download Data").empty());
}

TEST_F(UpdateDialogWithUnit, AFailedFlashStepIsAHardwareFailure) {
    connectToUnit({"--flash-error", "download:2"});
    start(makeImage(2 * 4096 + 100));
    runner.clickInDialog(MessageDialog::kOkButton);
    dialog->timerTick();
    ASSERT_EQ(runner.dialogs().size(), 2u);
    EXPECT_THAT(runner.dialogs()[1].texts,
                Contains(QString(KORAExceptionHandler::kHardwareFailure)));
    EXPECT_EQ(dialog->timer(), 0);
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_EQ(dialog->state(), CDownload::State::Downloading);
    EXPECT_EQ(text(*dialog, CDownload::kStateLabel), "Downloading");
    EXPECT_EQ(window->connectionType(), ConnectionType::OffLine);
    EXPECT_EQ(dialog->controller().parameterSet(), window->parameterSet());
    // The image stays where it failed: a new start goes on with chunk 2.
    EXPECT_EQ(dialog->controller().chunksSent(), 1u);
    runner.clickInDialog(ConfirmDownloadDialog::kUpdateButton);
    click(*dialog, CDownload::kStartUpdateButton);
    dialog->timerTick();
    EXPECT_EQ(dialog->controller().chunksSent(), 2u);
    EXPECT_EQ(dialog->state(), CDownload::State::Downloading);
}

} // namespace
