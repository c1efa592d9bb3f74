#include "ui/settings/CAdvancedSettings.h"
#include "protocol/DummyKORAProtocol.h"
#include "ui/binding/ControlId.h"
#include "ui/settings/CMiscellaneous.h"
#include "ui/settings/CProgramSelection.h"
#include "ui/settings/Win32TabControl.h"

#include "catalogue/RecordedCatalogue.h"
#include "support/ScriptedModalRunner.h"
#include "ui/BindingTestSet.h"

#include <QComboBox>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class CAdvancedSettingsTest : public ::testing::Test {
protected:
    CAdvancedSettingsTest() {
        // A firmware that knows Silent Switch Mode.
        catalogue.unitHolds(0x0114, 0x0103);
        catalogue.build();
    }

    template <class Control> Control* find(QWidget& window, int id) {
        auto* control = findControl<Control>(&window, id);
        EXPECT_NE(control, nullptr) << "no control " << id;
        return control;
    }

    RecordedCatalogue catalogue;
    binding::RecordingHandler handler;
};

TEST_F(CAdvancedSettingsTest, SwitchingTabsShowsExactlyOnePage) {
    CAdvancedSettings dialog(catalogue.params.get(), &handler);
    dialog.show();
    Win32TabControl* tabs = dialog.tabControl();
    EXPECT_EQ(tabs, findControl<Win32TabControl>(&dialog, CAdvancedSettings::kTabControl));
    QTabBar* bar = tabs->tabBar();
    ASSERT_EQ(bar->count(), 3);
    EXPECT_EQ(bar->tabText(0), QStringLiteral("Audio Settings"));
    EXPECT_EQ(bar->tabText(1), QStringLiteral("Channel Assignments"));
    EXPECT_EQ(bar->tabText(2), QStringLiteral("Program Selection"));
    for (const int selected : {0, 2, 1, 0}) {
        bar->setCurrentIndex(selected);
        for (int i = 0; i < 3; ++i) {
            QWidget* page = tabs->pages()[static_cast<std::size_t>(i)];
            EXPECT_EQ(page->isVisible(), i == selected) << selected << " " << i;
            EXPECT_EQ(page->isEnabled(), i == selected) << selected << " " << i;
        }
    }
    EXPECT_NE(qobject_cast<CMiscellaneous*>(tabs->pages()[0]), nullptr);
    EXPECT_NE(qobject_cast<CProgramSelection*>(tabs->pages()[2]), nullptr);
}

TEST_F(CAdvancedSettingsTest, SilentSwitchModeTellsTheLatencyAfterEveryClick) {
    CMiscellaneous page(catalogue.params.get(), &handler);
    ScriptedModalRunner operatorPlays;
    for (int i = 0; i < 3; ++i) {
        operatorPlays.answerDialog([](QDialog& box) { box.accept(); });
    }
    auto* enable = find<QRadioButton>(page, CMiscellaneous::kSilentSwitchEnable);
    auto* disable = find<QRadioButton>(page, CMiscellaneous::kSilentSwitchDisable);
    ASSERT_TRUE(enable && disable && enable->isEnabled());
    const int before = catalogue.writes();
    enable->click();
    enable->click();
    EXPECT_EQ(catalogue.writes(), before + 1);
    EXPECT_TRUE(catalogue.wrote("setValue 0x031B=1 delay 0"));
    disable->click();
    ASSERT_EQ(operatorPlays.dialogs().size(), 3u);
    const QString enabling = "Enabling Silent Switch Mode increases PCM decode latency by 42ms.";
    EXPECT_TRUE(operatorPlays.dialogs()[0].texts.contains(enabling));
    EXPECT_TRUE(operatorPlays.dialogs()[1].texts.contains(enabling));
    EXPECT_TRUE(operatorPlays.dialogs()[2].texts.contains(
        "Disabling Silent Switch Mode reduces PCM decode latency to the minimum value of 12ms."));
    EXPECT_EQ(catalogue.pending(0x031b), 0);

    // The hidden pair is bound all the same.
    EXPECT_FALSE(find<QRadioButton>(page, 1199)->isVisibleTo(&page));
    EXPECT_EQ(find<QRadioButton>(page, 1200)->isChecked(), catalogue.pending(0x030d) == 1);
}

// Off line the simulated unit keeps the signal outputs a permutation.
TEST(CChannelAssignmentsTest, AChannelChangeWritesTheMirroredSignalOutput) {
    DummyKORAProtocol unit;
    ForwardingProtocol front(&unit);
    KORAParams params(front);
    binding::RecordingHandler handler;
    CAdvancedSettings dialog(&params, &handler);
    auto* first = findControl<QComboBox>(&dialog, 1249);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->count(), 8);
    EXPECT_EQ(first->itemText(7), QStringLiteral("Right Extra"));
    first->setCurrentIndex(4); // "Left Surround" on output channel 1
    emit first->activated(4);

    EXPECT_EQ(unit.getValue(ParameterId(0x030e + 4)), ParameterValue(0));
    std::vector<int> outputs;
    for (int i = 0; i < 8; ++i) {
        outputs.push_back(
            unit.getValue(ParameterId(static_cast<std::uint16_t>(0x030e + i))).toInt());
    }
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(outputs, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    params.refreshControls();
    EXPECT_EQ(first->currentIndex(), 4);
    EXPECT_TRUE(handler.calls.empty());
}

} // namespace
