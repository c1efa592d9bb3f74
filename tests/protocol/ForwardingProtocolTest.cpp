#include "protocol/ForwardingProtocol.h"
#include "protocol/VerloException.h"
#include "support/FakeProtocolImplementation.h"
#include "support/RecordingProgress.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

namespace {

using Calls = std::vector<std::string>;

// Answers list requests with a scripted map instead of asking per identifier.
class ScriptedListImplementation : public FakeProtocolImplementation {
public:
    ParameterValueMap answer;
    void getValues(const ParameterIdList&, ParameterValueMap& result) override {
        result.insert(answer.begin(), answer.end());
    }
};

TEST(ProtocolImplementationDefaults, ListOperationsAreBuiltFromSingleOnes) {
    FakeProtocolImplementation fake;
    fake.values[ParameterId(0x0302)] = ParameterValue(9);

    ParameterValueMap read;
    fake.getValues({ParameterId(0x0302), ParameterId(0x0301)}, read);
    EXPECT_EQ(fake.calls, (Calls{"getValue 0x0302", "getValue 0x0301"}));
    EXPECT_EQ(read, (ParameterValueMap{{ParameterId(0x0301), ParameterValue(0)},
                                       {ParameterId(0x0302), ParameterValue(9)}}));

    fake.calls.clear();
    const ParameterValueMap writes{{ParameterId(0x0305), ParameterValue(5)},
                                   {ParameterId(0x0103), ParameterValue(3)}};
    fake.setValues(writes, 40);
    EXPECT_EQ(fake.calls, (Calls{"setValue 0x0103=3 delay 40", "setValue 0x0305=5 delay 40"}));

    fake.calls.clear();
    ParameterValueMap readBack;
    fake.setValuesAndRead(writes, readBack, 0);
    EXPECT_EQ(fake.calls, (Calls{"setValue 0x0103=3 delay 0", "getValue 0x0103",
                                 "setValue 0x0305=5 delay 0", "getValue 0x0305"}));
    EXPECT_EQ(readBack, writes);

    EXPECT_FALSE(fake.hasDevice());
    RecordingProgress progress;
    EXPECT_THROW(
        try { fake.downloadFile("image.bin", progress); } catch (const VerloException& e) {
            EXPECT_STREQ(e.what(), "Download not implemented for this protocol");
            throw;
        },
        VerloException);
    const std::uint8_t block[1] = {0};
    EXPECT_THROW(fake.downloadBlock(block, 1, 0, true), VerloException);
}

TEST(ForwardingProtocolTest, PassesEachOperationToTheImplementation) {
    FakeProtocolImplementation fake;
    ForwardingProtocol protocol(&fake);

    EXPECT_EQ(protocol.getStatus().message(), "Ok");
    protocol.setTag(0xCAFE);
    EXPECT_EQ(fake.tag(), 0xCAFEU);
    protocol.setValue(ParameterId(0x0301), ParameterValue(-4), 15);
    EXPECT_EQ(protocol.getValue(ParameterId(0x0301)), ParameterValue(-4));
    EXPECT_EQ(protocol.setValueAndRead(ParameterId(0x0302), ParameterValue(6), 1),
              ParameterValue(6));
    EXPECT_EQ(protocol.getEventLog(), "events");
    EXPECT_EQ(protocol.getErrorLog(), "errors");
    EXPECT_FALSE(protocol.hasDevice());
    EXPECT_EQ(fake.calls, (Calls{"getStatus", "setValue 0x0301=-4 delay 15", "getValue 0x0301",
                                 "setValue 0x0302=6 delay 1", "getValue 0x0302", "getEventLog",
                                 "getErrorLog"}));
}

TEST(ForwardingProtocolTest, CompleteListPassesTheChecks) {
    FakeProtocolImplementation fake;
    ForwardingProtocol protocol(&fake);
    ParameterValueMap result;
    protocol.getValues({ParameterId(0x0101), ParameterId(0x0100)}, result);
    EXPECT_EQ(result.size(), 2U);
    ParameterValueMap none;
    protocol.getValues({}, none);
    EXPECT_TRUE(none.empty());
}

TEST(ForwardingProtocolTest, ListChecksRejectInconsistentAnswers) {
    FakeProtocolImplementation fake;
    ForwardingProtocol protocol(&fake);
    ParameterValueMap result;
    EXPECT_EQ(thrownMessage<ProtocolException>([&] {
                  protocol.getValues({ParameterId(0x0101), ParameterId(0x0101)}, result);
              }),
              "The device did not return all of the requested parameters");

    ScriptedListImplementation scripted;
    ForwardingProtocol scriptedProtocol(&scripted);
    const ParameterIdList asked{ParameterId(0x0101), ParameterId(0x0102)};

    scripted.answer = {{ParameterId(0x0101), ParameterValue(1)}};
    ParameterValueMap missing;
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { scriptedProtocol.getValues(asked, missing); }),
              "The device did not return all of the requested parameters");

    scripted.answer = {{ParameterId(0x0101), ParameterValue(1)},
                       {ParameterId(0x0102), ParameterValue(2)},
                       {ParameterId(0x0103), ParameterValue(3)}};
    ParameterValueMap extra;
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { scriptedProtocol.getValues(asked, extra); }),
              "The device returned some unasked for parameters");

    scripted.answer = {{ParameterId(0x0101), ParameterValue(1)},
                       {ParameterId(0x0109), ParameterValue(2)}};
    ParameterValueMap wrong;
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { scriptedProtocol.getValues(asked, wrong); }),
              "The device returned some parameters that were not asked for.");
}

} // namespace
