#include "protocol/QUIPFrame.h"

#include "protocol/Command.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using unitwire::Bytes;

namespace {

class FrameTest : public ::testing::Test {
protected:
    std::string receiveFailure() {
        return thrownMessage<ProtocolException>([&] { frame.receive(device); });
    }
    // Sends the Set, which waits for the acknowledgement, and returns the failure.
    std::string sendFailure() {
        frame.setCommand(set);
        return thrownMessage<ProtocolException>([&] { frame.send(device, &cache); });
    }
    std::vector<std::uint8_t> hostFrameTypes() const {
        std::vector<std::uint8_t> types;
        for (const auto& written : unitwire::splitFrames(transport.written())) {
            EXPECT_TRUE(written.crcGood);
            types.push_back(written.type);
        }
        return types;
    }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPFrame frame;
    ParameterValueMap cache;
    const SetCommand set{ParameterId(0x0301), ParameterValue(7)};
};

} // namespace

TEST_F(FrameTest, AcknowledgementMustComeWithinTwentyFrames) {
    for (int i = 0; i < 18; ++i) {
        transport.unitSends(unitwire::frame(QUIPFrame::Filler));
    }
    transport.unitSends(unitwire::ack());
    frame.setCommand(set);
    frame.send(device, &cache);
    const Bytes setFrame =
        unitwire::dataFrame(unitwire::body(unitwire::Set, {{0x0301, unitwire::integer(7)}}));
    EXPECT_TRUE(std::equal(setFrame.begin(), setFrame.end(), transport.written().begin()));
    EXPECT_EQ(hostFrameTypes().size(), 19u) << "each filler acknowledged, the ack not";

    for (int i = 0; i < 19; ++i) {
        transport.unitSends(unitwire::frame(QUIPFrame::Filler));
    }
    transport.unitSends(unitwire::ack());
    EXPECT_EQ(sendFailure(), "CRC error");
    EXPECT_EQ(sendFailure(), "Lost Connection to the Device") << "the late ack was the 20th";
}

TEST_F(FrameTest, WaitFailsOnCorruptedCrcErrorOrDisconnectFrames) {
    transport.unitSends(unitwire::frame(QUIPFrame::CrcError, {}, true));
    EXPECT_EQ(sendFailure(), "CRC error");
    transport.unitSends(unitwire::frame(QUIPFrame::Disconnect, {}, true));
    EXPECT_EQ(sendFailure(), "CRC error");
}

TEST_F(FrameTest, CommandsArrivingBeforeTheAcknowledgementAreHandled) {
    transport.unitSends(
        unitwire::dataFrame(unitwire::body(unitwire::Status, {{0x0102, unitwire::integer(3)}})));
    transport.unitSends(unitwire::dataFrame({unitwire::PingRequest}));
    transport.unitSends(unitwire::ack()); // for the ping response
    transport.unitSends(unitwire::ack()); // for the set
    frame.setCommand(set);
    frame.send(device, &cache);

    EXPECT_EQ(cache.at(ParameterId(0x0102)), ParameterValue(3));
    EXPECT_EQ(hostFrameTypes(), (std::vector<std::uint8_t>{2, 0, 0, 2}));
    EXPECT_EQ(unitwire::splitFrames(transport.written())[3].data,
              unitwire::packet({unitwire::PingResponse}));
    EXPECT_EQ(transport.unread(), 0u);
}

TEST_F(FrameTest, AUnitThatOnlyEverPingsCannotExhaustTheStack) {
    for (int i = 0; i < 100; ++i) {
        transport.unitSends(unitwire::dataFrame({unitwire::PingRequest}));
    }
    EXPECT_EQ(sendFailure(), "CRC error");
}

TEST_F(FrameTest, ReceivedFramesAreAcknowledgedExceptAcknowledgements) {
    transport.unitSends(unitwire::dataFrame(unitwire::body(unitwire::Status, {{0x0105, "x"}})));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(transport.timeouts(), std::vector<std::uint32_t>{5000});
    ASSERT_NE(frame.command(), nullptr);
    EXPECT_TRUE(frame.command()->contains(ParameterId(0x0105)));

    transport.unitSends(unitwire::ack());
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.command(), nullptr);
    EXPECT_FALSE(frame.receive(device));
    EXPECT_EQ(transport.written(), unitwire::ack()) << "one ack, for the data frame";
}

TEST_F(FrameTest, CrcErrorsAreReportedInBothDirections) {
    transport.unitSends(
        unitwire::frame(QUIPFrame::Data, unitwire::packet({unitwire::PingRequest}), true));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.type(), QUIPFrame::Data);
    EXPECT_EQ(frame.command(), nullptr);
    EXPECT_EQ(transport.written(), unitwire::frame(QUIPFrame::CrcError)) << "empty, not acked";

    transport.clearWritten();
    transport.unitSends(unitwire::frame(QUIPFrame::CrcError));
    EXPECT_EQ(receiveFailure(), "CRC Error");
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(FrameTest, DisconnectIsAcknowledgedBeforeItIsRaised) {
    transport.unitSends(unitwire::frame(QUIPFrame::Disconnect));
    EXPECT_EQ(thrownMessage<VerloException>([&] { frame.receive(device); }), "TRX4 Disconnected");
    EXPECT_EQ(transport.written(), unitwire::ack());
}

TEST_F(FrameTest, DataLengthIsBoundedBeforeAllocating) {
    transport.unitSends(
        unitwire::dataFrame(unitwire::textBody(unitwire::EventLog, std::string(16379, 'z'))));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.dataLength(), 16384u);

    transport.unitSends({'Q', 'U', 'I', 'P', QUIPFrame::Data, 0, 0, 0x40, 0x01});
    transport.unitSends(Bytes(16387, 0));
    EXPECT_EQ(receiveFailure(), "invalid data length");
    EXPECT_EQ(frame.dataLength(), 0u);
    EXPECT_EQ(transport.unread(), 16387u);
}

TEST_F(FrameTest, DataTooShortForAPacketIsAcknowledgedThenRejected) {
    transport.unitSends(unitwire::frame(QUIPFrame::Data, {0, 0, 0, 5}));
    EXPECT_EQ(receiveFailure(), "invalid buffer size received");
    EXPECT_EQ(transport.written(), unitwire::ack());

    transport.unitSends(unitwire::frame(QUIPFrame::Data, {0, 0, 0x30, 0, unitwire::PingResponse}));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.command()->commandType().code(), CommandType::PingResponse)
        << "the packet's own length field is ignored";
}

TEST_F(FrameTest, TruncatedFramesAreReported) {
    transport.unitSends({'Q', 'U', 'I'});
    EXPECT_EQ(receiveFailure(), "read partial header");
    const Bytes whole = unitwire::dataFrame({unitwire::PingRequest});
    for (const std::ptrdiff_t cut : {6, 12, 15}) {
        transport.unitSends(Bytes(whole.begin(), whole.begin() + cut));
        transport.unitPauses();
        EXPECT_EQ(receiveFailure(), "expected number of bytes not received") << cut;
    }
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(FrameTest, DisconnectIsSentWithoutWaitingAndNeverFails) {
    frame.sendDisconnect(device);
    EXPECT_EQ(transport.written(), unitwire::frame(QUIPFrame::Disconnect));
    EXPECT_EQ(transport.readCount(), 0u);
    transport.failWrites();
    EXPECT_NO_THROW(frame.sendDisconnect(device));
}
