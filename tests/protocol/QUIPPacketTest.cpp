#include "protocol/QUIPPacket.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/SerialDevice.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace unitwire;

namespace {

struct PacketLink {
    explicit PacketLink(const Bytes& unit) { transport.unitSends(unit); }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket link;
};

} // namespace

TEST(QUIPPacketTest, ReceivesUpToTheLargestBodyDecodesItOnFirstRequestAndSends) {
    const Bytes largest = textBody(EventLog, std::string(16383, 'e'));
    PacketLink unit(join({packet(body(Status, {{0x0301, "ab"}})), packet(largest)}));
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.dataLength(), 6u);
    EXPECT_EQ(unit.transport.timeouts, std::vector<std::uint32_t>{10000});
    ASSERT_NE(unit.link.command(), nullptr);
    EXPECT_TRUE(unit.link.command()->contains(ParameterId(0x0301)));
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.body(), largest);
    EXPECT_FALSE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.command(), nullptr) << "the previous content is gone";
    PacketLink empty({0, 0, 0, 4});
    EXPECT_TRUE(empty.link.receive(empty.device)) << "a packet of its length field alone";

    // A send writes the length, then the body, and nothing on disconnect.
    unit.link.setCommand(SetCommand(ParameterId(0x0301), ParameterValue(4)));
    unit.link.send(unit.device, nullptr);
    unit.link.sendDisconnect(unit.device);
    EXPECT_EQ(unit.transport.written, packet(body(Set, {{0x0301, integer(4)}})));
}

TEST(QUIPPacketTest, BadLengthsFailBeforeTheBodyIsReadOrAllocated) {
    const std::tuple<Bytes, std::string, std::size_t> rows[] = {
        {{0, 0, 0}, "No complete packet length from the TRX4: 3 of 4 bytes arrived", 0},
        {{0, 0, 0, 3}, "packet size too small: 3", 0},
        {{0, 0, 0, 10, Status, 1, 2}, "packet length received but packet data missing", 0},
        {join({{0, 0, 0x40, 0x05}, Bytes(16385)}), "packet size too large: 16385", 16385},
        {{0xFF, 0xFF, 0xFF, 0xFF}, "packet size too large: 4294967291", 0},
    };
    for (const auto& [wire, message, unread] : rows) {
        PacketLink unit(wire);
        EXPECT_EQ(failureOf<ProtocolException>([&] { unit.link.receive(unit.device); }), message);
        EXPECT_EQ(unit.transport.unread(), unread) << message;
    }
}
