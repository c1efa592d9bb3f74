#include "transport/Win32Socket.h"

#include "base/VerloException.h"
#include "support/FirmwareImages.h"
#include "support/LoopbackServer.h"
#include "support/ThrownMessage.h"
#include "transport/ByteQueue.h"

#include <gmock/gmock.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

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
    // How long the call took.
    template <class Call> static SteadyClock::duration timed(Call call) {
        const auto start = SteadyClock::now();
        call();
        return SteadyClock::now() - start;
    }

    LoopbackServer server;
    std::unique_ptr<Win32Socket> socket;
};

} // namespace

TEST_F(Win32SocketTest, AReadTakesAWholeRequestUpToTheLargestAsSoonAsItIsQueuedOrNothing) {
    connect();
    server.send({7, 8, 9});
    ASSERT_TRUE(waitUntil([&] { return socket->queued() == 3; }));
    EXPECT_LT(timed([&] { EXPECT_TRUE(read(4).empty()); }), 1s) << "time-out 0 does not wait";
    EXPECT_EQ(socket->queued(), 3u);

    socket->setTimeout(100);
    EXPECT_GE(timed([&] { EXPECT_TRUE(read(4).empty()); }), 100ms);
    socket->setTimeout(5000);
    std::thread unit([&] {
        std::this_thread::sleep_for(50ms);
        server.send({10});
    });
    EXPECT_LT(timed([&] { EXPECT_EQ(read(4), (Bytes{7, 8, 9, 10})); }), 2s);
    unit.join();

    // The largest packet is received whole, also as the packet layer reads:
    // length first, then the body.
    const Bytes packet = patternPayload(16388);
    std::thread sender([&] {
        server.send(packet);
        server.send(packet);
    });
    EXPECT_EQ(read(16388), packet);
    EXPECT_EQ(read(4), Bytes(packet.begin(), packet.begin() + 4));
    EXPECT_EQ(read(16384), Bytes(packet.begin() + 4, packet.end()));
    sender.join();
}

TEST_F(Win32SocketTest, AfterThePeerClosesQueuedBytesAreReadThenTheEndIsReported) {
    connect();
    server.send({1, 2, 3, 4, 5});
    server.closePeer();
    ASSERT_TRUE(waitUntil([&] { return socket->readerDone(); }));
    socket->setTimeout(1000);
    EXPECT_EQ(thrownMessage<ConnectionClosedException>([&] { read(6); }),
              "The TRX4 closed the connection");
    EXPECT_EQ(read(2), (Bytes{1, 2}));
    EXPECT_EQ(read(3), (Bytes{3, 4, 5}));
    EXPECT_EQ(thrownMessage<ConnectionClosedException>([&] { read(1); }),
              "The TRX4 closed the connection");
    const Bytes request(64, 0x55);
    EXPECT_EQ(thrownMessage<ConnectionClosedException>(
                  [&] { socket->write(request.data(), request.size()); }),
              "The TRX4 closed the connection");
}

TEST_F(Win32SocketTest, TheReaderEndsPromptlyOnDestructionOrWhenTheQueueStaysFull) {
    connect();
    EXPECT_LT(timed([&] { socket.reset(); }), 2s);
    EXPECT_TRUE(server.sawEndOfStream());

    connect({8, 10000});
    server.send(patternPayload(32));
    ASSERT_TRUE(waitUntil([&] { return socket->queued() == 8; }));
    EXPECT_LT(timed([&] { socket.reset(); }), 2s);

    // A queue staying full ends the connection but keeps what was queued.
    connect({16, 50});
    const Bytes sent = patternPayload(64);
    server.send(sent);
    ASSERT_TRUE(waitUntil([&] { return socket->readerDone(); }));
    EXPECT_EQ(read(16), Bytes(sent.begin(), sent.begin() + 16));
    EXPECT_EQ(thrownMessage<VerloException>([&] { read(1); }),
              "The TRX4's messages were not read in time; the connection was dropped");
    EXPECT_TRUE(server.sawEndOfStream());
}

TEST(Win32SocketSetUpTest, ARefusedConnectionOrAnUnknownNameIsExplained) {
    const RefusingPort refusing;
    EXPECT_EQ(thrownMessage<VerloException>([&] { Win32Socket("127.0.0.1", refusing.port()); }),
              "connect failed with error code " + std::to_string(ECONNREFUSED) +
                  " (Connection refused).  This probably means that the unit is not listening on "
                  "the port and address "
                  "provided.  Check the TCP/IP settings and try again.");
    EXPECT_EQ(thrownMessage<VerloException>([] { Win32Socket("trx4 booth", 4444); }),
              "Unable to resolve server: trx4 booth.  This probably means that the TCP "
              "address is not valid.  You may want to try entering the address in number format "
              "instead (127.12.23.12, for example).");
}

// The receive queue between the reader thread and the reads.
TEST(ByteQueueTest, AFullQueueAndItsWaitingConsumerWakeEachOther) {
    ByteQueue queue(4, 2000);
    std::thread producer([&] {
        std::this_thread::sleep_for(50ms);
        const Bytes six{0, 1, 2, 3, 4, 5};
        EXPECT_NO_THROW(queue.push(six.data(), six.size()));
    });
    // The producer waits for room with four bytes queued: enough for the consumer.
    const auto start = SteadyClock::now();
    EXPECT_EQ(queue.waitForCount(4, 5s), 4u);
    EXPECT_LT(SteadyClock::now() - start, 2s);
    Bytes taken(4);
    EXPECT_TRUE(queue.take(taken.data(), 4));
    producer.join();
    taken.resize(6);
    EXPECT_TRUE(queue.take(taken.data() + 4, 2));
    EXPECT_EQ(taken, (Bytes{0, 1, 2, 3, 4, 5}));
}

TEST(ByteQueueTest, TakesWholeRequestsOnlyAndKeepsOrderAcrossTheEndOfItsStorage) {
    ByteQueue queue(5, 10);
    std::uint8_t buffer[5] = {};
    EXPECT_FALSE(queue.pop(buffer[0]));
    std::uint8_t next = 0;
    std::uint8_t expected = 0;
    ASSERT_TRUE(queue.push(next++)); // one byte always stays behind
    for (int round = 0; round < 40; ++round) {
        Bytes block(1 + static_cast<std::size_t>(round) % 4);
        std::iota(block.begin(), block.end(), next);
        next = static_cast<std::uint8_t>(next + block.size());
        ASSERT_TRUE(queue.push(block.data(), block.size()));
        ASSERT_FALSE(queue.take(buffer, block.size() + 2)) << "round " << round;
        ASSERT_TRUE(queue.take(buffer, block.size())) << "round " << round;
        for (std::size_t i = 0; i < block.size(); ++i) {
            ASSERT_EQ(buffer[i], expected++) << "round " << round;
        }
    }
}
