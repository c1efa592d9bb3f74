#include "HostChain.h"
#include "UnitProcess.h"

#include "catalogue/KORAParams.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;

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
        EXPECT_EQ(UnitProcess::runToEnd(arguments), 2) << arguments.front();
    }
}

TEST(CommandLine, AnAddressInUseOrAnUnwritableTraceExitWithCodeOne) {
    UnitProcess first({"--listen", "127.0.0.1:0"});
    const std::string taken = "127.0.0.1:" + first.firstLine();
    EXPECT_EQ(UnitProcess::runToEnd({"--listen", taken}), 1);
    EXPECT_EQ(UnitProcess::runToEnd(
                  {"--listen", "127.0.0.1:0", "--trace", "/nonexistent-folder/trace.jsonl"}),
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

} // namespace
