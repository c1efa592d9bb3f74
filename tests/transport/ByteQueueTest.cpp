#include "transport/ByteQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

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

} // namespace
