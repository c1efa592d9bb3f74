#pragma once

#include "base/VerloException.h"
#include "model/ParameterSet.h"
#include "ui/binding/ExceptionHandler.h"
#include "ui/binding/Win32Controller.h"

#include "support/RecordingProtocol.h"

#include <QWidget>

#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <tuple>

// A small parameter set over a recording unit for the control binding tests.
namespace binding {

const ParameterId labelId(1, 0);      // status text
const ParameterId levelId(1, 1);      // meter reading
const ParameterId listId(3, 0);       // 0..8, the texts of strings 200..208
const ParameterId narrowListId(3, 1); // 0..5
const ParameterId raisedListId(3, 2); // 2..5
const ParameterId pairId(3, 3);       // 0..1, a radio pair
const ParameterId delayId(3, 4);      // 20..150, a slider
const ParameterId distanceId(3, 5);   // 5..200, an edit box

// Built over the unit's first values; pollNext reads the status parameters.
class TestSet : public ParameterSet {
public:
    explicit TestSet(RecordingProtocol& unit) : ParameterSet(unit) {
        unit.values = {{labelId, ParameterValue(std::string("R&D"))}, {levelId, ParameterValue(0)}};
        auto& text = makeFormatter<StringFormatter>("Label");
        statusParameters().add(&unit, labelId, MinimumShortValue, MaximumShortValue, &text);
        // Like the unit's meters, it notifies on every reading.
        statusParameters()
            .add(&unit, levelId, MinimumShortValue, MaximumShortValue)
            .setAlwaysNotify(true);
        // Identifier, minimum, maximum and first value of each control parameter.
        const std::tuple<ParameterId, int, int, int> controls[] = {
            {listId, 0, 8, 7}, {narrowListId, 0, 5, 4}, {raisedListId, 2, 5, 3},
            {pairId, 0, 1, 1}, {delayId, 20, 150, 60},  {distanceId, 5, 200, 40}};
        for (const auto& [id, minimum, maximum, value] : controls) {
            unit.values[id] = ParameterValue(value);
            controlParameters().add(&unit, id, ParameterValue(minimum), ParameterValue(maximum));
        }
        addPollGroup(1);
        refreshControls();
        pollNext();
    }
};

// Stands for the main window's handler. Strict: a call no test expects fails.
class MockHandler : public ExceptionHandler {
public:
    MockHandler() : ExceptionHandler(nullptr) {}
    MOCK_METHOD(void, handleVerloException, (VerloException&), (override));
    MOCK_METHOD(void, handleHostException, (HostException&), (override));
    MOCK_METHOD(void, handleUnknownException, (), (override));
    MOCK_METHOD(void, handleFatalFailure, (VerloException&), (override));
    MOCK_METHOD(void, handleProtocolException, (ProtocolException&), (override));
    MOCK_METHOD(void, handleFileException, (FileException&), (override));
};

// The test set, its controller and a window to put controls in.
class BoundSet : public ::testing::Test {
protected:
    RecordingProtocol unit;
    std::unique_ptr<TestSet> set = std::make_unique<TestSet>(unit);
    testing::StrictMock<MockHandler> handler;
    Win32Controller controller{set.get(), &handler};
    QWidget window;
};

} // namespace binding
