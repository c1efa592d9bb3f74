#include "ui/settings/CBasicSettings.h"

#include "protocol/DummyKORAProtocol.h"
#include "ui/binding/ControlId.h"
#include "ui/settings/CAdvancedSettings.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/CViewLog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/WindowStack.h"

#include "catalogue/RecordedCatalogue.h"
#include "support/ScriptedModalRunner.h"
#include "ui/BindingTestSet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

namespace {

class CBasicSettingsTest : public ::testing::Test {
protected:
    CBasicSettingsTest() {
        catalogue.unitHolds(0x0300, 3); // "Arvo D"
        catalogue.unitHolds(0x0303, 50);
        catalogue.unitHolds(0x0305, 1);
        catalogue.unitHolds(0x0306, 2);
        catalogue.unitHolds(0x0307, 3);
        catalogue.build();
        dialog = std::make_unique<CBasicSettings>(catalogue.params.get(), nullptr, &handler);
        dialog->show();
    }

    template <class Control> Control* find(int id) {
        auto* control = findControl<Control>(dialog.get(), id);
        EXPECT_NE(control, nullptr) << "no control " << id;
        return control;
    }
    QLineEdit* distance() { return find<QLineEdit>(CBasicSettings::kDistanceEdit); }
    QLineEdit* spacing() { return find<QLineEdit>(CBasicSettings::kSpacingEdit); }
    QAbstractButton* calculate() { return find<QAbstractButton>(CBasicSettings::kCalculate); }
    void pick(int listId, int index) {
        auto* list = find<QComboBox>(listId);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // The operator reads the message and closes it.
    void expectMessage() {
        operatorPlays.answerDialog([](QDialog& box) { box.accept(); });
    }

    RecordedCatalogue catalogue;
    binding::RecordingHandler handler;
    ScriptedModalRunner operatorPlays;
    std::unique_ptr<CBasicSettings> dialog;
};

TEST_F(CBasicSettingsTest, RefusedDistanceIsSelectedAndNothingIsCalculated) {
    for (const char* wrong : {"4", "abc", "201"}) {
        SCOPED_TRACE(wrong);
        expectMessage();
        distance()->setText(QString::fromLatin1(wrong));
        spacing()->setText(QStringLiteral("1"));
        calculate()->click();
        ASSERT_FALSE(operatorPlays.dialogs().empty());
        EXPECT_EQ(operatorPlays.dialogs().back().texts,
                  QStringList{"Please enter a value between 5 and 200"});
        EXPECT_EQ(dialog->focusWidget(), distance());
        EXPECT_EQ(distance()->selectedText(), QString::fromLatin1(wrong));
        EXPECT_FALSE(calculate()->isChecked());
        EXPECT_EQ(catalogue.pending(0x0303), 50);
    }
    // The spacing was never examined.
    EXPECT_EQ(operatorPlays.dialogs().size(), 3u);

    expectMessage();
    distance()->setText(QStringLiteral("200"));
    spacing()->setText(QStringLiteral("141"));
    calculate()->click();
    EXPECT_EQ(operatorPlays.dialogs().back().texts,
              QStringList{"Please enter a value between 5 and 140"});
    EXPECT_EQ(catalogue.pending(0x0b01), 200);
    EXPECT_EQ(dialog->focusWidget(), spacing());
    EXPECT_EQ(catalogue.pending(0x0303), 50);
}

TEST_F(CBasicSettingsTest, ValidDistancesWriteTheComputedDelay) {
    find<QRadioButton>(CBasicSettings::kFeet)->click();
    distance()->setText(QStringLiteral("60"));
    spacing()->setText(QStringLiteral("40"));
    calculate()->click();
    // (40 - 20) x 1000 / 1130 rounds to 18 ms, raised to the shortest delay.
    EXPECT_TRUE(catalogue.wrote("setValue 0x0303=20 delay 0"));
    EXPECT_EQ(find<QSlider>(CBasicSettings::kDelaySlider)->value(), -20);
    EXPECT_EQ(find<QLabel>(CBasicSettings::kDelayText)->text(), QStringLiteral("20"));
    EXPECT_FALSE(calculate()->isChecked());
    EXPECT_EQ(catalogue.pending(0x0b03), 0);
    EXPECT_EQ(find<QLabel>(CBasicSettings::kDistanceUnits)->text(), QStringLiteral("feet"));

    find<QRadioButton>(CBasicSettings::kMeters)->click();
    EXPECT_EQ(find<QLabel>(CBasicSettings::kSpacingUnits)->text(), QStringLiteral("meters"));
    EXPECT_TRUE(operatorPlays.dialogs().empty());
}

// The handler may drop the connection, and with it the parameters, while the
// dialog stays open until its close request arrives.
TEST_F(CBasicSettingsTest, AFailedCalculationIsUndoneBeforeTheHandlerRuns) {
    handler.onHandle = [this] { catalogue.params.reset(); };
    distance()->setText(QStringLiteral("150"));
    spacing()->setText(QStringLiteral("30"));
    catalogue.unit.failNext(ProtocolException("Timed out"));
    calculate()->click();
    EXPECT_EQ(handler.calls, std::vector<std::string>{"verlo: Timed out"});
    EXPECT_FALSE(calculate()->isChecked());
}

TEST_F(CBasicSettingsTest, CinemaProcessorSetsTheAutomationPinsAndTheDelaysAvailability) {
    pick(CBasicSettings::kProcessorList, 1); // "Arvo B"
    EXPECT_EQ(catalogue.pending(0x030a), 6);
    EXPECT_EQ(catalogue.pending(0x030b), 7);
    EXPECT_EQ(find<QComboBox>(CBasicSettings::kFilmPinList)->currentText(), QStringLiteral("7"));
    EXPECT_EQ(find<QComboBox>(CBasicSettings::kMediaPinList)->currentText(), QStringLiteral("8"));

    pick(CBasicSettings::kProcessorList, 5); // "Arvo F": no surround delay
    for (const int id :
         {CBasicSettings::kDelaySlider, CBasicSettings::kDelayText, CBasicSettings::kDistanceEdit,
          CBasicSettings::kSpacingEdit, CBasicSettings::kFeet, CBasicSettings::kMeters,
          CBasicSettings::kCalculate}) {
        EXPECT_FALSE(find<QWidget>(id)->isEnabled()) << id;
    }
    pick(CBasicSettings::kProcessorList, 0);
    EXPECT_TRUE(calculate()->isEnabled());
}

TEST_F(CBasicSettingsTest, DigitalInputListsStayFreeOfGapsAndRepeats) {
    auto* second = find<QComboBox>(CBasicSettings::kSecondChoiceList);
    auto* third = find<QComboBox>(CBasicSettings::kThirdChoiceList);
    EXPECT_EQ(second->currentText(), QStringLiteral("Optical S/PDIF"));
    pick(CBasicSettings::kSecondChoiceList, 0); // "Unassigned": the third moves up
    EXPECT_EQ(second->currentText(), QStringLiteral("SDI"));
    EXPECT_EQ(third->currentText(), QStringLiteral("Unassigned"));
    EXPECT_TRUE(third->isEnabled());
    pick(CBasicSettings::kSecondChoiceList, 0);
    EXPECT_EQ(second->currentText(), QStringLiteral("Unassigned"));
    EXPECT_FALSE(third->isEnabled());
    pick(CBasicSettings::kSecondChoiceList, 1); // the first's input again: refused as a repeat
    EXPECT_EQ(catalogue.pending(0x0306), 0);
}

TEST_F(CBasicSettingsTest, OpensDialogsOnlyWithTheUnitsHandler) {
    find<QAbstractButton>(CBasicSettings::kAdvanced)->click();
    find<QAbstractButton>(CBasicSettings::kViewLog)->click();
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"verlo: invalid exception handler",
                                                       "verlo: invalid exception handler"}));
}

// Off line: no software update, the simulated unit's logs; each dialog is registered with the
// handler and on the window stack while it is open, and only then.
TEST(CBasicSettingsWindowsTest, AdvancedAndLogOpenRegisteredWithTheHandler) {
    CKORARemoteGUIDlg mainWindow(ConnectionType::OffLine, QString(), 1);
    KORAExceptionHandler& handler = mainWindow.exceptionHandler();
    DummyKORAProtocol simulated;
    ForwardingProtocol offLine(&simulated);
    KORAParams params(offLine);
    CBasicSettings settings(&params, nullptr, &handler);
    EXPECT_FALSE(findControl<QWidget>(&settings, CBasicSettings::kUpdateSoftware)->isEnabled());
    ScriptedModalRunner operatorPlays;
    const auto whileOpen = [&](QDialog& dialog) {
        EXPECT_EQ(handler.openWindowCount(), 1u);
        EXPECT_EQ(WindowStack::instance().windows().back(), &dialog);
        dialog.reject();
    };
    operatorPlays.answerDialog([&](QDialog& dialog) {
        EXPECT_NE(qobject_cast<CAdvancedSettings*>(&dialog), nullptr);
        whileOpen(dialog);
    });
    operatorPlays.answerDialog([&](QDialog& dialog) {
        auto* log = qobject_cast<CViewLog*>(&dialog);
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(findControl<QPlainTextEdit>(log, CViewLog::kLogText)->toPlainText(),
                  QStringLiteral("No Events"));
        EXPECT_EQ(log->errorLog(), "No Errors");
        whileOpen(dialog);
    });
    const auto stackBefore = WindowStack::instance().windows().size();
    findControl<QAbstractButton>(&settings, CBasicSettings::kAdvanced)->click();
    findControl<QAbstractButton>(&settings, CBasicSettings::kViewLog)->click();
    EXPECT_EQ(operatorPlays.dialogs().size(), 2u);
    EXPECT_EQ(handler.openWindowCount(), 0u);
    EXPECT_EQ(WindowStack::instance().windows().size(), stackBefore);
}

} // namespace
