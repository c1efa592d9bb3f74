// Both links, framed for a serial line and in packets for TCP.
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"

#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/Crc16.h"
#include "protocol/SerialDevice.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace unitwire;

namespace {

// A link whose unit has sent the given bytes.
template <class Link> struct ScriptedLink {
    explicit ScriptedLink(const Bytes& unit) { transport.unitSends(unit); }

    ScriptedDevice transport;
    SerialDevice device{transport};
    Link link;
};
using PacketLink = ScriptedLink<QUIPPacket>;

struct FrameLink : ScriptedLink<QUIPFrame> {
    using ScriptedLink::ScriptedLink;

    // Sends a Set, which waits for its acknowledgement; returns the failure, if any.
    std::string sendSet() {
        link.setCommand(set);
        return failureOf<ProtocolException>([&] { link.send(device, &cache); });
    }

    ParameterValueMap cache;
    const SetCommand set{ParameterId(0x0301), ParameterValue(7)};
};

} // namespace

TEST(QUIPFrameTest, TheAcknowledgementMustComeWithinTwentyFrames) {
    const Bytes filler = frame(QUIPFrame::Filler);
    const Bytes ping = dataFrame({PingRequest});
    // A ping answered before the acknowledgement waits for its own: twenty
    // such waits nest at most.
    const std::tuple<Bytes, std::string, std::size_t> rows[] = {
        {join({repeated(18, filler), ack()}), "", 0},
        {join({repeated(19, filler), ack()}), "CRC error", 0},
        {{}, "Lost Connection to the Device", 0},
        {frame(QUIPFrame::CrcError, {}, true), "CRC error", 0},
        {frame(QUIPFrame::Disconnect, {}, true), "CRC error", 0},
        {repeated(100, ping), "CRC error", 80 * ping.size()},
    };
    for (const auto& [unit, failure, unread] : rows) {
        FrameLink link(unit);
        EXPECT_EQ(link.sendSet(), failure) << "after " << unit.size() << " bytes";
        EXPECT_EQ(link.transport.unread(), unread) << failure;
    }
}

TEST(QUIPFrameTest, FramesArrivingBeforeTheAcknowledgementAreHandledAndAcknowledged) {
    FrameLink unit(join({frame(QUIPFrame::Filler), dataFrame(body(Status, {{0x0102, integer(3)}})),
                         dataFrame({PingRequest}), ack(), ack()}));
    EXPECT_EQ(unit.sendSet(), "");
    EXPECT_EQ(unit.cache.at(ParameterId(0x0102)), ParameterValue(3));
    EXPECT_EQ(unit.transport.written, join({dataFrame(body(Set, {{0x0301, integer(7)}})), ack(),
                                            ack(), ack(), dataFrame({PingResponse})}));
    EXPECT_EQ(unit.transport.unread(), 0u);
}

TEST(QUIPFrameTest, ReceivedFramesAreAcknowledgedExceptAcknowledgementsAndCorruptedOnes) {
    FrameLink unit(join({dataFrame(textBody(EventLog, std::string(16379, 'z'))), ack(),
                         frame(QUIPFrame::Data, {0, 0, 0x30, 0, PingResponse}),
                         frame(QUIPFrame::Data, packet({PingRequest}), true)}));
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.dataLength(), 16384u) << "the largest data";
    EXPECT_EQ(unit.link.command()->commandType().code(), CommandType::EventLog);
    EXPECT_EQ(unit.transport.timeouts, std::vector<std::uint32_t>{5000});
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.command(), nullptr);
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.command()->commandType().code(), CommandType::PingResponse)
        << "the packet's own length field is ignored";
    ASSERT_TRUE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.link.type(), QUIPFrame::Data);
    EXPECT_EQ(unit.link.command(), nullptr) << "a corrupted frame is kept as received";
    EXPECT_FALSE(unit.link.receive(unit.device));
    EXPECT_EQ(unit.transport.written, join({ack(), ack(), frame(QUIPFrame::CrcError)}));
}

TEST(QUIPFrameTest, BrokenFramesFailTheReceive) {
    const Bytes whole = dataFrame({PingRequest});
    const auto cut = [&](std::ptrdiff_t size) {
        return Bytes(whole.begin(), whole.begin() + size);
    };
    const Bytes tooLong{'Q', 'U', 'I', 'P', QUIPFrame::Data, 0, 0, 0x40, 0x01};
    const std::tuple<Bytes, std::string, Bytes, std::size_t> rows[] = {
        {cut(3), "read partial header", {}, 0},
        {cut(6), "expected number of bytes not received", {}, 0},
        {cut(12), "expected number of bytes not received", {}, 0},
        {cut(15), "expected number of bytes not received", {}, 0},
        {join({tooLong, Bytes(16387)}), "invalid data length", {}, 16387},
        {frame(QUIPFrame::Data, {0, 0, 0, 5}), "invalid buffer size received", ack(), 0},
        {frame(QUIPFrame::CrcError), "CRC Error", {}, 0},
        {frame(QUIPFrame::Disconnect), "TRX4 Disconnected", ack(), 0},
    };
    for (const auto& [sent, message, answer, unread] : rows) {
        FrameLink unit(sent);
        EXPECT_EQ(failureOf<VerloException>([&] { unit.link.receive(unit.device); }), message)
            << "after " << sent.size() << " bytes";
        EXPECT_EQ(unit.transport.written, answer) << message;
        EXPECT_EQ(unit.transport.unread(), unread) << message;
    }
}

// The published check value, and a rendering of the algorithm bit by bit,
// which the tests above compare the host's frames against.
TEST(Crc16, MatchesTheCheckValueOfCrc16Umts) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(Crc16::compute(bytes, digits.size()), 0xFEE8);
    EXPECT_EQ(unitwire::crc16(bytes, digits.size()), 0xFEE8);
}

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
