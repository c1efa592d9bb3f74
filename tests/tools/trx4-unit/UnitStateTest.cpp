#include "UnitState.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

class UnitStateTest : public testing::Test {
protected:
    UnitState state{UnitState::catalogueRanges()};
};

TEST_F(UnitStateTest, HoldsTheEightyDeviceParametersWithTheSimulatedUnitsValues) {
    const ParameterValueMap values = state.values();
    ASSERT_EQ(values.size(), 80u);
    DummyKORAProtocol factory;
    for (const auto& [parameter, value] : values) {
        const std::uint8_t group = parameter.group();
        EXPECT_TRUE(group == 1 || group == 3 || group == 5 || group == 7) << parameter.toText();
        EXPECT_EQ(value, factory.getValue(parameter)) << parameter.toText();
    }
    EXPECT_FALSE(state.value(id(0x0900)));
    EXPECT_FALSE(state.value(id(0x0D00)));
}

TEST_F(UnitStateTest, RefusesUnknownReadOnlyAndOutOfRangeWrites) {
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(20)}}), 0);
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(150)}}), 0);
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(19)}}), UnitState::illegalParameterValue);
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(151)}}), UnitState::illegalParameterValue);
    // Limits are signed: 0xFFFF is -1, below 0.
    EXPECT_EQ(state.check({{id(0x0304), ParameterValue(-1)}}), UnitState::illegalParameterValue);
    // A text is no number for a limited parameter, whatever its last bytes say.
    EXPECT_EQ(state.check({{id(0x0304), ParameterValue(std::string("x\x00\x05", 3))}}),
              UnitState::illegalParameterValue);
    EXPECT_EQ(state.check({{id(0x0304), ParameterValue(std::string("abc"))}}),
              UnitState::illegalParameterValue);
    EXPECT_EQ(state.check({{id(0x0399), ParameterValue(0)}}), UnitState::illegalParameterId);
    EXPECT_EQ(state.check({{id(0x0900), ParameterValue(0)}}), UnitState::illegalParameterId);
    EXPECT_EQ(state.check({{id(0x0104), ParameterValue(1)}}), UnitState::illegalParameterId);
    EXPECT_EQ(state.check({{id(0x0701), ParameterValue(std::string("projection-booth"))}}), 0);
    // One bad pair refuses the whole write.
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(30)}, {id(0x0304), ParameterValue(500)}}),
              UnitState::illegalParameterValue);
}

TEST_F(UnitStateTest, KeepsTheSignalOutputsAPermutationAndReportsTheSwappedPartner) {
    const auto reported = state.apply({{id(0x0310), ParameterValue(5)}});
    EXPECT_EQ(reported, (std::vector<ParameterId>{id(0x0310), id(0x0313)}));
    EXPECT_EQ(*state.value(id(0x0310)), ParameterValue(5));
    EXPECT_EQ(*state.value(id(0x0313)), ParameterValue(2));

    // Writing a member its own value changes nothing else.
    EXPECT_EQ(state.apply({{id(0x0310), ParameterValue(5)}}),
              (std::vector<ParameterId>{id(0x0310)}));

    // Several outputs in one write: each swap happens in identifier order.
    state.apply({{id(0x030E), ParameterValue(7)}, {id(0x030F), ParameterValue(6)}});
    std::vector<int> outputs;
    for (std::uint16_t number = 0x030E; number <= 0x0315; ++number) {
        outputs.push_back(state.value(id(number))->toSignedInt());
    }
    std::vector<int> sorted = outputs;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(outputs[0], 7);
    EXPECT_EQ(outputs[1], 6);
}

TEST_F(UnitStateTest, OtherWritesReportOnlyWhatWasWritten) {
    const auto reported = state.apply(
        {{id(0x0303), ParameterValue(40)}, {id(0x0701), ParameterValue(std::string("x"))}});
    EXPECT_EQ(reported, (std::vector<ParameterId>{id(0x0303), id(0x0701)}));
    EXPECT_EQ(*state.value(id(0x0701)), ParameterValue(std::string("x")));
}

TEST(UnitStateProgramSelection, FollowsTheConfigurationList) {
    EXPECT_EQ(UnitState::programSelectionFor(0), ParameterId(std::uint16_t{0x0500}));
    EXPECT_EQ(UnitState::programSelectionFor(10), ParameterId(std::uint16_t{0x050A}));
    EXPECT_EQ(UnitState::programSelectionFor(12), ParameterId(std::uint16_t{0x050B}));
    EXPECT_EQ(UnitState::programSelectionFor(17), ParameterId(std::uint16_t{0x0510}));
    EXPECT_EQ(UnitState::programSelectionFor(21), ParameterId(std::uint16_t{0x0513}));
    EXPECT_EQ(UnitState::programSelectionFor(11), ParameterId(std::uint16_t{0x0514}));
    EXPECT_EQ(UnitState::programSelectionFor(24), ParameterId(std::uint16_t{0x0518}));
    EXPECT_FALSE(UnitState::programSelectionFor(25));
    EXPECT_FALSE(UnitState::programSelectionFor(-1));
}

} // namespace
