#include "UnitState.h"

#include <gtest/gtest.h>

namespace {

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

TEST(UnitState, RefusesBadWritesAndKeepsTheSignalOutputsAPermutation) {
    UnitState state(UnitState::catalogueRanges());
    // Limits are signed (0xFFFF is -1), and a text is no number for a limited
    // parameter, whatever its last bytes say.
    const std::vector<std::tuple<std::uint16_t, ParameterValue, std::uint16_t>> rows = {
        {0x0303, ParameterValue(20), 0},
        {0x0303, ParameterValue(19), UnitState::illegalParameterValue},
        {0x0304, ParameterValue(-1), UnitState::illegalParameterValue},
        {0x0304, ParameterValue(std::string("x\0\5", 3)), UnitState::illegalParameterValue},
        {0x0701, ParameterValue(std::string("projection-booth")), 0},
        {0x0104, ParameterValue(1), UnitState::illegalParameterId}};
    for (const auto& [number, value, expected] : rows) {
        EXPECT_EQ(state.check({{id(number), value}}), expected)
            << std::hex << number << " " << testing::PrintToString(value.bytes());
    }
    // One bad pair refuses the whole write.
    EXPECT_EQ(state.check({{id(0x0303), ParameterValue(30)}, {id(0x0304), ParameterValue(500)}}),
              UnitState::illegalParameterValue);

    // Each swap happens in identifier order: 0x030E takes 7 from 0x0315, then
    // 0x030F takes it from 0x030E.
    EXPECT_EQ(state.apply({{id(0x030E), ParameterValue(7)}, {id(0x030F), ParameterValue(7)}}),
              (std::vector<ParameterId>{id(0x030E), id(0x030F), id(0x0315)}));
    std::vector<int> outputs;
    for (std::uint16_t number = 0x030E; number <= 0x0315; ++number) {
        outputs.push_back(state.value(id(number))->toSignedInt());
    }
    EXPECT_EQ(outputs, (std::vector<int>{1, 7, 2, 3, 4, 5, 6, 0}));
}

} // namespace
