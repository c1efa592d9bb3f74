#include "model/ControlParameter.h"
#include "model/MeterScaler.h"
#include "model/ParameterConverter.h"
#include "model/ParameterTransaction.h"
#include "ui/binding/Win32EditObserver.h"
#include "ui/look/MeterWidget.h"
#include "ui/look/ValueSlider.h"

#include "ui/BindingTestSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

using namespace binding;

namespace {

using Win32ControllerTest = BoundSet;

// The main window destroys the parameter set before it binds its controls
// to the next one; controls may outlive the controller. Nothing reaches
// the handler.
TEST_F(Win32ControllerTest, TheParameterSetAndTheControlsMayOutliveEachOther) {
    QCheckBox box(&window);
    QLabel text(&window);
    controller.bindCheckBox(&box, pairId, 1);
    controller.bindStatusText(&text, labelId);
    EXPECT_EQ(text.text(), QStringLiteral("R&D"));
    EXPECT_EQ(text.textFormat(), Qt::PlainText); // no underline for the "&"
    set.reset();
    controller.controlChanged(&box);

    set = std::make_unique<TestSet>(unit);
    {
        Win32Controller shortLived(set.get(), &handler);
        shortLived.bindCheckBox(&box, pairId, 1);
        shortLived.connectChanges(&box);
    }
    box.click();
    EXPECT_TRUE(unit.setValuesCalls.empty());
}

TEST_F(Win32ControllerTest, ComboFollowsTheLimitsAndTheValueAndAnEditWritesWhatParses) {
    QComboBox combo(&window);
    Win32ComboBoxObserver observer(&combo, 200, 208);
    const auto entries = [&combo] {
        QStringList texts;
        for (int i = 0; i < combo.count(); ++i) {
            texts.append(combo.itemText(i));
        }
        return texts.join(' ');
    };
    set->observeControl(listId, observer);
    EXPECT_EQ(entries(), "1 2 3 4 5 6 7 8 Unassigned");
    EXPECT_EQ(combo.currentIndex(), 7);
    // The maximum drops from 8 to 5: the last three entries go.
    set->observeControl(narrowListId, observer);
    EXPECT_EQ(entries(), "1 2 3 4 5 6");
    // The minimum rises from 0 to 2: the first two go, the selection follows.
    set->observeControl(raisedListId, observer);
    EXPECT_EQ(entries(), "3 4 5 6");
    EXPECT_EQ(combo.currentText(), QStringLiteral("4"));
    combo.setCurrentIndex(0);
    ParameterTransaction transaction;
    observer.applyControl(&transaction);
    EXPECT_EQ(set->controlParameters().find(raisedListId).value(), ParameterValue(2));
    EXPECT_TRUE(unit.setValuesCalls.empty()); // the caller commits
    set->observeControl(listId, observer);
    EXPECT_EQ(entries(), "1 2 3 4 5 6 7 8 Unassigned");

    // An edit writes only a new text that parses.
    IntParameterConverter converter;
    QLineEdit edit(&window);
    Win32EditObserver editObserver(&edit, converter);
    set->observeControl(distanceId, editObserver);
    EXPECT_EQ(edit.text(), QStringLiteral("40"));
    EXPECT_FALSE(editObserver.applyText(nullptr)); // the text shown
    edit.setText(QStringLiteral("abc"));
    EXPECT_FALSE(editObserver.applyText(nullptr));
    EXPECT_TRUE(unit.setValuesCalls.empty());
    // Without a transaction the value is written at once; the text being
    // applied stays as the operator typed it.
    edit.setText(QStringLiteral("060"));
    EXPECT_TRUE(editObserver.applyText(nullptr));
    EXPECT_EQ(unit.values[distanceId], ParameterValue(60));
    EXPECT_EQ(edit.text(), QStringLiteral("060"));
    EXPECT_FALSE(editObserver.applyText(nullptr));
}

// Two buttons on one parameter with the values 0 and 1 act as a radio pair;
// a button whose value lies outside the parameter's range is disabled. A
// change the unit refuses goes to the handler and leaves the pair as it was.
TEST_F(Win32ControllerTest, CheckBoxesMakeARadioPairWithinTheRange) {
    QRadioButton first(&window);
    QRadioButton second(&window);
    QRadioButton outside(&window);
    controller.bindCheckBox(&first, pairId, 0);
    controller.bindCheckBox(&second, pairId, 1);
    controller.bindCheckBox(&outside, pairId, 2);
    controller.connectChanges(&first);
    EXPECT_FALSE(outside.isEnabled());
    EXPECT_CALL(handler, handleHostException(testing::_));
    EXPECT_CALL(handler, handleUnknownException());
    unit.failNext(HostException("Bad value"));
    first.click();
    unit.failNext(std::runtime_error("odd"));
    first.click();
    EXPECT_TRUE(second.isChecked());
    first.click();
    EXPECT_EQ(unit.values[pairId], ParameterValue(0));
    EXPECT_FALSE(second.isChecked());
    // The unit answers with another value: the pair follows it.
    unit.values[pairId] = ParameterValue(1);
    set->refreshControls();
    EXPECT_FALSE(first.isChecked());
    EXPECT_TRUE(second.isChecked());
}

// The highlighted pixels of the groove's fill.
int filled(QSlider& slider) {
    const QImage image = slider.grab().toImage();
    const QColor fill = slider.palette().color(QPalette::Highlight);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += std::abs(pixel.hue() - fill.hue()) < 10 && pixel.saturation() > 100 ? 1 : 0;
        }
    }
    return count;
}

// A delay slider shows the negated delay with its minimum drawn on top: at
// the shortest delay (the handle at the bottom) it is empty, at the longest
// it is full, and a plain slider is filled from its own minimum end.
TEST_F(Win32ControllerTest, InvertedSliderHasTheMaximumOnTopAndLineUpRaisesTheValue) {
    ValueSlider slider(Qt::Vertical, &window);
    slider.setInvertedAppearance(true);
    slider.resize(30, 160);
    controller.bindSlider(&slider, delayId, true, false).configureSlider(10, 1, 10);
    controller.connectChanges(&slider);
    EXPECT_EQ(slider.minimum(), -150);
    EXPECT_EQ(slider.maximum(), -20);
    const std::pair<QAbstractSlider::SliderAction, int> rows[] = {
        {QAbstractSlider::SliderSingleStepSub, 61}, // line up
        {QAbstractSlider::SliderPageStepAdd, 51},   // page down
        {QAbstractSlider::SliderToMinimum, 150},    // top of the track
        {QAbstractSlider::SliderSingleStepSub, 150}, {QAbstractSlider::SliderToMaximum, 20},
    };
    int longest = 0;
    for (const auto& [action, value] : rows) {
        slider.triggerAction(action);
        EXPECT_EQ(unit.values[delayId], ParameterValue(value)) << action;
        EXPECT_EQ(slider.value(), -value) << action;
        longest = std::max(longest, filled(slider));
    }
    EXPECT_GT(longest, 200);
    EXPECT_LT(filled(slider), longest / 10) << "at the shortest delay";
    slider.setInvertedAppearance(false);
    EXPECT_GT(filled(slider), 200) << "plain, at its maximum";
    slider.setSliderPosition(-33); // dragging the thumb
    EXPECT_EQ(unit.values[delayId], ParameterValue(33));
}

// Readings are decibels already, floored like every scaler.
class LinearScaler : public MeterScaler {
public:
    double scale(double level, double floor) const override { return std::max(level, floor); }
};

// A meter 100 pixels high for -60..0 dB, drawn from the bottom as the
// main window's are.
TEST_F(Win32ControllerTest, AMeterFallsAtItsRateAndRisesAtOnce) {
    MeterWidget meter;
    meter.resize(10, 100);
    LinearScaler scaler;
    MeterConfiguration configuration;
    configuration.reference = -60;
    configuration.fallRate = 40;
    std::int64_t now = 5000;
    controller.bindMeter(&meter, levelId, &scaler, configuration, [&now] { return now; });
    // The bar's height in pixels once the unit reported level later ms on.
    const auto barAfter = [&](int level, int later) {
        now += later;
        unit.values[levelId] = ParameterValue(level);
        set->pollNext();
        int bar = 0;
        while (bar < 100 && meter.image().pixel(5, 99 - bar) == qRgb(255, 190, 0)) {
            ++bar;
        }
        EXPECT_EQ(meter.image().pixel(5, 0), bar < 100 ? qRgb(0, 0, 128) : qRgb(255, 190, 0));
        return bar;
    };
    // 40 dB per second: the fall of 60 dB takes 1.5 s.
    EXPECT_EQ(barAfter(-60, 0), 100);
    EXPECT_EQ(barAfter(-60, 500), 67);
    EXPECT_EQ(barAfter(-60, 750), 17);
    EXPECT_EQ(barAfter(-60, 500), 0);
    EXPECT_EQ(barAfter(-3, 10), 95);
    EXPECT_EQ(barAfter(12, 10), 100);
    EXPECT_EQ(barAfter(-60, 500), 67) << "falls from the top, not from above it";
}

} // namespace
