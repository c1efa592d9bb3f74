// The catalogue: its parameters and the rules that tie them to each other.
#include "RecordedCatalogue.h"

#include "model/ParameterTransaction.h"

#include <gmock/gmock.h>

#include <array>
#include <set>
#include <sstream>
#include <tuple>

namespace {

using Choices = std::array<int, 3>;
using testing::Contains;

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

class ParameterDependenciesTest : public ::testing::Test {
protected:
    Choices choices() {
        return {catalogue.pending(0x0305), catalogue.pending(0x0306), catalogue.pending(0x0307)};
    }
    void unitChooses(const Choices& chosen) {
        for (std::uint16_t i = 0; i < 3; ++i) {
            catalogue.unitHolds(static_cast<std::uint16_t>(0x0305 + i), chosen[i]);
        }
    }
    void set(std::uint16_t id, int value, Transaction* transaction = nullptr) {
        catalogue.control(id).setValue(ParameterValue(value), transaction);
    }

    RecordedCatalogue catalogue;
};

TEST_F(ParameterDependenciesTest, FirmwareVersionIsShownAsTextAndGatesSsmMode) {
    const std::tuple<int, int, std::string, bool> rows[] = {
        {0x0102, 0x0304, "1.2.3.4", false},
        {0x0103, 0x0304, "1.3.3.4", true},
        {0xFF01, 0x8005, "-1.1.-128.5", false}, // the high bytes are signed
    };
    for (const auto& [high, low, text, ssm] : rows) {
        catalogue.unitHolds(0x0114, high);
        catalogue.unitHolds(0x0113, low);
        // The first row is shown as the catalogue is built, the others as polled.
        if (catalogue.params) {
            catalogue.params->pollNext();
        } else {
            catalogue.build();
        }
        EXPECT_EQ(catalogue.control(0x0929).value().toString(), text);
        EXPECT_EQ(catalogue.control(0x031b).available(), ssm) << text;
    }
    EXPECT_TRUE(catalogue.written().empty());
    EXPECT_TRUE(catalogue.control(0x031b).availabilityKeys().empty());
}

TEST_F(ParameterDependenciesTest, InputChoicesCloseGapsAndDropRepeatsWithinTheTransaction) {
    // Settled at start-up in one transaction, written to the unit with its commit.
    unitChooses({0, 2, 3});
    KORAParams& params = catalogue.build();
    EXPECT_EQ(choices(), (Choices{2, 3, 0}));
    EXPECT_EQ(catalogue.unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(catalogue.written(), (std::vector<std::string>{"0x0305=2 delay 0", "0x0306=3 delay 0",
                                                             "0x0307=0 delay 0"}));
    params.refreshControls();
    catalogue.forgetRequests();
    {
        ParameterTransaction edit;
        set(0x0305, 3, &edit);
        EXPECT_EQ(choices(), (Choices{3, 0, 0})) << "the repeat of the first choice is cleared";
    }
    EXPECT_EQ(choices(), (Choices{2, 3, 0})) << "and comes back with the rollback";
    {
        ParameterTransaction edit;
        set(0x0307, 2, &edit);
        EXPECT_EQ(choices(), (Choices{2, 3, 0})) << "nor may the third choice repeat one";
    }
    EXPECT_TRUE(catalogue.written().empty());

    unitChooses({2, 2, 0});
    params.refreshControls();
    EXPECT_EQ(choices(), (Choices{2, 0, 0}));
    EXPECT_THAT(catalogue.written(), Contains("0x0306=0 delay 0"));
    EXPECT_FALSE(catalogue.control(0x0307).available());
    EXPECT_EQ(catalogue.control(0x0307).availabilityKeys(), std::set<std::uint32_t>{0x0306});
}

TEST_F(ParameterDependenciesTest, CalculateDelayAndTheCinemaProcessorSetTheirDependants) {
    catalogue.build();
    // The delay is rounded and clamped.
    const std::tuple<int, int, int, int> delays[] = {
        {63, 41, 0, 20},   // 19.0 ms is too short
        {150, 30, 1, 150}, // 246.8 ms is too long
        {57, 30, 1, 67},   // 66.77 ms rounds up
    };
    for (const auto& [depth, spacing, units, delay] : delays) {
        set(0x0b01, depth);
        set(0x0b02, spacing);
        set(0x0b00, units);
        set(0x0303, 100);
        set(0x0b03, 1);
        EXPECT_EQ(catalogue.pending(0x0b03), 0);
        EXPECT_EQ(catalogue.pending(0x0303), delay) << depth << " and " << spacing;
    }
    EXPECT_THAT(catalogue.written(), Contains("0x0303=67 delay 0"));

    // The processor sets the automation ports and whether a delay is offered.
    const std::tuple<int, int, int, bool> rows[] = {
        {0, 6, 4, true},  {1, 6, 7, true}, {8, 8, 8, true},
        {5, 6, 4, false}, {3, 8, 8, true}, {4, 6, 4, true},
    };
    for (const auto& [processor, film, video, delayOffered] : rows) {
        set(0x0300, processor);
        EXPECT_EQ(catalogue.pending(0x030a), film) << processor;
        EXPECT_EQ(catalogue.pending(0x030b), video) << processor;
        for (const std::uint16_t id : {0x0303, 0x0b03, 0x0b01, 0x0b02, 0x0b00}) {
            EXPECT_EQ(catalogue.control(id).available(), delayOffered) << processor;
        }
    }
    // Any notification of the processor, not only a new value, sets the ports again.
    set(0x030a, 2);
    catalogue.control(0x0300).revert();
    EXPECT_EQ(catalogue.pending(0x030a), 6);
}

TEST_F(ParameterDependenciesTest, ChannelsAndSignalOutputsFollowEachOther) {
    // Signal i on output 7 - i: channel k carries signal 7 - k.
    for (std::uint16_t i = 0; i < 8; ++i) {
        catalogue.unitHolds(static_cast<std::uint16_t>(0x030e + i), 7 - i);
    }
    catalogue.build();
    for (std::uint16_t k = 0; k < 8; ++k) {
        EXPECT_EQ(catalogue.pending(static_cast<std::uint16_t>(0x0d00 + k)), 7 - k) << k;
    }
    set(0x0310, 1);
    EXPECT_EQ(catalogue.pending(0x0d01), 2);
    EXPECT_EQ(catalogue.pending(0x0d05), 2) << "the previous holder is not changed";
    set(0x0d03, 6);
    EXPECT_EQ(catalogue.pending(0x0314), 3);
    EXPECT_THAT(catalogue.written(), Contains("0x0314=3 delay 0"));
}

} // namespace
