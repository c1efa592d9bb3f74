#include "RecordedCatalogue.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

TEST(KORAParamsTest, HoldsEveryParameterOfTheUnitWithItsKindAndShowsItsTrickyTexts) {
    RecordedCatalogue catalogue;
    KORAParams& params = catalogue.build();
    EXPECT_EQ(params.statusParameters().size(), 21u);
    EXPECT_EQ(params.controlParameters().size(), 113u);
    // The simulated unit knows exactly the unit's 134 identifiers.
    const DummyKORAProtocol simulated;
    for (const auto& [id, value] : simulated.values()) {
        const Parameter& parameter = params.findParameter(id);
        EXPECT_EQ(params.controlParameters().lookup(id) == nullptr, id.group() == 1) << id.toText();
        const bool meter = id.number() >= 0x0106 && id.number() <= 0x010d;
        EXPECT_EQ(parameter.alwaysNotify(), meter) << id.toText();
    }
    // Loaded from the unit in two lists: its control parameters, then its status.
    ASSERT_EQ(catalogue.unit.getValuesCalls.size(), 2u);
    EXPECT_EQ(catalogue.unit.getValuesCalls[0].size(), 59u);
    EXPECT_EQ(catalogue.unit.getValuesCalls[1].size(), 21u);

    // Limits that no list of texts implies.
    const std::tuple<std::uint16_t, int, int> limits[] = {
        {0x010d, 0, 20860}, {0x0113, 0, -1},  {0x0303, 20, 150}, {0x0304, 0, 160},
        {0x0502, 0, 1},     {0x050d, 0, 2},   {0x0518, 0, 0},    {0x0701, -32768, 32767},
        {0x0928, 0, 100},   {0x0b01, 0, 200}, {0x0b02, 0, 140},
    };
    for (const auto& [id, minimum, maximum] : limits) {
        const Parameter& parameter = params.findParameter(ParameterId(id));
        EXPECT_EQ(parameter.minimum(), ParameterValue(minimum)) << id;
        EXPECT_EQ(parameter.maximum(), ParameterValue(maximum)) << id;
    }

    // Texts that are easy to get wrong.
    const std::tuple<std::uint16_t, int, std::string> rows[] = {
        {0x0317, 1, ""},  {0x010f, 0, ""},  {0x0110, 0, ""},       {0x030d, 0, "0"},
        {0x031b, 1, "1"}, {0x0300, 9, "9"}, {0x0112, 27, "-27dB"}, {0x0112, 0, "------"},
    };
    for (const auto& [id, value, text] : rows) {
        std::ostringstream shown;
        params.findParameter(ParameterId(id)).format(shown, ParameterValue(value));
        EXPECT_EQ(shown.str(), text) << id << " = " << value;
    }
    std::ostringstream report;
    params.writeTextReport(report, "TRX4");
    params.writeReportNotes(report, "TRX4");
    EXPECT_EQ(report.str(), "") << "a unit's text report is left empty";
}

} // namespace
