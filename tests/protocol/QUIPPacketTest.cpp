#include "protocol/QUIPPacket.h"

#include "protocol/Command.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

using unitwire::Bytes;

namespace {

class PacketTest : public ::testing::Test {
protected:
    std::string receiveFailure() {
        try {
            packet.receive(device);
        } catch (const ProtocolException& error) {
            return error.what();
        }
        ADD_FAILURE() << "receive did not fail";
        return {};
    }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket packet;
};

Bytes lengthField(std::uint32_t length) {
    Bytes out;
    unitwire::append32(out, length);
    return out;
}

} // namespace

TEST_F(PacketTest, ReceivesAndDecodesOnFirstRequest) {
    transport.unitSends(unitwire::packet(unitwire::body(unitwire::Status, {{0x0301, "ab"}})));
    ASSERT_TRUE(packet.receive(device));
    EXPECT_EQ(packet.dataLength(), 6u);
    EXPECT_EQ(transport.timeouts(), (std::vector<std::uint32_t>{10000}));
    const Command* command = packet.command();
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->commandType().code(), CommandType::Status);
    EXPECT_TRUE(command->contains(ParameterId(0x0301)));
    EXPECT_EQ(packet.command(), command) << "decoded once and kept";

    EXPECT_FALSE(packet.receive(device)) << "nothing more";
    EXPECT_EQ(packet.command(), nullptr) << "the previous content is gone";
}

TEST_F(PacketTest, ShortLengthFieldsAreReportedWithTheCount) {
    transport.unitSends({0, 0, 0});
    EXPECT_EQ(receiveFailure(), "error receiving packet length value: numBytesReceived==3");
    transport.unitSends({0});
    EXPECT_EQ(receiveFailure(), "error receiving packet length value: numBytesReceived==1");
}

TEST_F(PacketTest, LengthsBelowTheFieldItselfAreRejected) {
    transport.unitSends(lengthField(3));
    EXPECT_EQ(receiveFailure(), "packet size too small: 3");
    transport.unitSends(lengthField(0));
    EXPECT_EQ(receiveFailure(), "packet size too small: 0");
}

TEST_F(PacketTest, BodiesUpTo16384BytesAreAccepted) {
    const Bytes body = unitwire::textBody(unitwire::EventLog, std::string(16383, 'e'));
    transport.unitSends(unitwire::packet(body));
    ASSERT_TRUE(packet.receive(device));
    EXPECT_EQ(packet.body(), body);
    EXPECT_EQ(dynamic_cast<const LogCommand&>(*packet.command()).text().size(), 16383u);
}

TEST_F(PacketTest, LargerBodiesAreRejectedBeforeAnythingIsRead) {
    transport.unitSends(lengthField(16389));
    transport.unitSends(Bytes(16385, 0));
    EXPECT_EQ(receiveFailure(), "packet size too large: 16385");
    EXPECT_EQ(transport.readCount(), 1u);
    EXPECT_EQ(transport.unread(), 16385u);

    ScriptedDevice hostile;
    SerialDevice hostileDevice(hostile);
    hostile.unitSends(lengthField(0xFFFFFFFF));
    try {
        packet.receive(hostileDevice);
        FAIL() << "accepted a 4 GiB packet";
    } catch (const ProtocolException& error) {
        EXPECT_STREQ(error.what(), "packet size too large: 4294967291");
    }
}

TEST_F(PacketTest, MissingBodyBytesAreReported) {
    transport.unitSends(lengthField(10));
    transport.unitSends({unitwire::Status, 1, 2});
    EXPECT_EQ(receiveFailure(), "packet length received but packet data missing");
    EXPECT_EQ(packet.command(), nullptr);
}

TEST_F(PacketTest, AnEmptyBodyIsReceivedButHasNoCommandType) {
    transport.unitSends(lengthField(4));
    ASSERT_TRUE(packet.receive(device));
    EXPECT_EQ(packet.dataLength(), 0u);
    EXPECT_THROW(packet.command(), VerloException);
}

TEST_F(PacketTest, SendWritesLengthThenBody) {
    const SetCommand set(ParameterId(0x0301), ParameterValue(4));
    packet.setCommand(set);
    EXPECT_EQ(packet.command(), &set);
    EXPECT_EQ(packet.dataLength(), set.size());
    packet.send(device, nullptr);
    EXPECT_EQ(transport.writeCount(), 2u);
    EXPECT_EQ(transport.written(),
              unitwire::packet(unitwire::body(unitwire::Set, {{0x0301, unitwire::integer(4)}})));

    transport.clearWritten();
    packet.sendDisconnect(device);
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(PacketTest, BuiltFromReceivedBytesIgnoringTheLengthField) {
    const Bytes wire{0, 0, 0, 99, unitwire::PingRequest};
    QUIPPacket carried(wire.data(), wire.size());
    EXPECT_EQ(carried.dataLength(), 1u);
    ASSERT_NE(carried.command(), nullptr);
    EXPECT_EQ(carried.command()->commandType().code(), CommandType::PingRequest);

    try {
        QUIPPacket tooShort(wire.data(), 4);
        FAIL() << "accepted a packet without a body";
    } catch (const ProtocolException& error) {
        EXPECT_STREQ(error.what(), "invalid buffer size received");
    }
}

TEST_F(PacketTest, WriteToBufferNeedsRoomForTheWholePacket) {
    const GetAllCommand getAll;
    packet.setCommand(getAll);
    Bytes buffer(5);
    EXPECT_EQ(packet.writeToBuffer(buffer.data(), buffer.size()), 5u);
    EXPECT_EQ(buffer, (Bytes{0, 0, 0, 5, unitwire::GetAll}));
    try {
        packet.writeToBuffer(buffer.data(), 4);
        FAIL() << "wrote past the buffer";
    } catch (const VerloException& error) {
        EXPECT_STREQ(error.what(), "QUIPPacket::WriteToBuffer: insufficient buffer size");
    }
    const auto fresh = packet.create();
    ASSERT_NE(dynamic_cast<QUIPPacket*>(fresh.get()), nullptr);
    EXPECT_EQ(fresh->command(), nullptr);
}
