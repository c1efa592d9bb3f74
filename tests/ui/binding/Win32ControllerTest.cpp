#include "ui/binding/Win32Controller.h"
#include "model/ControlParameter.h"
#include "model/ParameterTransaction.h"
#include "protocol/VerloException.h"

#include "ui/BindingTestSet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

using namespace binding;

namespace {

using Win32ControllerTest = BoundSet;

// Where an operator's change sends what the unit throws at it.
TEST_F(Win32ControllerTest, FailuresOfAChangeGoToTheMatchingHandlerOperation) {
    struct Row {
        const char* name;
        std::function<void(RecordingProtocol&)> fail;
        std::string handled;
    };
    const std::vector<Row> rows{
        {"host", [](auto& u) { u.failNext(HostException("Bad value")); }, "host: Bad value"},
        {"protocol", [](auto& u) { u.failNext(ProtocolException("Timed out")); },
         "verlo: Timed out"},
        {"flash", [](auto& u) { u.failNext(FlashException("Burn failed")); }, "verlo: Burn failed"},
        {"verlo", [](auto& u) { u.failNext(VerloException("Broken")); }, "verlo: Broken"},
        {"other", [](auto& u) { u.failNext(std::runtime_error("odd")); }, "unknown"},
        {"anything", [](auto& u) { u.failNext(42); }, "unknown"},
    };
    QCheckBox box(&window);
    controller.bindCheckBox(&box, pairId, 1);
    controller.connectChanges(&box);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        handler.calls.clear();
        row.fail(unit);
        box.click();
        EXPECT_EQ(handler.calls, std::vector<std::string>{row.handled});
        // The failed change is rolled back and the box shows the value again.
        EXPECT_EQ(control(pairId).value(), ParameterValue(1));
        EXPECT_TRUE(box.isChecked());
    }

    // The same guard around sliders.
    QSlider slider(&window);
    controller.bindSlider(&slider, delayId, false, false);
    handler.calls.clear();
    unit.failNext(HostException("Refused"));
    controller.sliderChanged(&slider, ScrollCode::LineDown);
    EXPECT_EQ(handler.calls, std::vector<std::string>{"host: Refused"});
}

TEST_F(Win32ControllerTest, BindingAgainReplacesTheObserver) {
    QComboBox combo(&window);
    controller.bindComboBox(&combo, listId, 200, 208);
    controller.bindComboBox(&combo, narrowListId, 200, 208);
    EXPECT_EQ(combo.count(), 6);
    EXPECT_EQ(combo.currentIndex(), 4);
    control(listId).setValue(ParameterValue(1));
    EXPECT_EQ(combo.currentIndex(), 4); // the first binding is gone

    QLabel label(&window);
    controller.bindControlText(&label, nameId);
    controller.bindControlText(&label, distanceId);
    control(nameId).setValue(ParameterValue(std::string("Hall")));
    EXPECT_EQ(label.text(), QStringLiteral("40"));

    EXPECT_THROW(controller.bindCheckBox(new QCheckBox(&window), ParameterId(3, 99), 1),
                 VerloException);
}

TEST_F(Win32ControllerTest, ParameterSetMayDieFirst) {
    QCheckBox box(&window);
    QComboBox combo(&window);
    QSlider slider(&window);
    QLabel text(&window);
    QLabel status(&window);
    QProgressBar bar(&window);
    controller.bindCheckBox(&box, pairId, 1);
    controller.bindComboBox(&combo, listId, 200, 208);
    controller.bindSlider(&slider, delayId, true, false);
    controller.bindControlText(&text, nameId);
    controller.bindStatusText(&status, labelId);
    controller.bindProgressBar(&bar, delayId);
    controller.connectChanges(&box);
    EXPECT_TRUE(controller.hasDevice());

    set.reset();
    controller.setParameterSet(nullptr);
    box.click();
    controller.controlChanged(&combo);
    controller.sliderChanged(&slider, ScrollCode::LineUp);
    EXPECT_TRUE(handler.calls.empty());
    EXPECT_FALSE(controller.hasDevice());
    EXPECT_THROW(controller.bindCheckBox(&box, pairId, 1), VerloException);
}

TEST_F(Win32ControllerTest, ControlsOutlivingTheControllerNoLongerReachIt) {
    QCheckBox box(&window);
    {
        Win32Controller shortLived(set.get(), &handler);
        shortLived.bindCheckBox(&box, pairId, 1);
        shortLived.connectChanges(&box);
    }
    box.click();
    EXPECT_TRUE(unit.setValuesCalls.empty());
}

} // namespace
