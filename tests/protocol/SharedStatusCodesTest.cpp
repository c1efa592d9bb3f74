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
#include <thread>
#include <vector>

namespace {

// Connections on several threads open, turn an "Error" reply into its text
// through the shared tables and close, so closes overlap others' look-ups.
TEST(SharedStatusCodes, ConnectionsOpenAndCloseConcurrently) {
    std::atomic<int> wrongMessages{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                ScriptedDevice transport;
                SerialDevice device{transport};
                QUIPPacket link;
                ManualClock clock;
                transport.unitSends(unitwire::packet(unitwire::body(unitwire::GetAllResponse)));
                transport.unitSends(unitwire::packet(unitwire::statusCodeBody(unitwire::Error, 3)));
                QUIPProtocol protocol(device, link, clock);
                wrongMessages += thrownMessage<HostException>([&] {
                                     protocol.setValue(ParameterId(0x0300), ParameterValue(1), 0);
                                 }) != "Error: Conflicting Parameter Values";
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrongMessages, 0);
}

} // namespace
