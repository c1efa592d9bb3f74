#include "UnitProcess.h"

#include "protocol/GenericProtocol.h"
#include "session/ProtocolChain.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

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

} // namespace
