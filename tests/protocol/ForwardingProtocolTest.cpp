#include "protocol/ForwardingProtocol.h"

#include "base/VerloException.h"
#include "protocol/DummyKORAProtocol.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

// Answers every list with the same map, whatever was asked.
class ScriptedLists : public RecordingProtocol {
public:
    void getValues(const ParameterIdList&, ParameterValueMap& result) override {
        result.insert(values.begin(), values.end());
    }
};

TEST(ForwardingProtocolTest, ListsReadBackMustAnswerExactlyWhatWasAsked) {
    const ParameterId a(0x0101);
    const ParameterId b(0x0102);
    const ParameterValue v(1);
    const std::string missing = "The device did not return all of the requested parameters";
    const std::tuple<ParameterIdList, ParameterValueMap, std::string> rows[] = {
        {{a, b}, {{a, v}, {b, v}}, ""},
        {{a, a}, {{a, v}}, missing},
        {{a, b},
         {{a, v}, {b, v}, {ParameterId(0x0103), v}},
         "The device returned some unasked for parameters"},
        {{a, b},
         {{a, v}, {ParameterId(0x0109), v}},
         "The device returned some parameters that were not asked for."},
    };
    for (const auto& [asked, answer, failure] : rows) {
        ScriptedLists unit;
        unit.values = answer;
        ForwardingProtocol protocol(&unit);
        ParameterValueMap result;
        EXPECT_EQ(failureOf<ProtocolException>([&] { protocol.getValues(asked, result); }), failure)
            << asked.size() << " asked, " << answer.size() << " answered";
    }
    // A single write reads back what the unit kept.
    RecordingProtocol unit;
    unit.values[a] = ParameterValue(3);
    unit.refused.insert(a);
    EXPECT_EQ(ForwardingProtocol(&unit).setValueAndRead(a, v, 0), ParameterValue(3));
}

// Off line: the simulated unit keeps the eight signal outputs a permutation.
TEST(ForwardingProtocolTest, TheSimulatedUnitSwapsASignalOutputsValueWithItsHolder) {
    // Written identifier and value, then another identifier and its value afterwards.
    const std::tuple<std::uint16_t, int, std::uint16_t, int> rows[] = {
        {0x0310, 5, 0x0313, 2}, {0x0315, 0, 0x030e, 7}, {0x030e, 7, 0x0315, 0},
        {0x0310, 9, 0x0313, 5}, {0x0d02, 5, 0x0d05, 5},
    };
    for (const auto& [id, value, other, after] : rows) {
        DummyKORAProtocol simulated;
        ForwardingProtocol unit(&simulated);
        ParameterValueMap read;
        unit.setValuesAndRead({{ParameterId(id), ParameterValue(value)}}, read, 0);
        EXPECT_EQ(read, (ParameterValueMap{{ParameterId(id), ParameterValue(value)}})) << id;
        EXPECT_EQ(unit.getValue(ParameterId(other)), ParameterValue(after))
            << id << " to " << value;
        EXPECT_EQ(unit.getEventLog() + unit.getErrorLog(), "No EventsNo Errors");
    }
}

} // namespace
