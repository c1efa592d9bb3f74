#include "protocol/ForwardingProtocol.h"

#include "base/VerloException.h"
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
}

} // namespace
