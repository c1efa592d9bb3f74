#include "RecordedCatalogue.h"

#include "model/ParameterTransaction.h"

#include <gtest/gtest.h>

#include <array>

namespace {

class ParameterDependenciesTest : public ::testing::Test {
protected:
    KORAParams& build() { return catalogue.build(); }

    std::array<int, 3> choices() {
        return {catalogue.pending(0x0305), catalogue.pending(0x0306), catalogue.pending(0x0307)};
    }
    std::string firmwareText() { return catalogue.control(0x0929).value().toString(); }

    RecordedCatalogue catalogue;
};

TEST_F(ParameterDependenciesTest, FirmwareVersionIsShownAsText) {
    catalogue.unitHolds(0x0114, 0x0102);
    catalogue.unitHolds(0x0113, 0x0304);
    KORAParams& params = build();
    EXPECT_EQ(firmwareText(), "1.2.3.4");
    EXPECT_FALSE(catalogue.control(0x031b).available());

    catalogue.unitHolds(0x0114, 0x0103);
    params.pollNext();
    EXPECT_EQ(firmwareText(), "1.3.3.4");
    EXPECT_TRUE(catalogue.control(0x031b).available());

    // A high byte of 0x80 or more is signed on the unit.
    catalogue.unitHolds(0x0114, 0xFF01);
    catalogue.unitHolds(0x0113, 0x8005);
    params.pollNext();
    EXPECT_EQ(firmwareText(), "-1.1.-128.5");
    EXPECT_FALSE(catalogue.control(0x031b).available());
    EXPECT_EQ(catalogue.writes(), 0);
}

TEST_F(ParameterDependenciesTest, ChoicesCloseGapsFromTheUnit) {
    catalogue.unitHolds(0x0305, 0);
    catalogue.unitHolds(0x0306, 2);
    catalogue.unitHolds(0x0307, 3);
    build();
    EXPECT_EQ(choices(), (std::array<int, 3>{2, 3, 0}));
    // Settled at start-up in one transaction, written to the unit with its commit.
    EXPECT_EQ(catalogue.unit.values[ParameterId(0x0305)], ParameterValue(2));
    EXPECT_EQ(catalogue.unit.values[ParameterId(0x0306)], ParameterValue(3));
    EXPECT_EQ(catalogue.unit.values[ParameterId(0x0307)], ParameterValue(0));
    EXPECT_TRUE(catalogue.control(0x0306).available());
    EXPECT_TRUE(catalogue.control(0x0307).available());
}

TEST_F(ParameterDependenciesTest, ChoicesDropRepeatsAndOfferOnlyAfterAnInput) {
    KORAParams& params = build();
    catalogue.unitHolds(0x0305, 2);
    catalogue.unitHolds(0x0306, 2);
    catalogue.unitHolds(0x0307, 0);
    params.refreshControls();
    EXPECT_EQ(choices(), (std::array<int, 3>{2, 0, 0}));
    EXPECT_TRUE(catalogue.control(0x0306).available());
    EXPECT_FALSE(catalogue.control(0x0307).available());
    EXPECT_TRUE(catalogue.wrote("setValue 0x0306=0 delay 0"));
    EXPECT_EQ(catalogue.control(0x0307).availabilityKeys(), std::set<std::uint32_t>{0x0306});
}

TEST_F(ParameterDependenciesTest, ChoiceChangesJoinTheOperatorsTransaction) {
    build();
    catalogue.unit.calls.clear();
    {
        ParameterTransaction edit;
        catalogue.control(0x0305).setValue(ParameterValue(1), &edit);
        // (1, 5, 1): the repeat of the first choice is cleared.
        EXPECT_EQ(choices(), (std::array<int, 3>{1, 5, 0}));
        EXPECT_EQ(catalogue.writes(), 0);
    }
    EXPECT_EQ(choices(), (std::array<int, 3>{4, 5, 1}));
    EXPECT_EQ(catalogue.writes(), 0);

    ParameterTransaction edit;
    catalogue.control(0x0305).setValue(ParameterValue(1), &edit);
    edit.commit();
    EXPECT_EQ(catalogue.unit.values[ParameterId(0x0305)], ParameterValue(1));
    EXPECT_EQ(catalogue.unit.values[ParameterId(0x0307)], ParameterValue(0));
}

TEST_F(ParameterDependenciesTest, CinemaProcessorSetsAutomationPortsAndDelayAvailability) {
    build();
    ControlParameter& processor = catalogue.control(0x0300);
    processor.setValue(ParameterValue(0));
    EXPECT_EQ(catalogue.pending(0x030a), 6);
    EXPECT_EQ(catalogue.pending(0x030b), 4);

    processor.setValue(ParameterValue(1));
    EXPECT_EQ(catalogue.text(0x030a, catalogue.pending(0x030a)), "Automation Port 6");
    EXPECT_EQ(catalogue.text(0x030b, catalogue.pending(0x030b)), "Automation Port 7");
    EXPECT_TRUE(catalogue.wrote("setValue 0x030B=7 delay 0"));

    processor.setValue(ParameterValue(8));
    EXPECT_EQ(catalogue.pending(0x030a), 8);
    EXPECT_EQ(catalogue.pending(0x030b), 8);

    const std::array<std::uint16_t, 5> delaySettings{0x0303, 0x0b03, 0x0b01, 0x0b02, 0x0b00};
    processor.setValue(ParameterValue(5));
    EXPECT_EQ(catalogue.pending(0x030a), 6);
    for (const std::uint16_t id : delaySettings) {
        EXPECT_FALSE(catalogue.control(id).available()) << id;
        EXPECT_EQ(catalogue.control(id).availabilityKeys(), std::set<std::uint32_t>{0x0300});
    }
    processor.setValue(ParameterValue(3));
    for (const std::uint16_t id : delaySettings) {
        EXPECT_TRUE(catalogue.control(id).available()) << id;
    }
}

TEST_F(ParameterDependenciesTest, CinemaProcessorRulesReturnWithAnyNotification) {
    build();
    catalogue.control(0x030a).setValue(ParameterValue(2));
    EXPECT_EQ(catalogue.pending(0x030a), 2);
    // A revert notifies without a new value; the defaults of "Arvo B" return.
    catalogue.control(0x0300).revert();
    EXPECT_EQ(catalogue.pending(0x030a), 6);
    EXPECT_EQ(catalogue.pending(0x030b), 7);
}

TEST_F(ParameterDependenciesTest, CalculateDelayComputesOnlyWhenTriggered) {
    build();
    const auto calculate = [this](int depth, int spacing, int units) {
        catalogue.control(0x0b01).setValue(ParameterValue(depth));
        catalogue.control(0x0b02).setValue(ParameterValue(spacing));
        catalogue.control(0x0b00).setValue(ParameterValue(units));
        catalogue.control(0x0303).setValue(ParameterValue(100));
        catalogue.control(0x0b03).setValue(ParameterValue(1));
        EXPECT_EQ(catalogue.pending(0x0b03), 0);
        return catalogue.pending(0x0303);
    };
    EXPECT_EQ(calculate(60, 40, 0), 20);
    EXPECT_EQ(calculate(150, 30, 1), 150);
    EXPECT_EQ(calculate(90, 20, 0), 44); // 44.25 ms
    EXPECT_EQ(calculate(60, 20, 1), 87); // 87.10 ms
    EXPECT_EQ(calculate(57, 30, 1), 67); // 66.77 ms rounds up
    EXPECT_TRUE(catalogue.wrote("setValue 0x0303=67 delay 0"));

    catalogue.control(0x0303).setValue(ParameterValue(100));
    catalogue.control(0x0b01).setValue(ParameterValue(200));
    EXPECT_EQ(catalogue.pending(0x0303), 100);
}

TEST_F(ParameterDependenciesTest, CalculatedDelayJoinsTheTransaction) {
    build();
    catalogue.control(0x0b01).setValue(ParameterValue(60));
    catalogue.control(0x0b02).setValue(ParameterValue(20));
    catalogue.control(0x0b00).setValue(ParameterValue(1));
    catalogue.unit.calls.clear();
    {
        ParameterTransaction edit;
        catalogue.control(0x0b03).setValue(ParameterValue(1), &edit);
        EXPECT_EQ(catalogue.pending(0x0303), 87);
        EXPECT_EQ(catalogue.writes(), 0);
    }
    EXPECT_EQ(catalogue.pending(0x0303), 20);
    EXPECT_EQ(catalogue.writes(), 0);
}

TEST_F(ParameterDependenciesTest, ChannelsMirrorSignalOutputs) {
    // Signal i on output 7 - i: channel k carries signal 7 - k.
    for (std::uint16_t i = 0; i < 8; ++i) {
        catalogue.unitHolds(static_cast<std::uint16_t>(0x030e + i), 7 - i);
    }
    build();
    for (std::uint16_t k = 0; k < 8; ++k) {
        EXPECT_EQ(catalogue.pending(static_cast<std::uint16_t>(0x0d00 + k)), 7 - k);
    }
}

TEST_F(ParameterDependenciesTest, SignalOutputAndChannelFollowEachOther) {
    build();
    catalogue.unit.calls.clear();
    catalogue.control(0x0310).setValue(ParameterValue(5));
    EXPECT_EQ(catalogue.pending(0x0d05), 2);
    EXPECT_EQ(catalogue.pending(0x0d02), 2);
    EXPECT_EQ(catalogue.writes(), 1);

    catalogue.control(0x0d03).setValue(ParameterValue(6));
    EXPECT_EQ(catalogue.pending(0x0314), 3);
    EXPECT_TRUE(catalogue.wrote("setValue 0x0314=3 delay 0"));
    EXPECT_EQ(catalogue.writes(), 2);
}

TEST_F(ParameterDependenciesTest, RolledBackProcessorBringsBackItsPorts) {
    build();
    ParameterTransaction edit;
    catalogue.control(0x0300).setValue(ParameterValue(8), &edit);
    EXPECT_EQ(catalogue.pending(0x030a), 8);
    edit.rollback();
    EXPECT_EQ(catalogue.pending(0x0300), 1);
    EXPECT_EQ(catalogue.pending(0x030a), 6);
    EXPECT_EQ(catalogue.pending(0x030b), 7);
}

} // namespace
