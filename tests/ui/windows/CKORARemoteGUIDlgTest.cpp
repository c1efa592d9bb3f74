#include "support/ScriptedModalRunner.h"
#include "support/TemporaryDirectory.h"
#include "ui/TemporaryProfile.h"

#include "ui/look/MessageDialog.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/WindowStack.h"

#include <QAction>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace {

using testing::Contains;

const ParameterId surroundDelay(std::uint16_t{0x0303});

class MainWindowCommands : public testing::Test {
protected:
    void SetUp() override { window.initialise(); }

    ControlParameter& delay() {
        return window.parameterSet()->controlParameters().find(surroundDelay);
    }
    void click(int id) { findControl<QAbstractButton>(&window, id)->click(); }

    TemporaryProfile profile;
    TemporaryDirectory folder;
    // Off line, with an address that going off line again clears.
    CKORARemoteGUIDlg window{ConnectionType::OffLine, QStringLiteral("unit.example"), 1};
};

TEST_F(MainWindowCommands, SavedSettingsLoadBackThroughARealFile) {
    const QString path = QString::fromStdString((folder.path() / "room.trx").string());
    ScriptedModalRunner runner;
    delay().setValue(ParameterValue(64));
    runner.answerFile(path);
    click(CKORARemoteGUIDlg::kSaveSettingsButton);
    ASSERT_EQ(runner.fileRequests().size(), 1u);
    EXPECT_EQ(runner.fileRequests()[0].mode, FileRequest::Mode::Save);
    EXPECT_EQ(runner.fileRequests()[0].defaultSuffix, "trx");
    EXPECT_TRUE(runner.fileRequests()[0].filter.startsWith("TRX4 Files (*.trx)"));
    EXPECT_NE(window.pollTimer(), 0);

    delay().setValue(ParameterValue(30));
    runner.answerFile(path);
    click(CKORARemoteGUIDlg::kLoadSettingsButton);
    EXPECT_EQ(runner.fileRequests()[1].mode, FileRequest::Mode::Open);
    EXPECT_EQ(delay().value(), ParameterValue(64));
    EXPECT_TRUE(runner.dialogs().empty());
    EXPECT_NE(window.pollTimer(), 0);
    EXPECT_EQ(window.tcpAddress(), "unit.example");
}

TEST_F(MainWindowCommands, CancellingLoadOrOpenChangesNothingAndPollingGoesOn) {
    KORAParams* connected = window.parameterSet();
    ScriptedModalRunner runner;
    runner.answerFile(QString());
    click(CKORARemoteGUIDlg::kLoadSettingsButton);
    runner.clickInDialog(OpenDeviceDialog::kCancelButton);
    click(CKORARemoteGUIDlg::kOpenDeviceButton);
    EXPECT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(window.parameterSet(), connected);
    EXPECT_EQ(window.tcpAddress(), "unit.example");
    EXPECT_NE(window.pollTimer(), 0);
}

TEST_F(MainWindowCommands, AnUnreadableOrMissingFileShowsTheErrorAndGoesOffLine) {
    const std::string corrupt = folder.write("corrupt.trx", {1, 2, 3, 4, 5, 6, 7});
    for (const std::string& path : {corrupt, (folder.path() / "missing.trx").string()}) {
        SCOPED_TRACE(path);
        window.closeDevice();
        window.openDevice(ConnectionType::OffLine, QStringLiteral("unit.example"), 1, false);
        ScriptedModalRunner runner;
        runner.answerFile(QString::fromStdString(path));
        runner.clickInDialog(MessageDialog::kOkButton);
        click(CKORARemoteGUIDlg::kLoadSettingsButton);
        ASSERT_EQ(runner.dialogs().size(), 1u);
        EXPECT_EQ(runner.dialogs()[0].title, "Error");
        EXPECT_TRUE(window.tcpAddress().isEmpty());
        EXPECT_NE(window.pollTimer(), 0);
    }
}

TEST_F(MainWindowCommands, AFailedSaveLeavesTheExistingFileIntact) {
    const std::filesystem::path path = folder.path() / "room.trx";
    folder.write("room.trx", {'k', 'e', 'e', 'p'});
    // A file size limit makes every longer write fail, as a full disk would.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    {
        ScriptedModalRunner runner;
        runner.answerFile(QString::fromStdString(path.string()));
        runner.clickInDialog(MessageDialog::kOkButton);
        click(CKORARemoteGUIDlg::kSaveSettingsButton);
        EXPECT_EQ(runner.dialogs().size(), 1u);
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(fileText(path), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST_F(MainWindowCommands, SettingsAreRegisteredAndOnTheWindowStackWhileOpen) {
    ScriptedModalRunner runner;
    runner.answerDialog([this](QDialog& settings) {
        EXPECT_EQ(settings.windowTitle(), "Settings");
        EXPECT_EQ(window.exceptionHandler().openWindowCount(), 1u);
        EXPECT_EQ(WindowStack::instance().windows().value(0), &settings);
        EXPECT_NE(window.pollTimer(), 0);
        settings.reject();
    });
    click(CKORARemoteGUIDlg::kChangeSettingsButton);
    EXPECT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(window.exceptionHandler().openWindowCount(), 0u);
    EXPECT_TRUE(WindowStack::instance().windows().isEmpty());
}

TEST_F(MainWindowCommands, TheAboutEntryShowsTheProgramAndItsVersion) {
    const QList<QAction*> actions = window.actions();
    ASSERT_FALSE(actions.isEmpty());
    EXPECT_EQ(actions.back()->text(), "&About KORARemoteGUI...");
    ScriptedModalRunner runner;
    runner.clickInDialog(1);
    actions.back()->trigger();
    ASSERT_EQ(runner.dialogs().size(), 1u);
    EXPECT_EQ(runner.dialogs()[0].title, "About KORARemoteGUI");
    EXPECT_THAT(runner.dialogs()[0].texts, Contains(QString("KORARemoteGUI Version 1.2.1.1")));
    EXPECT_FALSE(findControl(&window, CKORARemoteGUIDlg::kHelpButton)->isVisibleTo(&window));
    EXPECT_EQ(findControl<QLabel>(&window, CKORARemoteGUIDlg::kRemoteVersionText)->text(),
              "1.2.1.5");
}

} // namespace
