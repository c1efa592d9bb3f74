#include "PacketUnitLink.h"
#include "FileDescriptorDevice.h"

#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

class PacketUnitLinkTest : public testing::Test {
protected:
    PacketUnitLinkTest() {
        int ends[2];
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
        unitEnd = std::make_unique<FileDescriptorDevice>(ends[0]);
        hostEnd = std::make_unique<FileDescriptorDevice>(ends[1]);
    }
    void hostWrites(const std::vector<std::uint8_t>& bytes) {
        hostEnd->write(bytes.data(), bytes.size());
    }

    std::unique_ptr<FileDescriptorDevice> unitEnd;
    std::unique_ptr<FileDescriptorDevice> hostEnd;
};

TEST_F(PacketUnitLinkTest, ReceivesPacketsAndSendsRepliesTheHostCanRead) {
    PacketUnitLink link(*unitEnd, nullptr);
    hostWrites({0, 0, 0, 5, CommandType::GetAll, 0, 0, 0, 5, CommandType::PingRequest});
    EXPECT_EQ(link.receive(500ms), std::vector<std::uint8_t>{CommandType::GetAll});
    EXPECT_EQ(link.receive(500ms), std::vector<std::uint8_t>{CommandType::PingRequest});
    EXPECT_FALSE(link.receive(20ms));

    link.send(PingResponseCommand());
    SerialDevice host(*hostEnd);
    host.setTimeout(500);
    QUIPPacket reply;
    ASSERT_TRUE(reply.receive(host));
    EXPECT_EQ(reply.body(), std::vector<std::uint8_t>{CommandType::PingResponse});
    EXPECT_FALSE(link.hostGone());
}

TEST_F(PacketUnitLinkTest, GivesUpOnAHostThatStopsInsideALengthField) {
    PacketUnitLink link(*unitEnd, nullptr, 100ms);
    hostWrites({0, 0});
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!link.hostGone() && std::chrono::steady_clock::now() < deadline) {
        EXPECT_FALSE(link.receive(20ms));
    }
    EXPECT_TRUE(link.hostGone());
}

TEST_F(PacketUnitLinkTest, AMalformedLengthOrAClosedConnectionEndsTheHost) {
    PacketUnitLink link(*unitEnd, nullptr);
    hostWrites({0, 0, 0, 3});
    EXPECT_FALSE(link.receive(500ms));
    EXPECT_TRUE(link.hostGone());

    PacketUnitLink other(*hostEnd, nullptr);
    unitEnd.reset();
    EXPECT_FALSE(other.receive(500ms));
    EXPECT_TRUE(other.hostGone());
}

} // namespace
