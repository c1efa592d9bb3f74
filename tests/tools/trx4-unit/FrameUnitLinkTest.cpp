#include "FrameUnitLink.h"
#include "FileDescriptorDevice.h"
#include "TraceWriter.h"

#include "protocol/Command.h"
#include "protocol/QUIPFrame.h"
#include "protocol/SerialDevice.h"
#include "protocol/VerloException.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/socket.h>

namespace {

using namespace std::chrono_literals;

// The unit's link on one end of a socket pair; the test plays the host on
// the other, writing raw bytes and reading frames with the host's own link.
class FrameUnitLinkTest : public testing::Test {
protected:
    FrameUnitLinkTest() {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        unitEnd = std::make_unique<FileDescriptorDevice>(ends[0]);
        hostEnd = std::make_unique<FileDescriptorDevice>(ends[1]);
        hostDevice = std::make_unique<SerialDevice>(*hostEnd);
        hostDevice->setTimeout(1000);
    }
    void hostWrites(const std::vector<std::uint8_t>& bytes) {
        hostEnd->write(bytes.data(), bytes.size());
    }
    // The next frame from the unit, as the host reads it.
    std::uint8_t nextFrameType() {
        QUIPFrame received;
        hostDevice->setTimeout(1000);
        EXPECT_TRUE(received.receive(*hostDevice));
        return received.type();
    }

    std::ostringstream traceText;
    TraceWriter trace{traceText};
    std::unique_ptr<FileDescriptorDevice> unitEnd;
    std::unique_ptr<FileDescriptorDevice> hostEnd;
    std::unique_ptr<SerialDevice> hostDevice;
};

TEST_F(FrameUnitLinkTest, AcknowledgesADataFrameAndFindsItsStartAfterNoise) {
    FrameUnitLink link(*unitEnd, &trace, 0);
    std::vector<std::uint8_t> bytes{'Q', 'U', 'x', 0x00};
    const auto data = unitwire::frame(QUIPFrame::Data, unitwire::packet({CommandType::GetAll}));
    bytes.insert(bytes.end(), data.begin(), data.end());
    hostWrites(bytes);
    EXPECT_EQ(link.receive(1000ms), std::vector<std::uint8_t>{CommandType::GetAll});
    EXPECT_EQ(nextFrameType(), QUIPFrame::Acknowledgement);
    EXPECT_NE(traceText.str().find("\"bytes-skipped\""), std::string::npos);
}

TEST_F(FrameUnitLinkTest, AnswersABadCrcWithACrcErrorFrameAndKeepsNothing) {
    FrameUnitLink link(*unitEnd, &trace, 0);
    hostWrites(unitwire::frame(QUIPFrame::Data, unitwire::packet({CommandType::GetAll}), true));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_THROW(nextFrameType(), ProtocolException);
    EXPECT_FALSE(link.hostGone());
}

TEST_F(FrameUnitLinkTest, KeepsARequestThatCrossesItsOwnFrame) {
    FrameUnitLink link(*unitEnd, &trace, 0);
    // The host's request is on its way before the acknowledgement.
    auto bytes = unitwire::frame(QUIPFrame::Data, unitwire::packet({CommandType::GetEventLog}));
    const auto ack = unitwire::frame(QUIPFrame::Acknowledgement);
    bytes.insert(bytes.end(), ack.begin(), ack.end());
    hostWrites(bytes);
    EXPECT_FALSE(link.send(PingRequestCommand()));
    EXPECT_TRUE(link.readyForUnsolicited());
    EXPECT_EQ(link.receive(0ms), std::vector<std::uint8_t>{CommandType::GetEventLog});
    EXPECT_EQ(nextFrameType(), QUIPFrame::Data);
    EXPECT_EQ(nextFrameType(), QUIPFrame::Acknowledgement);
}

TEST_F(FrameUnitLinkTest, HoldsBackUnaskedMessagesWhileTheHostLeavesFramesUnacknowledged) {
    FrameUnitLink link(*unitEnd, &trace, 0);
    link.send(PingRequestCommand());
    EXPECT_FALSE(link.readyForUnsolicited());
    hostWrites(unitwire::frame(QUIPFrame::Filler));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_TRUE(link.readyForUnsolicited());
}

TEST_F(FrameUnitLinkTest, CorruptsEveryNthFrameItSends) {
    FrameUnitLink link(*unitEnd, &trace, 2);
    hostWrites(unitwire::frame(QUIPFrame::Filler));
    hostWrites(unitwire::frame(QUIPFrame::Filler));
    link.receive(200ms);
    EXPECT_EQ(link.framesSent(), 2u);
    // The host finds the first acknowledgement good and the second bad,
    // which it answers with a CRC-error frame of its own.
    QUIPFrame first;
    QUIPFrame second;
    ASSERT_TRUE(first.receive(*hostDevice));
    ASSERT_TRUE(second.receive(*hostDevice));
    EXPECT_EQ(first.type(), QUIPFrame::Acknowledgement);
    EXPECT_NE(traceText.str().find("\"frame-corrupted\""), std::string::npos);
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_NE(traceText.str().find("\"crc-error-reported\""), std::string::npos);
}

TEST_F(FrameUnitLinkTest, ADisconnectFrameEndsTheHostWithoutAnAcknowledgement) {
    FrameUnitLink link(*unitEnd, &trace, 0);
    hostWrites(unitwire::frame(QUIPFrame::Disconnect));
    EXPECT_FALSE(link.receive(200ms));
    EXPECT_TRUE(link.hostGone());
    EXPECT_EQ(link.framesSent(), 0u);
}

} // namespace
