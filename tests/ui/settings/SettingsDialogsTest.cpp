#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "ui/look/ControlId.h"
#include "ui/settings/CAdvancedSettings.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/settings/Win32TabControl.h"

#include "support/ScriptedModalRunner.h"
#include "ui/BindingTestSet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The basic settings dialog over the unit's parameters, kept by a recording
// unit that starts with the simulated unit's values.
class SettingsDialogs : public ::testing::Test {
protected:
    SettingsDialogs() {
        unit.values = DummyKORAProtocol().values();
        unit.values[ParameterId(0x0303)] = ParameterValue(50);
        params = std::make_unique<KORAParams>(unit);
        dialog = std::make_unique<CBasicSettings>(params.get(), nullptr, &handler);
        dialog->show();
    }
    int value(std::uint16_t id) {
        return params->controlParameters().find(ParameterId(id)).value().toSignedInt();
    }
    template <class Control = QWidget> Control* find(int id) {
        return findControl<Control>(dialog.get(), id);
    }
    // The operator types the distances and presses "Calculate".
    void calculate(const char* distance, const char* spacing) {
        find<QLineEdit>(CBasicSettings::kDistanceEdit)->setText(QString::fromLatin1(distance));
        find<QLineEdit>(CBasicSettings::kSpacingEdit)->setText(QString::fromLatin1(spacing));
        find<QAbstractButton>(CBasicSettings::kCalculate)->click();
    }

    RecordingProtocol unit;
    std::unique_ptr<KORAParams> params;
    testing::StrictMock<binding::MockHandler> handler;
    ScriptedModalRunner operatorPlays;
    std::unique_ptr<CBasicSettings> dialog;
};

TEST_F(SettingsDialogs, RefusedDistancesAreSelectedAndValidOnesWriteTheDelay) {
    const std::tuple<const char*, const char*, int, int> rows[] = {
        // distance, spacing, the limit told, the edit refused
        {"4", "30", 200, CBasicSettings::kDistanceEdit},
        {"abc", "30", 200, CBasicSettings::kDistanceEdit},
        {"201", "30", 200, CBasicSettings::kDistanceEdit},
        {"200", "141", 140, CBasicSettings::kSpacingEdit},
    };
    for (const auto& [distance, spacing, limit, refused] : rows) {
        operatorPlays.answerDialog([](QDialog&) {});
        calculate(distance, spacing);
        EXPECT_EQ(operatorPlays.dialogs().back().texts,
                  QStringList{QStringLiteral("Please enter a value between 5 and %1").arg(limit)})
            << distance;
        auto* edit = find<QLineEdit>(refused);
        EXPECT_EQ(dialog->focusWidget(), edit) << distance;
        EXPECT_EQ(edit->selectedText(), edit->text()) << distance;
        EXPECT_FALSE(find<QAbstractButton>(CBasicSettings::kCalculate)->isChecked());
        EXPECT_EQ(value(0x0303), 50) << distance;
    }
    EXPECT_EQ(value(0x0b01), 200);

    // Valid distances write the computed delay.
    find<QRadioButton>(CBasicSettings::kFeet)->click();
    calculate("60", "40");
    // (40 - 20) x 1000 / 1130 rounds to 18 ms, raised to the shortest delay.
    EXPECT_EQ(unit.values[ParameterId(0x0303)], ParameterValue(20));
    EXPECT_EQ(find<QSlider>(CBasicSettings::kDelaySlider)->value(), -20);
    EXPECT_EQ(find<QLabel>(CBasicSettings::kDelayText)->text(), QStringLiteral("20"));
    EXPECT_FALSE(find<QAbstractButton>(CBasicSettings::kCalculate)->isChecked());

    // The handler may drop the connection, and with it the parameters, while
    // the dialog stays open until its close request arrives.
    EXPECT_CALL(handler, handleVerloException(testing::_)).WillOnce([this](VerloException&) {
        params.reset();
    });
    unit.failNext(ProtocolException("Timed out"));
    calculate("150", "30");
    EXPECT_FALSE(find<QAbstractButton>(CBasicSettings::kCalculate)->isChecked());
}

// Each tab shows its own page alone, and the dialog keeps one size.
TEST_F(SettingsDialogs, OnePageATabAtOneSizeAndArvoFHasNoSurroundDelay) {
    CAdvancedSettings advanced(params.get(), &handler);
    advanced.show();
    const QSize size = advanced.size();
    Win32TabControl& tabs = *advanced.tabControl();
    for (int tab = tabs.tabBar()->count() - 1; tab >= 0; --tab) {
        tabs.tabBar()->setCurrentIndex(tab);
        for (int page = 0; page < static_cast<int>(tabs.pages().size()); ++page) {
            EXPECT_EQ(tabs.pages()[page]->isVisible(), page == tab) << tab << " " << page;
        }
        EXPECT_EQ(advanced.size(), size) << tab;
    }
    // Ctrl+Shift+Tab and Ctrl+Tab go round the pages.
    advanced.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&advanced));
    QTest::keyClick(&advanced, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabs.tabBar()->currentIndex(), 2);
    QTest::keyClick(&advanced, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(&advanced, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(tabs.pages()[1]->isVisible());

    // The basic settings: an Arvo F has no surround delay, and a handler
    // other than the main window's opens no further window.
    auto* processor = find<QComboBox>(CBasicSettings::kProcessorList);
    processor->setCurrentIndex(5);
    emit processor->activated(5);
    for (const int id : {CBasicSettings::kDelaySlider, CBasicSettings::kDelayText,
                         CBasicSettings::kDistanceEdit, CBasicSettings::kFeet}) {
        EXPECT_FALSE(find(id)->isEnabled()) << id;
    }
    EXPECT_CALL(handler, handleVerloException(testing::_)).Times(3);
    for (const int id :
         {CBasicSettings::kAdvanced, CBasicSettings::kViewLog, CBasicSettings::kUpdateSoftware}) {
        find<QAbstractButton>(id)->click();
    }
}

} // namespace
