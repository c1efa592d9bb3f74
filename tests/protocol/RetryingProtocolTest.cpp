#include "protocol/RetryingProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/VerloException.h"
#include "support/FakeProtocolImplementation.h"

#include <gtest/gtest.h>

namespace {

class RetryingProtocolTest : public ::testing::Test {
protected:
    FakeProtocolImplementation fake;
    ForwardingProtocol forwarding{&fake};
    RetryingProtocol protocol{&forwarding, 2};

    std::size_t callsOf(const std::string& prefix) const {
        std::size_t count = 0;
        for (const auto& call : fake.calls) {
            count += call.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return count;
    }
};

TEST_F(RetryingProtocolTest, OneHostErrorIsHiddenByASecondAttempt) {
    fake.failNext(HostException("Error: Illegal Parameter Value"));
    protocol.setValue(ParameterId(0x0301), ParameterValue(3), 0);
    EXPECT_EQ(callsOf("setValue 0x0301=3"), 2U);
    EXPECT_EQ(fake.values.at(ParameterId(0x0301)), ParameterValue(3));
}

TEST_F(RetryingProtocolTest, SecondHostErrorReachesTheCaller) {
    fake.failNext(HostException("Error: Illegal Parameter Value"), 3);
    try {
        protocol.setValue(ParameterId(0x0301), ParameterValue(3), 0);
        FAIL() << "no exception";
    } catch (const HostException& e) {
        EXPECT_STREQ(e.what(), "Error: Illegal Parameter Value");
    }
    EXPECT_EQ(callsOf("setValue"), 2U);
    EXPECT_EQ(fake.pendingFailures(), 1U);
}

TEST_F(RetryingProtocolTest, PlainFailuresAreNeverRetried) {
    fake.failNext(VerloException("TRX4 Disconnected"));
    EXPECT_THROW(protocol.getValue(ParameterId(0x0100)), VerloException);
    EXPECT_EQ(callsOf("getValue"), 1U);

    fake.failNext(FlashException("Error: x"));
    EXPECT_THROW(protocol.getEventLog(), FlashException);
    EXPECT_EQ(callsOf("getEventLog"), 1U);
}

TEST_F(RetryingProtocolTest, ReadsAndLogsAreRetriedOnProtocolErrors) {
    fake.values[ParameterId(0x0100)] = ParameterValue(11);
    fake.failNext(ProtocolException("CRC error"));
    EXPECT_EQ(protocol.getValue(ParameterId(0x0100)), ParameterValue(11));

    fake.failNext(ProtocolException("CRC error"));
    EXPECT_EQ(protocol.setValueAndRead(ParameterId(0x0100), ParameterValue(12), 0),
              ParameterValue(12));

    fake.failNext(ProtocolException("Expected response not received"));
    EXPECT_EQ(protocol.getErrorLog(), "errors");
    EXPECT_EQ(callsOf("getErrorLog"), 2U);
}

// Answers its first list request with one identifier too many, then correctly.
class StrayEntryOnce : public FakeProtocolImplementation {
public:
    int lists = 0;
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override {
        if (++lists == 1) {
            result[ParameterId(0x0999)] = ParameterValue(1);
        }
        FakeProtocolImplementation::getValues(ids, result);
    }
};

TEST(RetryingProtocolLists, RetryStartsFromTheCallersMap) {
    StrayEntryOnce stray;
    ForwardingProtocol forwarding(&stray);
    RetryingProtocol protocol(&forwarding, 2);
    ParameterValueMap result;
    protocol.getValues({ParameterId(0x0101), ParameterId(0x0102)}, result);
    EXPECT_EQ(stray.lists, 2);
    EXPECT_EQ(result, (ParameterValueMap{{ParameterId(0x0101), ParameterValue(0)},
                                         {ParameterId(0x0102), ParameterValue(0)}}));
}

TEST_F(RetryingProtocolTest, StatusTagAndFileDownloadAreNotRetried) {
    fake.failNext(ProtocolException("CRC error"));
    EXPECT_THROW(protocol.getStatus(), ProtocolException);
    EXPECT_EQ(callsOf("getStatus"), 1U);
    protocol.setTag(77);
    EXPECT_EQ(fake.tag(), 77U);
}

TEST_F(RetryingProtocolTest, ClaimsADeviceWithoutAsking) {
    fake.failNext(ProtocolException("never asked"));
    EXPECT_TRUE(protocol.hasDevice());
    EXPECT_EQ(fake.pendingFailures(), 1U);
}

TEST(RetryingProtocolAttempts, ThreeAttemptsHideTwoFailures) {
    FakeProtocolImplementation fake;
    ForwardingProtocol forwarding(&fake);
    RetryingProtocol protocol(&forwarding, 3);
    fake.failNext(ProtocolException("CRC error"), 2);
    protocol.setValues({{ParameterId(0x0305), ParameterValue(1)}}, 0);
    EXPECT_EQ(fake.calls.size(), 3U);
}

} // namespace
