#include "HostChain.h"
#include "UnitProcess.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include "catalogue/KORAParams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

TEST(CommandLine, HelpDocumentsEveryOptionAndScenario) {
    const auto [code, output] = UnitProcess::runToEnd({"--help"});
    EXPECT_EQ(code, 0);
    for (const char* option :
         {"--listen", "--pty", "--status-interval-ms", "--scenario", "--reboot-seconds", "--trace",
          "--set-error", "--flash-error", "--silent", "--drop-after-seconds", "--corrupt-every",
          "--latency-ms", "no-input", "pcm", "multi-program", "digital"}) {
        EXPECT_THAT(output, HasSubstr(option));
    }
}

TEST(CommandLine, UsageErrorsExitWithCodeTwo) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--no-such-option"},
                                               {"--corrupt-every", "3"},
                                               {"--flash-error", "format:1"},
                                               {"--flash-error", "erase"},
                                               {"--listen", "127.0.0.1"},
                                               {"--listen", "127.0.0.1:70000"},
                                               {"--scenario", "cinema"},
                                               {"--pty", "--listen", "127.0.0.1:0"},
                                               {"--set-error", "70000"}}) {
        EXPECT_EQ(UnitProcess::runToEnd(arguments).first, 2) << arguments.front();
    }
}

TEST(CommandLine, AnAddressInUseOrAnUnwritableTraceExitWithCodeOne) {
    UnitProcess first({"--listen", "127.0.0.1:0"});
    const std::string taken = "127.0.0.1:" + first.firstLine();
    EXPECT_EQ(UnitProcess::runToEnd({"--listen", taken}).first, 1);
    EXPECT_EQ(UnitProcess::runToEnd(
                  {"--listen", "127.0.0.1:0", "--trace", "/nonexistent-folder/trace.jsonl"})
                  .first,
              1);
}

TEST(CommandLine, InterruptAndTerminateStopCleanlyWithAHostConnected) {
    for (const int signal : {SIGINT, SIGTERM}) {
        UnitProcess unit({"--listen", "127.0.0.1:0"});
        TcpChain chain(unit.port());
        EXPECT_EQ(unit.stop(signal), 0);
    }
    UnitProcess unit({"--pty"});
    SerialChain chain(unit.firstLine());
    EXPECT_EQ(unit.stop(SIGTERM), 0);
}

TEST(Scenarios, NoInputLeavesTheMetersAtRest) {
    UnitProcess unit(
        {"--listen", "127.0.0.1:0", "--scenario", "no-input", "--status-interval-ms", "20"});
    TcpChain chain(unit.port());
    KORAParams params(chain.retrying);
    EXPECT_EQ(params.findParameter(ParameterId(std::uint16_t{0x0104})).value(), ParameterValue(0));
    for (int poll = 0; poll < 20; ++poll) {
        params.pollNext();
        for (std::uint16_t meter = 0x0106; meter <= 0x010D; ++meter) {
            EXPECT_EQ(params.findParameter(ParameterId(meter)).value(), ParameterValue(0));
        }
        std::this_thread::sleep_for(20ms);
    }
}

TEST(Scenarios, TheCurrentProgramFollowsTheProgramSelection) {
    UnitProcess unit(
        {"--listen", "127.0.0.1:0", "--scenario", "multi-program", "--status-interval-ms", "20"});
    TcpChain chain(unit.port());
    KORAParams params(chain.retrying);
    const ParameterId currentProgram(std::uint16_t{0x010E});
    EXPECT_EQ(params.findParameter(ParameterId(std::uint16_t{0x0101})).value(), ParameterValue(0));
    EXPECT_EQ(params.findParameter(currentProgram).value(), ParameterValue(0));

    params.controlParameters().find(ParameterId(std::uint16_t{0x0500})).setValue(ParameterValue(1));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (params.findParameter(currentProgram).value() != ParameterValue(1) &&
           std::chrono::steady_clock::now() < deadline) {
        params.pollNext();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(params.findParameter(currentProgram).value(), ParameterValue(1));
}

} // namespace
