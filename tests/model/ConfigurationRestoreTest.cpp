#include "model/ControlParameterMap.h"
#include "model/ParameterTransaction.h"
#include "protocol/VerloException.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace {

const std::string invalidFile = "This is not a valid configuration file for this device";

std::string fileOf(const ParameterValueMap& values) {
    std::ostringstream stream;
    values.save(stream);
    return stream.str();
}

class ConfigurationRestoreTest : public ::testing::Test {
protected:
    ConfigurationRestoreTest() {
        for (std::uint16_t id : {0x0301, 0x0302, 0x0303}) {
            unit.values[ParameterId(id)] = ParameterValue(1);
            controls.add(&unit, ParameterId(id), ParameterValue(0), ParameterValue(9));
        }
        controls.refreshAll(&unit);
    }

    int writesOf(std::uint16_t id) const {
        return static_cast<int>(std::count_if(unit.writes.begin(), unit.writes.end(),
                                              [id](const auto& w) { return w.id.number() == id; }));
    }
    void restore(const std::string& file) {
        std::istringstream stream(file);
        controls.restore(stream);
    }
    std::string refusal(const std::string& file) {
        return thrownMessage<VerloException>([&] { restore(file); });
    }

    RecordingProtocol unit;
    ControlParameterMap controls;
};

TEST_F(ConfigurationRestoreTest, SavesPendingValuesOfRestorableParametersOnly) {
    ParameterTransaction edit;
    controls.find(ParameterId(0x0301)).setValue(ParameterValue(4), &edit);
    controls.find(ParameterId(0x0302)).setRestorable(false);
    std::ostringstream stream;
    controls.save(stream);
    const ParameterValueMap expected{{ParameterId(0x0301), ParameterValue(4)},
                                     {ParameterId(0x0303), ParameterValue(1)}};
    EXPECT_EQ(stream.str(), fileOf(expected));

    // Nor is one that is not restorable written back from a file.
    EXPECT_NO_THROW(restore(fileOf({{ParameterId(0x0302), ParameterValue(4)}})));
    EXPECT_TRUE(unit.writes.empty());
}

TEST_F(ConfigurationRestoreTest, WritesChangedValuesToTheUnitOnly) {
    EXPECT_NO_THROW(restore(fileOf(
        {{ParameterId(0x0301), ParameterValue(1)}, {ParameterId(0x0303), ParameterValue(6)}})));
    EXPECT_EQ(writesOf(0x0301), 0);
    EXPECT_EQ(writesOf(0x0303), 1);
    EXPECT_EQ(controls.find(ParameterId(0x0303)).value(), ParameterValue(6));
    EXPECT_EQ(unit.values[ParameterId(0x0303)], ParameterValue(6));
}

TEST_F(ConfigurationRestoreTest, UnknownIdentifierFailsAfterEarlierRecordsWereWritten) {
    EXPECT_EQ(refusal(fileOf({{ParameterId(0x0301), ParameterValue(3)},
                              {ParameterId(0x0302), ParameterValue(4)},
                              {ParameterId(0x0304), ParameterValue(5)}})),
              invalidFile);
    EXPECT_EQ(unit.values[ParameterId(0x0301)], ParameterValue(3));
    EXPECT_EQ(unit.values[ParameterId(0x0302)], ParameterValue(4));
}

TEST_F(ConfigurationRestoreTest, ValueTheUnitKeepsRefusingIsOfferedFiveTimes) {
    unit.refused.insert(ParameterId(0x0302));
    EXPECT_EQ(refusal(fileOf({{ParameterId(0x0302), ParameterValue(7)},
                              {ParameterId(0x0303), ParameterValue(8)}})),
              invalidFile);
    EXPECT_EQ(writesOf(0x0302), 5);
    EXPECT_EQ(writesOf(0x0303), 1);
}

TEST_F(ConfigurationRestoreTest, RefusedValueIsOfferedAgainOnceAnotherOneIsInPlace) {
    // 0x0301 is taken only once 0x0303 holds 5, as a rule of the unit might demand.
    unit.refused.insert(ParameterId(0x0301));
    struct Gate : Observer<ControlParameter> {
        RecordingProtocol* unit = nullptr;
        void update(Subject& subject, Transaction*) override {
            if (static_cast<ControlParameter&>(subject).value() == ParameterValue(5)) {
                unit->refused.clear();
            }
        }
    } gate;
    gate.unit = &unit;
    ControlParameter& opener = controls.find(ParameterId(0x0303));
    gate.setSubject(&opener);
    opener.attach(gate);

    EXPECT_NO_THROW(restore(fileOf(
        {{ParameterId(0x0301), ParameterValue(2)}, {ParameterId(0x0303), ParameterValue(5)}})));
    EXPECT_EQ(writesOf(0x0301), 2);
    EXPECT_EQ(controls.find(ParameterId(0x0301)).value(), ParameterValue(2));
}

TEST_F(ConfigurationRestoreTest, FileAndUnitFailuresAllBecomeOneMessage) {
    std::string damaged = fileOf({{ParameterId(0x0301), ParameterValue(2)}});
    damaged[11] = '\x03';
    EXPECT_EQ(refusal(damaged), invalidFile);
    EXPECT_EQ(refusal(""), invalidFile);
    EXPECT_TRUE(unit.writes.empty());

    unit.failNext(ProtocolException("TRX4 Disconnected"));
    EXPECT_EQ(refusal(fileOf({{ParameterId(0x0301), ParameterValue(2)}})), invalidFile);
}

} // namespace
