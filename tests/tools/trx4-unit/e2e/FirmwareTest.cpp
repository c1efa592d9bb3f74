#include "HostChain.h"
#include "UnitProcess.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

const ParameterId firmwareLow(std::uint16_t{0x0113});
const ParameterId firmwareHigh(std::uint16_t{0x0114});

std::vector<std::uint8_t> block(const std::string& start, std::size_t size) {
    std::vector<std::uint8_t> bytes(size, 0xA5);
    std::copy(start.begin(), start.end(), bytes.begin());
    return bytes;
}

class Firmware : public testing::Test {
protected:
    void start(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"--listen", "127.0.0.1:0",      "--trace",
                                           tracePath,  "--reboot-seconds", "1"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        unit = std::make_unique<UnitProcess>(arguments);
    }
    bool traceHas(const std::string& event) { return countEvents(readTrace(tracePath), event) > 0; }
    // Waits (bounded) until the unit has written the event to its trace.
    bool awaitEvent(const std::string& event) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!traceHas(event)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
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

    TemporaryDirectory folder;
    std::string tracePath = (folder.path() / "trace.jsonl").string();
    std::unique_ptr<UnitProcess> unit;
};

TEST_F(Firmware, ABurntImageRebootsTheUnitIntoItsVersion) {
    start();
    {
        TcpChain chain(unit->port());
        EXPECT_EQ(chain.protocol.getValue(firmwareHigh), ParameterValue(0));
        const auto first = block("FW:1.4.2.7 build 113", 4096);
        const auto last = block("", 700);
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

    EXPECT_EQ(unit->stop(), 0);
    const auto trace = readTrace(tracePath);
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
        const auto only = block("no version here", 300);
        chain.retrying.downloadBlock(only.data(), only.size(), 1, true);
    }
    const auto chain = reconnect();
    ASSERT_NE(chain, nullptr);
    EXPECT_EQ(chain->protocol.getValue(firmwareHigh), ParameterValue(0));
    EXPECT_EQ(chain->protocol.getValue(firmwareLow), ParameterValue(0));
}

TEST_F(Firmware, AnInjectedFlashErrorFailsThatStepWithoutRetry) {
    start({"--flash-error", "download:2"});
    {
        TcpChain chain(unit->port());
        const auto first = block("FW:9.9.9.9", 4096);
        EXPECT_EQ(thrownMessage<FlashException>(
                      [&] { chain.retrying.downloadBlock(first.data(), first.size(), 1, false); }),
                  "Error: The unit needs to be returned to Verlo for servicing");
        // The unit stays up: it did not reboot.
        EXPECT_EQ(chain.retrying.getValue(firmwareHigh), ParameterValue(0));
    }
    EXPECT_EQ(unit->stop(), 0);
    const auto trace = readTrace(tracePath);
    EXPECT_EQ(messages(trace, "received", "Download Data").size(), 1u);
    EXPECT_EQ(countEvents(trace, "rebooting"), 0u);
}

} // namespace
