#include "UnitOptions.h"

#include <CLI/CLI.hpp>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

UnitOptions parse(std::vector<std::string> arguments) {
    CLI::App app;
    UnitOptions options;
    UnitOptions::declare(app, options);
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);
    return options;
}

TEST(UnitOptions, ParsesAddressesAndFaults) {
    EXPECT_EQ(UnitOptions::parseListen("[::1]:0"),
              (std::pair<std::string, std::uint16_t>{"::1", 0}));
    EXPECT_EQ(UnitOptions::parseListen("localhost:65535").second, 65535);
    for (const char* bad : {"localhost", ":4444", "host:", "host:65536", "host:12x"}) {
        EXPECT_THROW(UnitOptions::parseListen(bad), std::invalid_argument) << bad;
    }
    const FlashFault fault = FlashFault::parse("burn:2");
    EXPECT_EQ(fault.step, FlashStep::Burn);
    EXPECT_EQ(fault.code, 2);
    for (const char* bad : {"burn", "burn:", "flash:1", "erase:-1", "download:65536"}) {
        EXPECT_THROW(FlashFault::parse(bad), std::invalid_argument) << bad;
    }

    EXPECT_EQ(WireFault::parse("garbage").every, 1u);
    const WireFault wire = WireFault::parse("oversize:7");
    EXPECT_EQ(wire.kind, WireFault::Oversize);
    EXPECT_EQ(wire.every, 7u);
    for (const char* bad : {"noise", "garbage:", "garbage:0", "oversize:x"}) {
        EXPECT_THROW(WireFault::parse(bad), std::invalid_argument) << bad;
    }

    const UnitOptions options =
        parse({"--pty", "--corrupt-every", "3", "--flash-error", "download:1",
               "--drop-after-seconds", "0.5", "--wire-fault", "garbage:4"});
    EXPECT_TRUE(options.pty);
    EXPECT_EQ(options.corruptEvery, 3u);
    EXPECT_EQ(options.flashError->step, FlashStep::Download);
    EXPECT_DOUBLE_EQ(*options.dropAfterSeconds, 0.5);
    EXPECT_EQ(options.wireFault->kind, WireFault::Garbage);
    EXPECT_THROW(parse({"--drop-after-seconds", "0"}), CLI::ValidationError);
}

} // namespace
