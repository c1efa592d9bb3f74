#include "HostChain.h"
#include "TracedUnitTest.h"
#include "support/ThrownMessage.h"

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

const ParameterId surroundDelay(std::uint16_t{0x0303});

ParameterId id(std::uint16_t number) {
    return ParameterId(number);
}

class TcpSession : public TracedUnitTest {
protected:
    void start(std::vector<std::string> extra = {}) { startUnit(std::move(extra)); }
    // What a newly connected host reads from the unit.
    ParameterValue unitValue(ParameterId parameter) {
        TcpChain probe(unit->port());
        return probe.protocol.getValue(parameter);
    }
};

TEST_F(TcpSession, GetAllFillsEveryDeviceParameterOfTheCatalogue) {
    start();
    std::set<ParameterId> device;
    {
        TcpChain chain(unit->port());
        KORAParams params(chain.retrying);
        for (const auto& [parameterId, parameter] : params.statusParameters()) {
            if (parameter.source() == &chain.retrying) {
                device.insert(parameterId);
            }
        }
        for (const auto& [parameterId, parameter] : params.controlParameters()) {
            if (parameter.source() == &chain.retrying) {
                device.insert(parameterId);
            }
        }
        EXPECT_EQ(device.size(), 80u);
        // Factory values and the default scenario's status, as read from the unit.
        EXPECT_EQ(params.findParameter(surroundDelay).value(), ParameterValue(20));
        EXPECT_EQ(params.findParameter(id(0x0701)).value(), ParameterValue(std::string("trx4")));
        EXPECT_EQ(params.findParameter(id(0x0104)).value(), ParameterValue(3));
        EXPECT_EQ(params.findParameter(id(0x0111)).value(), ParameterValue(7));
        for (std::uint16_t output = 0; output < 8; ++output) {
            EXPECT_EQ(params.findParameter(id(0x030E + output)).value(), ParameterValue(output));
        }
    }
    const auto trace = stopAndReadTrace();
    const auto responses = messages(trace, "sent", "Get All Response");
    ASSERT_EQ(responses.size(), 1u);
    std::set<ParameterId> sent;
    for (const auto& text : responses[0]["ids"]) {
        sent.insert(
            id(static_cast<std::uint16_t>(std::stoul(text.get<std::string>(), nullptr, 16))));
    }
    EXPECT_EQ(sent, device);
    EXPECT_EQ(messages(trace, "received", "GetAll").size(), 1u);
}

TEST_F(TcpSession, AControlWriteIsConfirmedAndKeptByTheUnit) {
    start();
    {
        TcpChain chain(unit->port());
        KORAParams params(chain.retrying);
        auto& delay = params.controlParameters().find(surroundDelay);
        delay.setValue(ParameterValue(25));
        EXPECT_EQ(delay.value(), ParameterValue(25));
        EXPECT_EQ(delay.unitValue(), ParameterValue(25));

        // Signal Output 2 takes 5 from Signal Output 5, which gets 2 back:
        // the unit reports both, so the host's cache knows at once.
        chain.retrying.setValue(id(0x0310), ParameterValue(5), 0);
        EXPECT_EQ(chain.retrying.getValue(id(0x0310)), ParameterValue(5));
        EXPECT_EQ(chain.retrying.getValue(id(0x0313)), ParameterValue(2));
    }
    EXPECT_EQ(unitValue(surroundDelay), ParameterValue(25));
    EXPECT_EQ(unitValue(id(0x0313)), ParameterValue(2));

    const auto trace = stopAndReadTrace();
    bool swapReported = false;
    for (const auto& status : messages(trace, "sent", "Status")) {
        swapReported |= status["ids"] == nlohmann::json::array({"0x0310", "0x0313"});
    }
    EXPECT_TRUE(swapReported);
}

TEST_F(TcpSession, TheUnitRefusesWhatItsCatalogueRefuses) {
    start();
    TcpChain chain(unit->port());
    EXPECT_EQ(thrownMessage<HostException>(
                  [&] { chain.forwarding.setValue(surroundDelay, ParameterValue(151), 0); }),
              "Error: Illegal Parameter Value");
    EXPECT_EQ(thrownMessage<HostException>(
                  [&] { chain.forwarding.setValue(id(0x0399), ParameterValue(1), 0); }),
              "Error: Illegal Parameter Id");
    // The edge of the range is accepted, and a refused write changed nothing.
    chain.forwarding.setValue(surroundDelay, ParameterValue(150), 0);
    EXPECT_EQ(chain.forwarding.getValue(surroundDelay), ParameterValue(150));
}

// The retrying front end tries once more, then lets the unit's refusal through.
TEST_F(TcpSession, AnInjectedSetErrorSurfacesAsHostExceptionAfterOneRetry) {
    start({"--set-error", "2"});
    {
        TcpChain chain(unit->port());
        EXPECT_EQ(thrownMessage<HostException>(
                      [&] { chain.retrying.setValue(id(0x0319), ParameterValue(2), 0); }),
                  "Error: Illegal Parameter Value");
    }
    const auto trace = stopAndReadTrace();
    EXPECT_EQ(messages(trace, "received", "Set").size(), 2u);
    const auto errors = messages(trace, "sent", "Error");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0]["status"], 2);
}

TEST_F(TcpSession, ADroppedConnectionRaisesWhatTheErrorHandlerTakesOffLine) {
    start({"--drop-after-seconds", "0.5"});
    {
        TcpChain chain(unit->port());
        KORAParams params(chain.retrying);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        bool failed = false;
        while (!failed && std::chrono::steady_clock::now() < deadline) {
            try {
                params.pollNext();
                std::this_thread::sleep_for(30ms);
            } catch (const ProtocolException&) {
                failed = true;
            } catch (const VerloException& error) {
                EXPECT_STREQ(error.what(), "Socket read thread exited.");
                failed = true;
            }
        }
        EXPECT_TRUE(failed);
    }
    // The unit takes the next host.
    EXPECT_EQ(unitValue(surroundDelay), ParameterValue(20));
    const auto trace = stopAndReadTrace();
    EXPECT_GE(countEvents(trace, "host-dropped"), 1u);
}

TEST_F(TcpSession, TheLogsAreMultiLineTextsThatTellWhatHappened) {
    start();
    TcpChain chain(unit->port());
    KORAParams params(chain.retrying);
    chain.retrying.setValue(surroundDelay, ParameterValue(30), 0);
    EXPECT_THROW(chain.forwarding.setValue(surroundDelay, ParameterValue(10), 0), HostException);

    std::string events;
    params.getEventLog(events);
    EXPECT_THAT(events, testing::StartsWith("TRX4 event log\n"));
    EXPECT_THAT(events, HasSubstr(" Host connected from 127.0.0.1:"));
    EXPECT_THAT(events, HasSubstr(" 0x0303 set to 30\n"));
    EXPECT_EQ(events.find('\r'), std::string::npos);
    EXPECT_EQ(events.back(), '\n');

    std::string errors;
    params.getErrorLog(errors);
    EXPECT_THAT(errors, testing::StartsWith("TRX4 error log\n"));
    EXPECT_THAT(errors, HasSubstr("Set refused: 0x0303 = 10 (out of range)\n"));
}

TEST_F(TcpSession, ASilentUnitFailsTheConnection) {
    start({"--silent"});
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { TcpChain chain(unit->port()); }),
              "No response to 'Get All' request");
}

TEST_F(TcpSession, LatencyDelaysEveryReply) {
    start({"--latency-ms", "300", "--status-interval-ms", "0"});
    TcpChain chain(unit->port());
    const auto before = std::chrono::steady_clock::now();
    chain.retrying.getEventLog();
    EXPECT_GE(std::chrono::steady_clock::now() - before, 300ms);
}

} // namespace
