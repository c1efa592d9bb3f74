#include "protocol/QUIPFrame.h"

#include "protocol/Command.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/ScriptedDevice.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

using unitwire::Bytes;
using unitwire::Frame;

namespace {

class FrameTest : public ::testing::Test {
protected:
    template <typename E, typename F> std::string failure(F&& code) {
        try {
            code();
        } catch (const E& error) {
            return error.what();
        }
        ADD_FAILURE() << "nothing was thrown";
        return {};
    }
    std::string receiveFailure() {
        return failure<ProtocolException>([&] { frame.receive(device); });
    }
    std::string sendFailure() {
        return failure<ProtocolException>([&] { frame.send(device, &cache); });
    }
    std::vector<Frame> hostFrames() const { return unitwire::splitFrames(transport.written()); }

    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPFrame frame;
    ParameterValueMap cache;
    const SetCommand set{ParameterId(0x0301), ParameterValue(7)};
    const Bytes setBody = unitwire::body(unitwire::Set, {{0x0301, unitwire::integer(7)}});
};

} // namespace

TEST_F(FrameTest, DataFrameCarriesThePacketAndEndsOnTheAcknowledgement) {
    frame.setCommand(set);
    EXPECT_EQ(frame.type(), QUIPFrame::Data);
    EXPECT_EQ(frame.dataLength(), set.size() + 4);
    EXPECT_EQ(frame.command(), &set);

    transport.unitSends(unitwire::ack());
    frame.send(device, &cache);
    EXPECT_EQ(transport.written(), unitwire::dataFrame(setBody)) << "an ack is not acknowledged";
}

TEST_F(FrameTest, AcknowledgementMustComeWithinTwentyFrames) {
    frame.setCommand(set);
    for (int i = 0; i < 18; ++i) {
        transport.unitSends(unitwire::frame(QUIPFrame::Filler));
    }
    transport.unitSends(unitwire::ack());
    frame.send(device, &cache);
    const auto written = hostFrames();
    ASSERT_EQ(written.size(), 19u);
    for (std::size_t i = 1; i < written.size(); ++i) {
        EXPECT_EQ(written[i].type, QUIPFrame::Acknowledgement) << "filler frames are acknowledged";
    }

    for (int i = 0; i < 19; ++i) {
        transport.unitSends(unitwire::frame(QUIPFrame::Filler));
    }
    transport.unitSends(unitwire::ack());
    EXPECT_EQ(sendFailure(), "CRC error");
}

TEST_F(FrameTest, SilenceWhileWaitingMeansTheConnectionIsLost) {
    frame.setCommand(set);
    EXPECT_EQ(sendFailure(), "Lost Connection to the Device");
}

TEST_F(FrameTest, CrcErrorOrDisconnectWhileWaitingFailsTheSend) {
    frame.setCommand(set);
    transport.unitSends(unitwire::frame(QUIPFrame::CrcError, {}, true));
    EXPECT_EQ(sendFailure(), "CRC error");

    frame.setCommand(set);
    transport.unitSends(unitwire::frame(QUIPFrame::Disconnect, {}, true));
    EXPECT_EQ(sendFailure(), "CRC error");

    frame.setCommand(set);
    transport.unitSends(unitwire::frame(QUIPFrame::CrcError));
    EXPECT_EQ(sendFailure(), "CRC Error") << "a good CRC-error frame is the unit's complaint";
}

TEST_F(FrameTest, CommandsArrivingBeforeTheAcknowledgementAreHandled) {
    frame.setCommand(set);
    transport.unitSends(
        unitwire::dataFrame(unitwire::body(unitwire::Status, {{0x0102, unitwire::integer(3)}})));
    transport.unitSends(unitwire::dataFrame({unitwire::PingRequest}));
    transport.unitSends(unitwire::ack()); // for the ping response
    transport.unitSends(unitwire::ack()); // for the set
    frame.send(device, &cache);

    EXPECT_EQ(cache.at(ParameterId(0x0102)), ParameterValue(3));
    const auto written = hostFrames();
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[0].type, QUIPFrame::Data);
    EXPECT_EQ(written[1].type, QUIPFrame::Acknowledgement);
    EXPECT_EQ(written[2].type, QUIPFrame::Acknowledgement);
    EXPECT_EQ(written[3].data, unitwire::packet({unitwire::PingResponse}));
    EXPECT_EQ(transport.unread(), 0u);
}

TEST_F(FrameTest, AUnitThatOnlyEverPingsCannotExhaustTheStack) {
    frame.setCommand(set);
    for (int i = 0; i < 100; ++i) {
        transport.unitSends(unitwire::dataFrame({unitwire::PingRequest}));
    }
    EXPECT_EQ(sendFailure(), "CRC error");
    EXPECT_GT(transport.unread(), 0u);
}

TEST_F(FrameTest, ReceivedDataFrameIsAcknowledgedAndDecoded) {
    transport.unitSends(unitwire::dataFrame(unitwire::body(unitwire::Status, {{0x0105, "x"}})));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(transport.timeouts(), (std::vector<std::uint32_t>{5000}));
    ASSERT_NE(frame.packet(), nullptr);
    ASSERT_NE(frame.command(), nullptr);
    EXPECT_TRUE(frame.command()->contains(ParameterId(0x0105)));
    EXPECT_EQ(transport.written(), unitwire::ack());
}

TEST_F(FrameTest, AcknowledgementIsReceivedSilently) {
    transport.unitSends(unitwire::ack());
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.type(), QUIPFrame::Acknowledgement);
    EXPECT_EQ(frame.command(), nullptr);
    EXPECT_TRUE(transport.written().empty());
    EXPECT_FALSE(frame.receive(device));
}

TEST_F(FrameTest, BadCrcIsReportedToTheUnitAndNotAcknowledged) {
    transport.unitSends(
        unitwire::frame(QUIPFrame::Data, unitwire::packet({unitwire::PingRequest}), true));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.type(), QUIPFrame::Data);
    EXPECT_EQ(frame.packet(), nullptr);
    EXPECT_EQ(frame.command(), nullptr);
    EXPECT_EQ(transport.written(), unitwire::frame(QUIPFrame::CrcError));
    const auto written = hostFrames();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written[0].data.empty());
    EXPECT_TRUE(written[0].crcGood);
}

TEST_F(FrameTest, CrcErrorFromTheUnitIsRaised) {
    transport.unitSends(unitwire::frame(QUIPFrame::CrcError));
    EXPECT_EQ(receiveFailure(), "CRC Error");
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(FrameTest, DisconnectIsAcknowledgedBeforeItIsRaised) {
    transport.unitSends(unitwire::frame(QUIPFrame::Disconnect));
    const std::string message = failure<VerloException>([&] { frame.receive(device); });
    EXPECT_EQ(message, "TRX4 Disconnected");
    EXPECT_EQ(transport.written(), unitwire::ack());
}

TEST_F(FrameTest, DataLengthIsBoundedBeforeAllocating) {
    Bytes body = unitwire::textBody(unitwire::EventLog, std::string(16379, 'z'));
    transport.unitSends(unitwire::dataFrame(body));
    ASSERT_TRUE(frame.receive(device));
    EXPECT_EQ(frame.dataLength(), 16384u);
    EXPECT_EQ(dynamic_cast<const LogCommand&>(*frame.command()).text().size(), 16379u);

    transport.unitSends({'Q', 'U', 'I', 'P', QUIPFrame::Data, 0, 0, 0x40, 0x01});
    transport.unitSends(Bytes(16387, 0));
    EXPECT_EQ(receiveFailure(), "invalid data length");
    EXPECT_EQ(frame.dataLength(), 0u);
    EXPECT_EQ(transport.unread(), 16387u);

    ScriptedDevice hostile;
    SerialDevice hostileDevice(hostile);
    hostile.unitSends({'Q', 'U', 'I', 'P', QUIPFrame::Data, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(failure<ProtocolException>([&] { frame.receive(hostileDevice); }),
              "invalid data length");
}

TEST_F(FrameTest, DataFrameTooShortForAPacketIsAcknowledgedThenRejected) {
    transport.unitSends(unitwire::frame(QUIPFrame::Data, {0, 0, 0, 5}));
    EXPECT_EQ(receiveFailure(), "invalid buffer size received");
    EXPECT_EQ(transport.written(), unitwire::ack());
}

TEST_F(FrameTest, PacketLengthInsideTheFrameIsIgnored) {
    transport.unitSends(unitwire::frame(QUIPFrame::Data, {0, 0, 0x30, 0, unitwire::PingResponse}));
    ASSERT_TRUE(frame.receive(device));
    ASSERT_NE(frame.command(), nullptr);
    EXPECT_EQ(frame.command()->commandType().code(), CommandType::PingResponse);
}

TEST_F(FrameTest, TruncatedFramesAreReported) {
    transport.unitSends({'Q', 'U', 'I'});
    EXPECT_EQ(receiveFailure(), "read partial header");

    Bytes whole = unitwire::dataFrame({unitwire::PingRequest});
    for (const std::size_t cut : {std::size_t{6}, std::size_t{12}, whole.size() - 1}) {
        transport.unitSends(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        transport.unitPauses();
        EXPECT_EQ(receiveFailure(), "expected number of bytes not received") << cut;
    }
    EXPECT_TRUE(transport.written().empty());
}

TEST_F(FrameTest, DisconnectIsSentWithoutWaitingAndNeverFails) {
    frame.sendDisconnect(device);
    const auto written = hostFrames();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].type, QUIPFrame::Disconnect);
    EXPECT_TRUE(written[0].data.empty());
    EXPECT_EQ(transport.readCount(), 0u);

    transport.failWrites();
    EXPECT_NO_THROW(frame.sendDisconnect(device));
}
