#include "support/FirmwareImages.h"
#include "support/ScriptedModalRunner.h"
#include "support/TemporaryDirectory.h"
#include "ui/TemporaryProfile.h"

#include "base/Version.h"
#include "firmware/FirmwareImage.h"
#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/look/BitmapResource.h"
#include "ui/look/MessageDialog.h"
#include "ui/look/WindowStack.h"
#include "ui/settings/CAdvancedSettings.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/settings/Win32TabControl.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/CViewLog.h"
#include "ui/windows/ConfirmDownloadDialog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/LoadSummaryDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>

namespace {

using testing::Contains;
using testing::ElementsAre;

// In what a window shows, each control the operator can use has an
// Alt+letter (its own, or its label's or its row's label's), none the same.
void expectMnemonics(QWidget& window) {
    window.show();
    const std::string name = window.windowTitle().toStdString();
    std::map<QString, int> uses;
    QSet<QObject*> reached;
    QList<QWidget*> operable;
    const auto key = [&](const QString& text, QObjectList targets) {
        const QString letter = QKeySequence::mnemonic(text).toString();
        EXPECT_TRUE(letter.isEmpty() || ++uses[letter] == 1) << name << " " << letter.toStdString();
        reached.unite(letter.isEmpty() ? QSet<QObject*>() : QSet(targets.begin(), targets.end()));
    };
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || w->window() != &window) {
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->buddy() != nullptr) {
            key(label->text(), QObjectList(label->buddy()->children()) << label->buddy());
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int tab = 0; tab < tabs->count(); ++tab) {
                key(tabs->tabText(tab), {});
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            key(button->text(), {button});
        }
        if (w->isEnabled() && (qobject_cast<QAbstractButton*>(w) || qobject_cast<QSlider*>(w) ||
                               qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w))) {
            operable.append(w);
        }
    }
    for (QWidget* w : operable) {
        EXPECT_TRUE(reached.contains(w)) << name << ": no key for " << controlId(w);
    }
}

// The main window off line, on the simulated unit, with an address and a
// port that going off line again resets.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override { window.initialise(); }

    void click(int id) { findControl<QAbstractButton>(&window, id)->click(); }
    KORAExceptionHandler& handler() { return window.exceptionHandler(); }

    TemporaryProfile profile;
    TemporaryDirectory folder;
    ScriptedModalRunner runner;
    CKORARemoteGUIDlg window{ConnectionType::OffLine, QStringLiteral("unit.example"), 3};
};

TEST(MainWindowReconnection, EachDelayDoublesFromTwoSecondsUpToThirty) {
    const int expected[] = {2, 4, 8, 16, 30, 30};
    for (int attempt = 1; attempt <= 6; ++attempt) {
        EXPECT_EQ(CKORARemoteGUIDlg::reconnectDelay(attempt).count(), expected[attempt - 1]);
    }
}

TEST_F(MainWindowTest, IndicatorsShowTheUnitsValuesInBoxesThatKeepTheirPlaces) {
    // Bound a second time, to a type without a connection of its own.
    window.closeDevice();
    window.openDevice(7, QString(), 1, false);
    EXPECT_EQ(window.connectionType(), ConnectionType::OffLine);
    // Reopening replaces the set: the controller and every indicator follow.
    QSignalSpy replaced(&window, &UnitWindow::parameterSetChanged);
    ASSERT_TRUE(window.reopenDevice(false));
    EXPECT_EQ(replaced.count(), 2); // closed, then opened
    EXPECT_EQ(window.controller().parameterSet(), window.parameterSet());
    GenericProtocol& unit = *window.parameterSet()->protocol();
    const auto control = [this](int id) { return findControl<QLabel>(&window, id); };
    unit.setValue(ParameterId(0x0101), ParameterValue(0), 0);
    unit.setValue(ParameterId(0x0104), ParameterValue(3), 0);
    window.pollTick();
    EXPECT_EQ(control(1600)->text() + "|" + control(1601)->text() + "|" + control(1602)->text(),
              "5.1|2|");
    const QImage on = BitmapResource::load(CKORARemoteGUIDlg::kLedOnBitmap).toImage();
    EXPECT_EQ(control(1095)->pixmap().toImage(), on); // "Verlo Digital"
    EXPECT_NE(control(1094)->pixmap().toImage(), on); // "None"

    // The window and the about box name the release the build was made for.
    const QString version = control(CKORARemoteGUIDlg::kRemoteVersionText)->text();
    EXPECT_EQ(version, QString::fromUtf8(trx4Version));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+(\\.\\d+){3}$")).match(version).hasMatch())
        << version.toStdString();
    runner.answerDialog([](QDialog& about) { expectMnemonics(about); });
    window.showAbout();
    EXPECT_THAT(runner.dialogs().back().texts, Contains("KORARemoteGUI Version " + version));

    // The boxes keep their places whatever their values show: off line, then
    // with the widest texts a connected unit gives them.
    window.show();
    const auto places = [this] {
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QList<QRect> result;
        for (const QGroupBox* box : window.findChildren<QGroupBox*>()) {
            result.append(QRect(box->mapTo(&window, QPoint(0, 0)), box->size()));
        }
        return result;
    };
    const QList<QRect> offLine = places();
    const std::pair<int, const char*> widest[] = {
        {1091, "29.97 fps"},
        {1102, "-31dB"},
        {1103, "3/2"},
        {CKORARemoteGUIDlg::kConnectionTypeText, "Ethernet"},
        {CKORARemoteGUIDlg::kConnectionAddressText, "255.255.255.255"},
        {CKORARemoteGUIDlg::kRemoteVersionText, "88.88.88.88"},
    };
    for (const auto& [id, text] : widest) {
        control(id)->setText(QString::fromLatin1(text));
        EXPECT_EQ(places(), offLine) << "with " << text;
    }
}

TEST_F(MainWindowTest, SavedSettingsLoadBackAndCancellingOrFailingChangesNothing) {
    ControlParameter& delay = window.parameterSet()->controlParameters().find(ParameterId(0x0303));
    const QString path = QString::fromStdString((folder.path() / "room.trx").string());
    const auto lastTexts = [this] { return runner.dialogs().back().texts.join('|').toStdString(); };
    delay.setValue(ParameterValue(64));
    runner.answerFile(path);
    runner.clickInDialog(MessageDialog::kOkButton);
    click(CKORARemoteGUIDlg::kSaveSettingsButton);
    EXPECT_EQ(lastTexts(), "Settings saved to " + path.toStdString());
    delay.setValue(ParameterValue(30));
    runner.clickInDialog(OpenDeviceDialog::kCancelButton);
    click(CKORARemoteGUIDlg::kOpenDeviceButton);
    runner.answerFile(QString());
    click(CKORARemoteGUIDlg::kLoadSettingsButton);
    EXPECT_NE(window.pollTimer(), 0);
    EXPECT_EQ(delay.value(), ParameterValue(30));
    EXPECT_EQ(window.tcpAddress(), "unit.example");
    // The summary lists the one setting that differs; cancelling it writes
    // nothing, loading writes it and says so, and a second load finds
    // nothing to do.
    for (const int answer : {LoadSummaryDialog::kCancelButton, LoadSummaryDialog::kLoadButton}) {
        runner.answerFile(path);
        runner.answerDialog([answer](QDialog& summary) {
            auto* table = findControl<QTableWidget>(&summary, LoadSummaryDialog::kChangesTable);
            EXPECT_EQ(table->rowCount(), 1);
            EXPECT_EQ(table->item(0, 1)->text() + '|' + table->item(0, 2)->text(), "30|64");
            findControl<QAbstractButton>(&summary, answer)->click();
        });
        if (answer == LoadSummaryDialog::kLoadButton) {
            runner.clickInDialog(MessageDialog::kOkButton);
        }
        click(CKORARemoteGUIDlg::kLoadSettingsButton);
    }
    EXPECT_EQ(delay.value(), ParameterValue(64));
    EXPECT_EQ(lastTexts(), "1 setting loaded from " + path.toStdString());
    runner.answerFile(path);
    runner.clickInDialog(MessageDialog::kOkButton);
    click(CKORARemoteGUIDlg::kLoadSettingsButton);
    EXPECT_THAT(lastTexts(), testing::HasSubstr("nothing was loaded"));

    // A file with a record no unit takes writes nothing, not even its good
    // records: a message naming the file and the record, and the connection
    // stays as it was.
    std::ostringstream bad;
    ParameterValueMap{{ParameterId(0x0303), ParameterValue(40)},
                      {ParameterId(0x0F01), ParameterValue(1)}}
        .save(bad);
    const std::string badBytes = bad.str();
    runner.answerFile(
        QString::fromStdString(folder.write("bad.trx", {badBytes.begin(), badBytes.end()})));
    runner.answerDialog([](QDialog& error) {
        error.show();
        const QList<QWidget*> stack = WindowStack::instance().windows();
        EXPECT_EQ(stack.value(stack.size() - 1), &error);
        error.reject();
    });
    click(CKORARemoteGUIDlg::kLoadSettingsButton);
    EXPECT_THAT(lastTexts(), testing::MatchesRegex(".*bad.trx: record 0x0F01[^|]*"));
    EXPECT_EQ(window.parameterSet()->controlParameters().find(ParameterId(0x0303)).value(),
              ParameterValue(64));
    EXPECT_EQ(window.tcpAddress(), "unit.example");
    EXPECT_NE(window.pollTimer(), 0);
    // A failed save leaves the existing file intact.
    folder.write("room.trx", {'k', 'e', 'e', 'p'});
    // A file size limit makes every longer write fail, as a full disk would.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    runner.answerFile(path);
    runner.clickInDialog(MessageDialog::kOkButton);
    click(CKORARemoteGUIDlg::kSaveSettingsButton);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_THAT(lastTexts(), testing::StartsWith("Error saving " + path.toStdString()));
    EXPECT_EQ(fileText(path.toStdString()), "keep");
    // room.trx and bad.trx, and no temporary file left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

// Each settings window is registered with the handler and on the window
// stack while it is open, and only then.
TEST_F(MainWindowTest, SettingsAndTheWindowsTheyOpenAreRegisteredWhileOpen) {
    const auto whileOpen = [this](QDialog& dialog, std::size_t registered) {
        EXPECT_EQ(handler().openWindowCount(), registered);
        EXPECT_EQ(WindowStack::instance().windows().back(), &dialog);
        EXPECT_NE(window.pollTimer(), 0);
    };
    runner.answerDialog([&](QDialog& settings) {
        whileOpen(settings, 1);
        EXPECT_FALSE(findControl(&settings, CBasicSettings::kUpdateSoftware)->isEnabled());
        findControl<QAbstractButton>(&settings, CBasicSettings::kAdvanced)->click();
        findControl<QAbstractButton>(&settings, CBasicSettings::kViewLog)->click();
    });
    runner.answerDialog([&](QDialog& advanced) { whileOpen(advanced, 2); });
    runner.answerDialog([&](QDialog& log) {
        whileOpen(log, 2);
        findControl<QAbstractButton>(&log, CViewLog::kErrorButton)->click();
        EXPECT_EQ(findControl<QPlainTextEdit>(&log, CViewLog::kLogText)->toPlainText(),
                  "No Errors");
    });
    click(CKORARemoteGUIDlg::kChangeSettingsButton);
    runner.answerDialog([&](QDialog& update) { whileOpen(update, 1); });
    CDownload::openFrom(window.controller());
    EXPECT_TRUE(WindowStack::instance().windows().isEmpty());
    // Without a connection a tick has nothing to poll.
    window.closeDevice();
    window.pollTick();
}

TEST_F(MainWindowTest, EachWindowKeysEveryControlOnceAndEscapeKeepsTheMainOne) {
    OpenDeviceDialog connection(&window);
    CBasicSettings settings(window.parameterSet(), &window, &handler());
    CViewLog log("", "", &window);
    CDownload update(*window.parameterSet(), window, handler(), Clock::system(), &window);
    const MD5Validator validator;
    const FirmwareImage image(folder.write("fw.bin", signedImage(filledPayload(8))), validator);
    ConfirmDownloadDialog confirm(QStringLiteral("fw.bin"), image, &window);
    ErrorDialog error(QStringLiteral("lost"), &window);
    CAdvancedSettings advanced(window.parameterSet(), &handler(), &window);
    // The advanced settings once on each page.
    for (QWidget* shown :
         std::initializer_list<QWidget*>{&window, &connection, &settings, &log, &update, &confirm,
                                         &error, &advanced, &advanced, &advanced}) {
        advanced.tabControl()->selectTab(1);
        expectMnemonics(*shown);
    }
    runner.answerDialog([](QDialog& box) { expectMnemonics(box); });
    ModalRunner::message(&window, QStringLiteral("TRX4 Remote"), QStringLiteral("note"));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    window.close();
    EXPECT_FALSE(window.isVisible());
}

// Records which operation a guard chose, without acting on it.
class RecordingHandler : public KORAExceptionHandler {
public:
    using KORAExceptionHandler::KORAExceptionHandler;

    void handleVerloException(VerloException&) override { calls += "verlo "; }
    void handleHostException(HostException&) override { calls += "host "; }
    void handleUnknownException() override { calls += "unknown"; }
    void handleFatalFailure(VerloException&) override { calls += "fatal "; }
    void handleProtocolException(ProtocolException&) override { calls += "protocol "; }
    void handleFileException(FileException&) override { calls += "file "; }

    std::string calls;
};

TEST_F(MainWindowTest, EachFailureGoesToItsOperationAndAFailedConversationGoesOffLine) {
    using Handler = KORAExceptionHandler;
    const std::pair<Handler::Routes, std::string> table[] = {
        {Handler::kPollingTick, "host protocol verlo verlo verlo unknown"},
        {Handler::kOpenEthernet, "host verlo verlo verlo verlo unknown"},
        {Handler::kOpenSerial, "host protocol verlo verlo verlo unknown"},
        {Handler::kOpenDevice, "verlo verlo verlo verlo verlo unknown"},
        {Handler::kLoadOrSave, "host verlo verlo file verlo unknown"},
        {Handler::kControlChanged, "host verlo verlo file verlo unknown"},
        {Handler::kImageSelection, "host verlo verlo file verlo unknown"},
        {Handler::kFirmwareStep, "host verlo fatal verlo verlo unknown"},
    };
    for (const auto& [routes, expected] : table) {
        RecordingHandler recording(window);
        EXPECT_FALSE(recording.guard(routes, [] { throw HostException("host"); }));
        EXPECT_FALSE(recording.guard(routes, [] { throw ProtocolException("protocol"); }));
        EXPECT_FALSE(recording.guard(routes, [] { throw FlashException("flash"); }));
        EXPECT_FALSE(recording.guard(routes, [] { throw FileException("f", "file"); }));
        EXPECT_FALSE(recording.guard(routes, [] { throw VerloException("verlo"); }));
        EXPECT_FALSE(recording.guard(routes, [] { throw std::runtime_error("other"); }));
        EXPECT_EQ(recording.calls, expected);
    }

    // A failed conversation goes off line, closes the windows and keeps polling.
    QDialog settings;
    settings.show();
    handler().registerWindow(&settings);
    runner.answerDialog([this](QDialog&) {
        // Polling runs beneath the dialog, already on the simulated unit.
        EXPECT_NE(window.pollTimer(), 0);
        EXPECT_TRUE(window.tcpAddress().isEmpty());
    });
    VerloException failure("the unit went away");
    handler().handleVerloException(failure);
    // The failure's own message stands between the dialog's fixed lines.
    EXPECT_THAT(runner.dialogs().at(0).texts,
                ElementsAre(ErrorDialog::kMessage, failure.what(), ErrorDialog::kOffLineLine));
    EXPECT_EQ(window.serialPort(), 1);
    // The close request takes effect once control is back in the event loop.
    EXPECT_TRUE(settings.isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(settings.isVisible());

    // Anything unexpected, busy or not, ends the event loop once its dialog
    // is closed.
    handler().setBusy(true);
    runner.answerDialog([](QDialog&) {});
    QTimer::singleShot(0, &window, [this] { handler().handleUnknownException(); });
    QTimer::singleShot(10000, &window, [] { QApplication::exit(3); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_THAT(runner.dialogs().at(1).texts, ElementsAre(KORAExceptionHandler::kApplicationError));
    EXPECT_EQ(window.pollTimer(), 0);
}

} // namespace
