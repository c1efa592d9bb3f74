#include "protocol/QUIPPacket.h"

#include "protocol/Command.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

using unitwire::Bytes;

namespace {

class PacketTest : public ::testing::Test {
protected:
    std::string receiveFailure() {
        return thrownMessage<ProtocolException>([&] { packet.receive(device); });
    }
    void unitSendsLength(std::uint32_t length) {
        Bytes field;
        unitwire::append32(field, length);
        transport.unitSends(field);
    }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket packet;
};

} // namespace

TEST_F(PacketTest, ReceivesAndDecodesOnFirstRequest) {
    transport.unitSends(unitwire::packet(unitwire::body(unitwire::Status, {{0x0301, "ab"}})));
    ASSERT_TRUE(packet.receive(device));
    EXPECT_EQ(packet.dataLength(), 6u);
    EXPECT_EQ(transport.timeouts(), std::vector<std::uint32_t>{10000});
    const Command* command = packet.command();
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(command->contains(ParameterId(0x0301)));
    EXPECT_EQ(packet.command(), command) << "decoded once and kept";

    EXPECT_FALSE(packet.receive(device));
    EXPECT_EQ(packet.command(), nullptr) << "the previous content is gone";
}

TEST_F(PacketTest, BadLengthFieldsAreReported) {
    transport.unitSends({0, 0, 0});
    EXPECT_EQ(receiveFailure(), "error receiving packet length value: numBytesReceived==3");
    unitSendsLength(3);
    EXPECT_EQ(receiveFailure(), "packet size too small: 3");
    unitSendsLength(10);
    transport.unitSends({unitwire::Status, 1, 2});
    EXPECT_EQ(receiveFailure(), "packet length received but packet data missing");
}

TEST_F(PacketTest, BodiesAreBoundedBeforeAnythingIsAllocatedOrRead) {
    const Bytes largest = unitwire::textBody(unitwire::EventLog, std::string(16383, 'e'));
    transport.unitSends(unitwire::packet(largest));
    ASSERT_TRUE(packet.receive(device));
    EXPECT_EQ(packet.body(), largest);

    unitSendsLength(16389);
    transport.unitSends(Bytes(16385, 0));
    EXPECT_EQ(receiveFailure(), "packet size too large: 16385");
    EXPECT_EQ(transport.unread(), 16385u);

    ScriptedDevice hostile;
    SerialDevice hostileDevice(hostile);
    hostile.unitSends({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { packet.receive(hostileDevice); }),
              "packet size too large: 4294967291");
}

TEST_F(PacketTest, SendWritesLengthThenBodyAndNothingOnDisconnect) {
    const SetCommand set(ParameterId(0x0301), ParameterValue(4));
    packet.setCommand(set);
    EXPECT_EQ(packet.command(), &set);
    packet.send(device, nullptr);
    packet.sendDisconnect(device);
    EXPECT_EQ(transport.writeCount(), 2u);
    EXPECT_EQ(transport.written(),
              unitwire::packet(unitwire::body(unitwire::Set, {{0x0301, unitwire::integer(4)}})));
}

TEST_F(PacketTest, BuiltFromFrameDataIgnoringTheLengthField) {
    const Bytes wire{0, 0, 0, 99, unitwire::PingRequest};
    QUIPPacket carried(wire.data(), wire.size());
    ASSERT_NE(carried.command(), nullptr);
    EXPECT_EQ(carried.command()->commandType().code(), CommandType::PingRequest);
    EXPECT_EQ(thrownMessage<ProtocolException>([&] { QUIPPacket(wire.data(), 4); }),
              "invalid buffer size received");

    Bytes buffer(4);
    EXPECT_EQ(thrownMessage<VerloException>([&] { carried.writeToBuffer(buffer.data(), 4); }),
              "QUIPPacket::WriteToBuffer: insufficient buffer size");
}
