// The main window against trx4-unit on a real X server under a window
// manager (run-on-desktop): a file that cannot be used and a value the unit
// refuses are told in their own words, and the connection stays.

#include "UnitProcess.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/MessageDialog.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/OpenWindowRegistration.h"

#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <gmock/gmock.h>

namespace {

using testing::HasSubstr;
using testing::Not;

TEST(WindowFailures, ACorruptFileAndARefusedValueKeepTheConnectionAndShowTheUnitsValues) {
    TemporaryProfile profile;
    TemporaryDirectory folder;
    ScriptedModalRunner runner;
    const std::string trace = (folder.path() / "trace").string();
    UnitProcess unit({"--listen", "127.0.0.1:0", "--trace", trace, "--set-error", "2"});
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1, nullptr, unit.port());
    window.initialise();
    window.show();
    ASSERT_TRUE(window.openDevice(ConnectionType::Ethernet, "127.0.0.1", 1, false));
    CBasicSettings settings(window.parameterSet(), &window, &window.exceptionHandler());
    const OpenWindowRegistration registration(window.exceptionHandler(), &settings);
    settings.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    const auto told = [&runner] { return runner.dialogs().back().texts.join('|').toStdString(); };

    // One flipped byte: the file is named, nothing is written, nothing closes.
    const QString path = QString::fromStdString((folder.path() / "room.trx").string());
    runner.answerFile(path);
    runner.clickInDialog(MessageDialog::kOkButton);
    window.saveSettings();
    std::string bytes = fileText(path.toStdString());
    bytes[bytes.size() / 2] ^= 0x01;
    folder.write("room.trx", {bytes.begin(), bytes.end()});
    const std::size_t traced = fileText(trace).size();
    runner.answerFile(path);
    runner.clickInDialog(MessageDialog::kOkButton);
    window.loadSettings();
    EXPECT_THAT(told(), HasSubstr(path.toStdString()));
    EXPECT_THAT(fileText(trace).substr(traced), Not(HasSubstr("Set")));

    // The list shows the unit's value again before the operator reads why.
    auto* processor = findControl<QComboBox>(&settings, CBasicSettings::kProcessorList);
    const int held = processor->currentIndex();
    const int asked = held == 0 ? 1 : 0;
    runner.answerDialog([&](QDialog&) { EXPECT_EQ(processor->currentIndex(), held); });
    processor->setCurrentIndex(asked);
    emit processor->activated(asked);
    EXPECT_THAT(told(), HasSubstr("Cinema Processor \"" + processor->itemText(asked).toStdString() +
                                  "\" (Error: Illegal Parameter Value)"));
    EXPECT_THAT(told(), Not(HasSubstr(ErrorDialog::kOffLineLine)));
    QTest::qWait(200);
    EXPECT_EQ(processor->currentIndex(), held);
    EXPECT_TRUE(settings.isVisible());
    EXPECT_EQ(findControl<QLabel>(&window, CKORARemoteGUIDlg::kConnectionTypeText)->text(),
              "Ethernet");
    EXPECT_NE(window.pollTimer(), 0);
}

} // namespace
