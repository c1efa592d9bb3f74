#include "transport/Win32Socket.h"

#include "protocol/VerloException.h"
#include "support/LoopbackServer.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes pattern(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 13));
    }
    return bytes;
}

class Win32SocketTest : public testing::Test {
protected:
    void connect(Win32Socket::QueueLimits limits = {}) {
        socket = std::make_unique<Win32Socket>("127.0.0.1", server.port(), limits);
        server.accept();
    }

    Bytes read(std::size_t count) {
        Bytes bytes(count);
        bytes.resize(socket->read(bytes.data(), count));
        return bytes;
    }

    LoopbackServer server;
    std::unique_ptr<Win32Socket> socket;
};

} // namespace

TEST_F(Win32SocketTest, CarriesBytesBothWays) {
    connect();
    EXPECT_EQ(socket->host(), "127.0.0.1");
    EXPECT_EQ(socket->port(), server.port());

    const Bytes request = {0x00, 0x00, 0x00, 0x06, 0xFF, 0x0A};
    socket->write(request.data(), request.size());
    EXPECT_EQ(server.receive(request.size()), request);

    server.send({1, 2, 3});
    server.send({4, 5});
    socket->setTimeout(2000);
    EXPECT_EQ(read(2), (Bytes{1, 2}));
    EXPECT_EQ(read(3), (Bytes{3, 4, 5}));
}

TEST_F(Win32SocketTest, ConnectsToANameAsWellAsADottedAddress) {
    Win32Socket named("localhost", server.port());
    server.accept();
    server.send({42});
    named.setTimeout(2000);
    std::uint8_t byte = 0;
    EXPECT_EQ(named.read(&byte, 1), 1u);
    EXPECT_EQ(byte, 42);
}

TEST_F(Win32SocketTest, ReadAtTimeOutZeroNeverTakesPartOfARequest) {
    connect();
    server.send({7, 8, 9});
    ASSERT_TRUE(waitUntil([&] { return socket->queued() == 3; }));

    const auto start = Clock::now();
    EXPECT_TRUE(read(4).empty());
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(socket->queued(), 3u);
    EXPECT_EQ(read(3), (Bytes{7, 8, 9}));
}

TEST_F(Win32SocketTest, ReadReturnsAsSoonAsTheRequestIsQueued) {
    connect();
    socket->setTimeout(5000);
    std::thread unit([&] {
        server.send({1, 2});
        std::this_thread::sleep_for(50ms);
        server.send({3, 4});
    });
    const auto start = Clock::now();
    const Bytes got = read(4);
    const auto took = Clock::now() - start;
    unit.join();
    EXPECT_EQ(got, (Bytes{1, 2, 3, 4}));
    EXPECT_LT(took, 2s);
}

TEST_F(Win32SocketTest, IdleReadGivesUpAfterItsTimeOut) {
    connect();
    socket->setTimeout(100);
    const auto start = Clock::now();
    EXPECT_TRUE(read(1).empty());
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 100ms);
    EXPECT_LT(took, 1s);
}

TEST_F(Win32SocketTest, AfterThePeerClosesQueuedBytesAreReadThenTheEndIsReported) {
    connect();
    server.send({1, 2, 3, 4, 5});
    server.closePeer();
    ASSERT_TRUE(waitUntil([&] { return socket->readerDone(); }));

    socket->setTimeout(1000);
    EXPECT_EQ(thrownMessage<VerloException>([&] { read(6); }), "Socket read thread exited.");
    EXPECT_EQ(read(2), (Bytes{1, 2}));
    socket->setTimeout(0);
    EXPECT_EQ(read(3), (Bytes{3, 4, 5}));
    EXPECT_EQ(thrownMessage<VerloException>([&] { read(1); }), "Socket read thread exited.");
}

TEST_F(Win32SocketTest, WaitingReadLearnsOfTheCloseWithoutSittingOutItsTimeOut) {
    connect();
    socket->setTimeout(10000);
    std::thread unit([&] {
        std::this_thread::sleep_for(30ms);
        server.closePeer();
    });
    const auto start = Clock::now();
    EXPECT_EQ(thrownMessage<VerloException>([&] { read(1); }), "Socket read thread exited.");
    EXPECT_LT(Clock::now() - start, 5s);
    unit.join();
}

TEST_F(Win32SocketTest, WriteToAClosedConnectionReportsTheSendError) {
    connect();
    server.closePeer();
    ASSERT_TRUE(waitUntil([&] { return socket->readerDone(); }));
    const Bytes request(64, 0x55);
    EXPECT_THAT(
        thrownMessage<VerloException>([&] { socket->write(request.data(), request.size()); }),
        testing::StartsWith("send failed with error code "));
}

TEST_F(Win32SocketTest, LargestPacketIsReceivedWhole) {
    connect();
    socket->setTimeout(5000);
    const Bytes packet = pattern(16388);
    std::thread unit([&] {
        server.send(packet);
        server.send(packet);
    });
    EXPECT_EQ(read(16388), packet);
    // As the packet layer reads: length first, then the body.
    EXPECT_EQ(read(4), Bytes(packet.begin(), packet.begin() + 4));
    EXPECT_EQ(read(16384), Bytes(packet.begin() + 4, packet.end()));
    unit.join();
}

TEST_F(Win32SocketTest, QueueStayingFullEndsTheConnectionButKeepsWhatWasQueued) {
    connect({16, 50});
    const Bytes sent = pattern(64);
    server.send(sent);
    ASSERT_TRUE(waitUntil([&] { return socket->readerDone(); }));

    EXPECT_EQ(read(16), Bytes(sent.begin(), sent.begin() + 16));
    EXPECT_EQ(thrownMessage<VerloException>([&] { read(1); }), "Socket read thread exited.");
    EXPECT_TRUE(server.sawEndOfStream());
}

TEST_F(Win32SocketTest, DestructionEndsABlockedReaderPromptly) {
    connect();
    auto start = Clock::now();
    socket.reset();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_TRUE(server.sawEndOfStream());
}

TEST_F(Win32SocketTest, DestructionEndsAReaderWaitingForRoom) {
    connect({8, 10000});
    server.send(pattern(32));
    ASSERT_TRUE(waitUntil([&] { return socket->queued() == 8; }));
    const auto start = Clock::now();
    socket.reset();
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(Win32SocketSetUpTest, RefusedConnectionNamesTheErrorCode) {
    const RefusingPort refusing;
    const std::uint16_t port = refusing.port();
    EXPECT_EQ(thrownMessage<VerloException>([&] { Win32Socket("127.0.0.1", port); }),
              "connect failed with error code " + std::to_string(ECONNREFUSED) +
                  " (Connection refused).  This probably means that the unit is not listening on "
                  "the port and address "
                  "provided.  Check the TCP/IP settings and try again.");
}

// A label longer than 63 characters is refused by the resolver itself, so no
// query leaves the machine.
TEST(Win32SocketSetUpTest, UnknownNameNamesTheHost) {
    const std::string host = "trx4-" + std::string(70, 'x') + ".invalid";
    EXPECT_EQ(
        thrownMessage<VerloException>([&] { Win32Socket(host, 4444); }),
        "Unable to resolve server: " + host +
            ".  This probably means that the TCP "
            "address is not valid.  You may want to try entering the address in number format "
            "instead (127.12.23.12, for example).");
}
