// The trx4-unit process: its command line and signals, and the application's
// chain as its host.
#include "TracedUnitTest.h"
#include "support/ThrownMessage.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/GenericProtocol.h"
#include "session/ProtocolChain.h"
#include "transport/Win32Socket.h"

#include <gmock/gmock.h>

#include <csignal>
#include <set>

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::StartsWith;

const ParameterId surroundDelay(std::uint16_t{0x0303});

// Usage errors exit with code 2, an address in use or an unwritable trace with 1.
TEST(CommandLine, FailuresToStartExitWithTheirCode) {
    UnitProcess first({"--listen", "127.0.0.1:0"});
    const std::pair<std::vector<std::string>, int> runs[] = {
        {{"--no-such-option"}, 2},
        {{"--corrupt-every", "3"}, 2},
        {{"--line-rate"}, 2},
        {{"--flash-error", "format:1"}, 2},
        {{"--scenario", "cinema"}, 2},
        {{"--pty", "--listen", "127.0.0.1:0"}, 2},
        {{"--set-error", "70000"}, 2},
        {{"--listen", "127.0.0.1:" + first.firstLine()}, 1},
        {{"--listen", "127.0.0.1:0", "--trace", "/nonexistent-folder/trace.jsonl"}, 1},
    };
    for (const auto& [arguments, code] : runs) {
        EXPECT_EQ(runProcess(TRX4_UNIT_EXECUTABLE, arguments).status, code) << arguments.back();
    }
}

TEST(CommandLine, AScenarioAndAFirmwareSetTheStatusAndSignalsStopTheUnitWithAHostConnected) {
    for (const int signal : {SIGINT, SIGTERM}) {
        UnitProcess unit(
            {"--listen", "127.0.0.1:0", "--scenario", "no-input", "--firmware", "1.2.3.4"});
        ProtocolChain chain(ConnectionTarget::tcp("127.0.0.1", unit.port()));
        // No input: nothing decoded (0x0104) and the meters (0x0106 on) at
        // rest; the firmware as 1.2 (0x0114) and 3.4 (0x0113).
        const std::pair<std::uint16_t, int> rows[] = {
            {0x0104, 0}, {0x0106, 0}, {0x0109, 0}, {0x010D, 0}, {0x0114, 0x0102}, {0x0113, 0x0304}};
        for (const auto& [number, value] : rows) {
            EXPECT_EQ(chain.frontEnd().getValue(ParameterId(number)), ParameterValue(value))
                << number;
        }
        EXPECT_EQ(unit.stop(signal), 0);
    }
    UnitProcess unit({"--pty"});
    ProtocolChain chain(ConnectionTarget::parseSerial(unit.firstLine()));
    EXPECT_EQ(unit.stop(SIGTERM), 0);
}

// The application's chain and parameter set against the unit over TCP and
// over a serial line.
using Session = TracedUnitTest;

// A host that connects and says nothing holds the unit for 10 s at most;
// meanwhile another host is turned away. A refused write changes nothing; the
// logs tell what the unit did.
TEST_F(Session, ASilentHostIsDroppedAnotherIsRefusedAndRefusedWritesChangeNothing) {
    startUnit();
    const auto tcp = ConnectionTarget::tcp("127.0.0.1", unit->port());
    const Win32Socket silent("127.0.0.1", unit->port());
    const auto connected = std::chrono::steady_clock::now();
    ASSERT_TRUE(awaitEvent("host-connected"));
    EXPECT_THROW(ProtocolChain refused(tcp), VerloException);
    EXPECT_TRUE(waitUntil([&] { return silent.readerDone(); }, 15s));
    // Measured from outside the unit, whose own clock starts the 10 s.
    EXPECT_GE(std::chrono::steady_clock::now() - connected, 9900ms);

    ProtocolChain chain(tcp);
    ForwardingProtocol& unretried = chain.protocolFrontEnd();
    const std::pair<std::uint16_t, const char*> refusals[] = {
        {0x0303, "Error: Illegal Parameter Value"}, {0x0399, "Error: Illegal Parameter Id"}};
    for (const auto& [number, message] : refusals) {
        EXPECT_EQ(thrownMessage<HostException>(
                      [&] { unretried.setValue(ParameterId(number), ParameterValue(151), 0); }),
                  message);
    }
    EXPECT_EQ(unretried.getValue(surroundDelay), ParameterValue(20));
    // The edge of the range is accepted.
    unretried.setValue(surroundDelay, ParameterValue(150), 0);
    EXPECT_EQ(unretried.getValue(surroundDelay), ParameterValue(150));

    const std::string events = unretried.getEventLog();
    EXPECT_THAT(events, HasSubstr(" Refused a host from 127.0.0.1:"));
    EXPECT_THAT(events, HasSubstr(" Dropped a host that sent nothing after connecting\n"));
    // The served host's connection comes after the silent one was dropped.
    EXPECT_NE(events.find(" Host connected from 127.0.0.1:", events.find(" Dropped a host")),
              std::string::npos);
    const std::string errors = unretried.getErrorLog();
    EXPECT_THAT(errors, StartsWith("TRX4 error log\n"));
    EXPECT_THAT(errors, HasSubstr("Set refused: 0x0303 = 151 (out of range)\n"));
}

// Over a line that carries one byte at a time the window's tick often finds
// only the first bytes of a frame; it must wait for the rest, not drop the
// link. Half a minute of ticks includes a ping.
TEST_F(Session, ServesTheCatalogueOverALinePacedAtItsBaudRate) {
    startSerialUnit({"--line-rate"});
    const auto serial = ConnectionTarget::parseSerial(unit->firstLine());
    {
        ProtocolChain chain(serial);
        KORAParams params(chain.frontEnd());
        params.controlParameters().find(surroundDelay).setValue(ParameterValue(64));
        EXPECT_EQ(params.controlParameters().find(surroundDelay).unitValue(), ParameterValue(64));
        std::set<std::uint16_t> left;
        const auto end = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < end) {
            ASSERT_NO_THROW({
                params.pollNext();
                params.refreshControls();
            });
            left.insert(params.findParameter(ParameterId(std::uint16_t{0x0106})).value().toInt());
            std::this_thread::sleep_for(30ms);
        }
        EXPECT_GE(left.size(), 10u);
    }
    // The host's disconnect frame ended its session; once the unit has let go
    // of it (and dropped the Status it was sending), the next host is served
    // and finds the value written.
    ASSERT_TRUE(awaitEvent("host-left"));
    {
        ProtocolChain chain(serial);
        EXPECT_EQ(chain.frontEnd().getValue(surroundDelay), ParameterValue(64));
    }
    EXPECT_GE(messages(stopAndReadTrace(), "received", "Ping Request").size(), 1u);
}

} // namespace
