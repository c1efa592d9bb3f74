#include "model/ControlParameter.h"
#include "model/ParameterConverter.h"
#include "model/ParameterTransaction.h"
#include "ui/binding/Win32Controller.h"
#include "ui/binding/Win32EditObserver.h"
#include "ui/look/CxShadeButton.h"

#include "support/ThrownMessage.h"
#include "ui/BindingTestSet.h"

#include <QCheckBox>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

using namespace binding;

namespace {

class Win32ObserverTest : public BoundSet {
protected:
    QStringList entries(const QComboBox& combo) {
        QStringList texts;
        for (int i = 0; i < combo.count(); ++i) {
            texts.append(combo.itemText(i));
        }
        return texts;
    }
};

TEST_F(Win32ObserverTest, TextShowsAnAmpersandOnceAndFollowsAvailability) {
    auto* label = new QLabel(&window);
    auto* name = new QLabel(&window);
    controller.bindStatusText(label, labelId);
    controller.bindControlText(name, nameId);
    // A label without a buddy shows plain text as it is: one "&" is one "&".
    EXPECT_EQ(label->text(), QStringLiteral("R&D"));
    EXPECT_EQ(label->buddy(), nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Booth"));

    ParameterTransaction transaction;
    control(nameId).setValue(ParameterValue(std::string("Stage & Screen")), &transaction);
    EXPECT_EQ(name->text(), QStringLiteral("Stage & Screen")); // the pending value
    control(nameId).setAvailable(false, 1);
    EXPECT_FALSE(name->isEnabled());
    control(nameId).setAvailable(true, 1);
    EXPECT_TRUE(name->isEnabled());
}

TEST_F(Win32ObserverTest, ComboFollowsTheLimitsAndTheValue) {
    QComboBox combo(&window);
    Win32ComboBoxObserver observer(&combo, 200, 208);
    set->observeControl(listId, observer);
    EXPECT_EQ(entries(combo), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "Unassigned"}));
    EXPECT_EQ(combo.currentIndex(), 7);

    // The maximum drops from 8 to 5: the last three entries go.
    set->observeControl(narrowListId, observer);
    EXPECT_EQ(entries(combo), (QStringList{"1", "2", "3", "4", "5", "6"}));
    EXPECT_EQ(combo.currentIndex(), 4);

    // The minimum rises from 0 to 2: the first two go, the selection follows.
    set->observeControl(raisedListId, observer);
    EXPECT_EQ(entries(combo), (QStringList{"3", "4", "5", "6"}));
    EXPECT_EQ(observer.firstValue(), 2);
    EXPECT_EQ(combo.currentText(), QStringLiteral("4"));

    // And back: the entries return in order.
    set->observeControl(listId, observer);
    EXPECT_EQ(combo.count(), 9);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("1"));
    EXPECT_EQ(combo.currentIndex(), 7);

    combo.setCurrentIndex(2);
    ParameterTransaction transaction;
    observer.applyControl(&transaction);
    EXPECT_EQ(control(listId).value(), ParameterValue(2));
    EXPECT_EQ(combo.currentIndex(), 2);
    EXPECT_TRUE(unit.setValuesCalls.empty()); // the caller commits

    EXPECT_EQ(thrownMessage<VerloException>([&] { Win32ComboBoxObserver(&combo, 212, 214); }),
              "Unable to load the string with id: 214");
}

TEST_F(Win32ObserverTest, CheckBoxOutsideTheRangeIsDisabled) {
    QCheckBox inRange(&window);
    QCheckBox outside(&window);
    controller.bindCheckBox(&inRange, pairId, 1);
    controller.bindCheckBox(&outside, pairId, 2);
    EXPECT_TRUE(inRange.isEnabled());
    EXPECT_TRUE(inRange.isChecked());
    EXPECT_FALSE(outside.isEnabled());
    EXPECT_FALSE(outside.isChecked());

    control(pairId).setAvailable(false, 7);
    EXPECT_FALSE(inRange.isEnabled());
}

// Two buttons on one parameter with the values 0 and 1 act as a radio pair,
// whichever kind of button the window uses.
TEST_F(Win32ObserverTest, TwoCheckBoxObserversMakeARadioPair) {
    const std::vector<std::function<QAbstractButton*(QWidget*)>> kinds{
        [](QWidget* parent) { return new QRadioButton(parent); },
        [](QWidget* parent) {
            auto* button = new CxShadeButton(QString(), parent);
            button->setKind(CxShadeButton::Kind::RadioButton);
            return button;
        }};
    for (const auto& make : kinds) {
        QWidget group;
        QAbstractButton* first = make(&group);
        QAbstractButton* second = make(&group);
        controller.bindCheckBox(first, pairId, 0);
        controller.bindCheckBox(second, pairId, 1);
        controller.connectChanges(first);
        controller.connectChanges(second);
        control(pairId).setValue(ParameterValue(1));
        EXPECT_FALSE(first->isChecked());
        EXPECT_TRUE(second->isChecked());

        first->click();
        EXPECT_EQ(control(pairId).value(), ParameterValue(0));
        EXPECT_TRUE(first->isChecked());
        EXPECT_FALSE(second->isChecked());
        EXPECT_EQ(unit.values[pairId], ParameterValue(0));

        // The unit answers with another value: the pair follows it.
        unit.values[pairId] = ParameterValue(1);
        set->refreshControls();
        EXPECT_FALSE(first->isChecked());
        EXPECT_TRUE(second->isChecked());
    }
}

TEST_F(Win32ObserverTest, InvertedSliderHasTheMaximumOnTopAndLineUpRaisesTheValue) {
    QSlider slider(Qt::Vertical, &window);
    controller.bindSlider(&slider, delayId, true, false).configureSlider(10, 1, 10);
    controller.connectChanges(&slider);
    EXPECT_EQ(slider.minimum(), -150);
    EXPECT_EQ(slider.maximum(), -20);
    EXPECT_EQ(slider.value(), -60);
    EXPECT_EQ(slider.tickInterval(), 10);
    EXPECT_EQ(slider.pageStep(), 10);

    slider.triggerAction(QAbstractSlider::SliderSingleStepSub); // line up
    EXPECT_EQ(control(delayId).value(), ParameterValue(61));
    EXPECT_EQ(slider.value(), -61);
    slider.triggerAction(QAbstractSlider::SliderPageStepAdd); // page down
    EXPECT_EQ(control(delayId).value(), ParameterValue(51));
    slider.triggerAction(QAbstractSlider::SliderToMinimum); // top of the track
    EXPECT_EQ(control(delayId).value(), ParameterValue(150));
    slider.triggerAction(QAbstractSlider::SliderSingleStepSub); // beyond the top
    EXPECT_EQ(control(delayId).value(), ParameterValue(150));
    slider.setSliderPosition(-33); // dragging the thumb
    EXPECT_EQ(control(delayId).value(), ParameterValue(33));
    slider.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(control(delayId).value(), ParameterValue(20));

    ASSERT_FALSE(unit.writes.empty());
    EXPECT_EQ(unit.writes.back().id, delayId);
    EXPECT_EQ(unit.writes.back().value, ParameterValue(20));
    EXPECT_EQ(unit.values[delayId], ParameterValue(20));
}

class Win32EditObserverTest : public Win32ObserverTest {
protected:
    Win32EditObserverTest() : observer(&edit, converter) {
        set->observeControl(distanceId, observer);
    }

    IntParameterConverter converter;
    QLineEdit edit{&window};
    Win32EditObserver observer;
};

TEST_F(Win32EditObserverTest, WritesOnlyANewTextThatParses) {
    EXPECT_EQ(edit.text(), QStringLiteral("40"));
    EXPECT_FALSE(observer.applyText(nullptr)); // the text shown
    edit.setText(QStringLiteral("abc"));
    EXPECT_FALSE(observer.applyText(nullptr));
    EXPECT_TRUE(unit.setValuesCalls.empty());
    EXPECT_EQ(control(distanceId).value(), ParameterValue(40));

    // Without a transaction the value is written at once; the text being
    // applied stays as the operator typed it.
    edit.setText(QStringLiteral("060"));
    EXPECT_TRUE(observer.applyText(nullptr));
    ASSERT_EQ(unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(unit.setValuesCalls[0].first, (ParameterValueMap{{distanceId, ParameterValue(60)}}));
    EXPECT_EQ(edit.text(), QStringLiteral("060"));
    EXPECT_FALSE(observer.applyText(nullptr));
    observer.refresh();
    EXPECT_EQ(edit.text(), QStringLiteral("60"));

    // With the caller's transaction nothing reaches the unit before commit.
    edit.setText(QStringLiteral("70"));
    ParameterTransaction transaction;
    EXPECT_TRUE(observer.applyText(&transaction));
    EXPECT_EQ(unit.setValuesCalls.size(), 1u);
    transaction.commit();
    EXPECT_EQ(unit.values[distanceId], ParameterValue(70));

    control(distanceId).setAvailable(false, 9);
    EXPECT_FALSE(edit.isEnabled());
}

TEST_F(Win32EditObserverTest, FiltersTheFirstSwearWord) {
    StringParameterConverter strings;
    QLineEdit nameEdit(&window);
    Win32EditObserver name(&nameEdit, strings);
    set->observeControl(nameId, name);
    nameEdit.setText(QStringLiteral("fuck this fuck"));
    EXPECT_TRUE(name.applyText(nullptr));
    EXPECT_EQ(unit.values[nameId], ParameterValue(std::string("$#*! this fuck")));
    EXPECT_EQ(name.shownText(), "$#*! this fuck");
    EXPECT_FALSE(name.applyText(nullptr)); // the same text, filtered the same way
}

} // namespace
