#include "UnitProcess.h"

#include "protocol/GenericProtocol.h"
#include "protocol/ProtocolChain.h"

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
        {{"--flash-error", "erase"}, 2},
        {{"--listen", "127.0.0.1"}, 2},
        {{"--listen", "127.0.0.1:70000"}, 2},
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
        // No input: nothing decoded (0x0104) and the meters (0x0106 on) at rest.
        for (const std::uint16_t number : {0x0104, 0x0106, 0x0109, 0x010D}) {
            EXPECT_EQ(chain.frontEnd().getValue(ParameterId(number)), ParameterValue(0)) << number;
        }
        EXPECT_EQ(chain.frontEnd().getValue(ParameterId(std::uint16_t{0x0114})),
                  ParameterValue(0x0102));
        EXPECT_EQ(chain.frontEnd().getValue(ParameterId(std::uint16_t{0x0113})),
                  ParameterValue(0x0304));
        EXPECT_EQ(unit.stop(signal), 0);
    }
    UnitProcess unit({"--pty"});
    ProtocolChain chain(ConnectionTarget::parseSerial(unit.firstLine()));
    EXPECT_EQ(unit.stop(SIGTERM), 0);
}

} // namespace
