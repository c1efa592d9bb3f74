#include "UnitProcess.h"

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
        EXPECT_EQ(UnitProcess::runToEnd(arguments), code) << arguments.back();
    }
}

TEST(CommandLine, InterruptAndTerminateStopCleanlyWithAHostConnected) {
    for (const int signal : {SIGINT, SIGTERM}) {
        UnitProcess unit({"--listen", "127.0.0.1:0"});
        ProtocolChain chain(ConnectionTarget::tcp("127.0.0.1", unit.port()));
        EXPECT_EQ(unit.stop(signal), 0);
    }
    UnitProcess unit({"--pty"});
    ProtocolChain chain(ConnectionTarget::parseSerial(unit.firstLine()));
    EXPECT_EQ(unit.stop(SIGTERM), 0);
}

} // namespace
