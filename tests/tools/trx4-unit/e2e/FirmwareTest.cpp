#include "HostChain.h"
#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"

#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

const ParameterId firmwareLow(std::uint16_t{0x0113});
const ParameterId firmwareHigh(std::uint16_t{0x0114});

class Firmware : public TracedUnitTest {
protected:
    void start() { startUnit({"--reboot-seconds", "1"}); }
    // Connects once the unit is back, trying until a deadline.
    std::unique_ptr<TcpChain> reconnect() {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline) {
            try {
                return std::make_unique<TcpChain>(unit->port());
            } catch (const VerloException&) {
                std::this_thread::sleep_for(100ms);
            }
        }
        return nullptr;
    }
};

TEST_F(Firmware, ABurntImageRebootsTheUnitIntoItsVersion) {
    start();
    {
        TcpChain chain(unit->port());
        EXPECT_EQ(chain.protocol.getValue(firmwareHigh), ParameterValue(0));
        const auto first = filledPayload(4096, "FW:1.4.2.7 build 113");
        const auto last = filledPayload(700);
        chain.retrying.downloadBlock(first.data(), first.size(), 1, false);
        chain.retrying.downloadBlock(last.data(), last.size(), 2, true);
    }
    ASSERT_TRUE(awaitEvent("rebooting"));
    // While it reboots the unit refuses connections: one that gets through
    // must have come after the unit said it was back.
    try {
        TcpChain early(unit->port());
        EXPECT_TRUE(traceHas("rebooted"));
    } catch (const VerloException& refused) {
        EXPECT_THAT(refused.what(), testing::StartsWith("connect failed"));
    }
    const auto chain = reconnect();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->protocol.getValue(firmwareHigh), ParameterValue(0x0104));
    EXPECT_EQ(chain->protocol.getValue(firmwareLow), ParameterValue(0x0207));
    EXPECT_THAT(chain->retrying.getEventLog(), testing::HasSubstr("Rebooted, firmware 1.4.2.7\n"));

    const auto trace = stopAndReadTrace();
    EXPECT_EQ(messages(trace, "received", "Erase Flash").size(), 1u);
    const auto blocks = messages(trace, "received", "Download Data");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0]["blocks"], 1);
    EXPECT_EQ(blocks[0]["length"], 4097);
    EXPECT_EQ(blocks[1]["blocks"], 2);
    const auto burns = messages(trace, "received", "Burn And Reboot");
    ASSERT_EQ(burns.size(), 1u);
    EXPECT_EQ(burns[0]["blocks"], 2);
    const auto done = messages(trace, "sent", "Flash Operation Done");
    ASSERT_EQ(done.size(), 4u);
    for (const auto& reply : done) {
        EXPECT_EQ(reply["status"], 0);
    }
}

TEST_F(Firmware, AnImageWithoutAVersionKeepsTheVersionTheUnitHad) {
    start();
    {
        TcpChain chain(unit->port());
        const auto only = filledPayload(300, "no version here");
        chain.retrying.downloadBlock(only.data(), only.size(), 1, true);
    }
    const auto chain = reconnect();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->protocol.getValue(firmwareHigh), ParameterValue(0));
    EXPECT_EQ(chain->protocol.getValue(firmwareLow), ParameterValue(0));
}

} // namespace
