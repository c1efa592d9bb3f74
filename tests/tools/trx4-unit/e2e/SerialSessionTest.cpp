#include "HostChain.h"
#include "TracedUnitTest.h"
#include "support/ThrownMessage.h"

#include "catalogue/KORAParams.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

const ParameterId surroundDelay(std::uint16_t{0x0303});

class SerialSession : public TracedUnitTest {
protected:
    void start(std::vector<std::string> extra = {}) { startSerialUnit(std::move(extra)); }
};

TEST_F(SerialSession, ServesTheCatalogueOverAcknowledgedFrames) {
    start();
    EXPECT_THAT(unit->firstLine(), testing::StartsWith("/dev/"));
    {
        SerialChain chain(unit->firstLine());
        KORAParams params(chain.retrying);
        EXPECT_EQ(params.findParameter(surroundDelay).value(), ParameterValue(20));
        params.controlParameters().find(surroundDelay).setValue(ParameterValue(64));
        EXPECT_EQ(params.controlParameters().find(surroundDelay).unitValue(), ParameterValue(64));

        // The meters keep coming while the host polls.
        std::set<std::uint16_t> left;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (left.size() < 3 && std::chrono::steady_clock::now() < deadline) {
            params.pollNext();
            left.insert(params.findParameter(ParameterId(std::uint16_t{0x0106})).value().toInt());
            std::this_thread::sleep_for(30ms);
        }
        EXPECT_GE(left.size(), 3u);
    }
    // The host's disconnect frame ended its session; the next host is served.
    {
        SerialChain chain(unit->firstLine());
        EXPECT_EQ(chain.protocol.getValue(surroundDelay), ParameterValue(64));
    }
    const auto trace = stopAndReadTrace();
    EXPECT_EQ(messages(trace, "received", "GetAll").size(), 2u);
    EXPECT_GE(countEvents(trace, "host-disconnected"), 1u);
    EXPECT_EQ(countEvents(trace, "crc-error"), 0u);
}

TEST_F(SerialSession, CorruptedFramesAreReportedAndTheRetryingFrontEndRecovers) {
    // Without unsolicited messages every exchange is the unit's acknowledgement
    // followed by its reply, so every third frame corrupts a reply in every
    // third exchange, never in two exchanges running.
    start({"--corrupt-every", "3", "--status-interval-ms", "0"});
    std::size_t hostFailures = 0;
    {
        SerialChain chain(unit->firstLine());
        for (int round = 0; round < 6; ++round) {
            EXPECT_THAT(chain.retrying.getEventLog(), testing::StartsWith("TRX4 event log\n"));
        }
        // Without the retrying front end the same fault reaches the caller.
        for (int round = 0; round < 3; ++round) {
            try {
                chain.forwarding.getErrorLog();
            } catch (const ProtocolException& error) {
                EXPECT_STREQ(error.what(), "Expected response not received");
                ++hostFailures;
            }
        }
    }
    EXPECT_EQ(hostFailures, 1u);
    const auto trace = stopAndReadTrace();
    std::size_t corruptedReplies = 0;
    for (const auto& line : trace) {
        corruptedReplies += line.value("corrupted", false) ? 1 : 0;
    }
    // The host told the unit of every corrupted frame it received.
    EXPECT_EQ(countEvents(trace, "crc-error-reported"),
              corruptedReplies + countEvents(trace, "frame-corrupted"));
    // Each corrupted Event Log reply made the retrying front end ask once more.
    std::size_t corruptedEventLogs = 0;
    for (const auto& reply : messages(trace, "sent", "Event Log")) {
        corruptedEventLogs += reply.value("corrupted", false) ? 1 : 0;
    }
    EXPECT_EQ(corruptedEventLogs, 3u);
    EXPECT_EQ(messages(trace, "received", "Get Event Log").size(), 6u + corruptedEventLogs);
}

TEST_F(SerialSession, ADroppedHostIsToldTheUnitDisconnected) {
    start({"--drop-after-seconds", "0.5"});
    SerialChain chain(unit->firstLine());
    KORAParams params(chain.retrying);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    std::string failure;
    while (failure.empty() && std::chrono::steady_clock::now() < deadline) {
        try {
            params.pollNext();
            std::this_thread::sleep_for(30ms);
        } catch (const VerloException& error) {
            failure = error.what();
        }
    }
    EXPECT_EQ(failure, "TRX4 Disconnected");
}

} // namespace
