#include "protocol/QUIPPacket.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ManualClock.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Connections on several threads open, read a status message through the
// shared tables and close, so closes overlap other connections' look-ups.
TEST(SharedStatusCodes, ConnectionsOpenAndCloseConcurrently) {
    constexpr int threadCount = 6;
    constexpr int connectionsPerThread = 200;
    std::atomic<int> wrongMessages{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < connectionsPerThread; ++i) {
                ScriptedDevice transport;
                SerialDevice device{transport};
                QUIPPacket link;
                ManualClock clock;
                transport.unitSends(unitwire::packet(unitwire::body(unitwire::GetAllResponse)));
                const std::uint16_t code = static_cast<std::uint16_t>(1 + (t + i) % 3);
                transport.unitSends(
                    unitwire::packet(unitwire::statusCodeBody(unitwire::Error, code)));
                QUIPProtocol protocol(device, link, clock);
                const std::string message = thrownMessage<HostException>(
                    [&] { protocol.setValue(ParameterId(0x0300), ParameterValue(1), 0); });
                const char* expected[] = {"Error: Illegal Parameter Id",
                                          "Error: Illegal Parameter Value",
                                          "Error: Conflicting Parameter Values"};
                if (message != expected[code - 1]) {
                    ++wrongMessages;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrongMessages, 0);
}

} // namespace
