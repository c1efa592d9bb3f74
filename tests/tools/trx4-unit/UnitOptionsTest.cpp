#include "UnitOptions.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(UnitOptions, ReadsAddressesAndFaultsAndRefusesMalformedOnes) {
    EXPECT_EQ(FlashFault::parse("burn:65535").code, 65535);
    EXPECT_EQ(WireFault::parse("oversize:7").every, 7u);
    for (const char* bad : {"burn", "burn:", "flash:1", "erase:-1", "download:65536"}) {
        EXPECT_THROW(FlashFault::parse(bad), std::invalid_argument) << bad;
    }
    for (const char* bad : {"noise", "garbage:", "garbage:0", "oversize:x"}) {
        EXPECT_THROW(WireFault::parse(bad), std::invalid_argument) << bad;
    }
    for (const char* bad :
         {"", "1.4.0", "1.4.0.0.", "1..0.0", "128.0.0.0", "1.256.0.0", "1.4.0.x", "1.4.0.256"}) {
        EXPECT_THROW(UnitOptions::parseFirmware(bad), std::invalid_argument) << bad;
    }
    CLI::App app;
    UnitOptions options;
    UnitOptions::declare(app, options);
    for (const char* bad : {"0", "-1", "nan", "inf", "1s"}) {
        EXPECT_THROW(app.parse(std::string("--drop-after-seconds '") + bad + "'", false),
                     CLI::ValidationError)
            << bad;
    }
    app.parse("--drop-after-seconds 0.5", false);
    EXPECT_EQ(options.dropAfterSeconds, 0.5);
    for (const char* bad : {"localhost", ":4444", "host:", "host:65536", "host:12x", "host: 5"}) {
        EXPECT_THROW(app.parse(std::string("--listen ") + bad, false), CLI::ValidationError) << bad;
    }
    app.parse("--listen [::1]:65535", false);
    EXPECT_EQ(options.listenHost, "::1");
    EXPECT_EQ(options.listenPort, 65535);
    app.parse("--listen 127.0.0.1:0", false);
    EXPECT_EQ(options.listenPort, 0);
}

} // namespace
