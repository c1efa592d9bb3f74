#include "protocol/QUIPPacket.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/SerialDevice.h"
#include "support/ManualClock.h"
#include "support/ScriptedDevice.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

namespace {

// Everything waiting is taken in, in order, leaving nothing queued; a second
// call finds nothing.
TEST(TakeInPending, TakesEveryWaitingMessage) {
    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket link;
    ManualClock clock;
    transport.unitSends(unitwire::packet(unitwire::body(unitwire::GetAllResponse)));
    QUIPProtocol protocol(device, link, clock);
    for (int level = 1; level <= 12; ++level) {
        transport.unitSends(unitwire::packet(
            unitwire::body(unitwire::Status, {{0x0106, unitwire::integer(level)}})));
    }
    EXPECT_EQ(protocol.takeInPending(), 12u);
    EXPECT_EQ(protocol.getValue(ParameterId(std::uint16_t{0x0106})), ParameterValue(12));
    EXPECT_EQ(transport.unread(), 0u);
    EXPECT_EQ(protocol.takeInPending(), 0u);
}

} // namespace
