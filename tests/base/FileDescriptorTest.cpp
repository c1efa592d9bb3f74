#include "base/FileDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

struct Pipe {
    Pipe() {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        in.reset(ends[0]);
        out.reset(ends[1]);
    }
    FileDescriptor in;
    FileDescriptor out;
};

void ignoreSignal(int) {}

} // namespace

TEST(FileDescriptorTest, ClosesItsDescriptorOnceWhicheverOwnerHoldsItLast) {
    auto pipe = std::make_unique<Pipe>();
    const int read = pipe->in.get();
    const int write = pipe->out.get();
    {
        FileDescriptor moved(std::move(pipe->in));
        EXPECT_FALSE(pipe->in.isOpen());
        pipe->in = std::move(moved);
    }
    EXPECT_TRUE(isOpen(read)) << "an owner it was moved out of closes nothing";

    FileDescriptor taker(std::move(pipe->out));
    taker = std::move(pipe->in);
    EXPECT_FALSE(isOpen(write)) << "an owner given another descriptor closes its own";
    EXPECT_TRUE(isOpen(read));
    taker.reset();
    EXPECT_FALSE(isOpen(read));

    // The freed numbers go to new descriptors, which a second close would take away.
    const Pipe next;
    ASSERT_EQ(next.in.get(), read);
    ASSERT_EQ(next.out.get(), write);
    pipe.reset();
    EXPECT_TRUE(isOpen(read));
    EXPECT_TRUE(isOpen(write));
}

// A signal that comes while a call waits interrupts it (the handler is installed without
// SA_RESTART, and poll is never restarted); the call must go on as if nothing had happened.
TEST(FileDescriptorTest, CallsGoOnThroughSignals) {
    constexpr std::size_t piped = 3 * 4096;
    const auto sendOne = [](Pipe& pipe) { ASSERT_EQ(::write(pipe.out.get(), "x", 1), 1); };
    const struct {
        const char* call;
        std::function<bool(Pipe&)> waits;
        std::function<void(Pipe&)> release;
    } calls[] = {
        {"readSome",
         [](Pipe& pipe) {
             char byte = 0;
             return pipe.in.readSome(&byte, 1) == 1 && byte == 'x';
         },
         sendOne},
        {"pollFor", [](Pipe& pipe) { return pipe.in.pollFor(POLLIN, 5s) == POLLIN; }, sendOne},
        // Three times what the pipe holds: the writer waits for room between writes, and in
        // the middle of one.
        {"writeAll",
         [](Pipe& pipe) {
             const std::vector<std::uint8_t> bytes(piped);
             return ::fcntl(pipe.out.get(), F_SETPIPE_SZ, 4096) == 4096 &&
                    pipe.out.writeAll(bytes.data(), bytes.size()) == 0;
         },
         [](Pipe& pipe) {
             std::uint8_t scrap[piped];
             ssize_t count = 0;
             while (count < ssize_t{piped} && pipe.in.pollFor(POLLIN, 1s) > 0) {
                 count += std::max(pipe.in.readSome(scrap, sizeof scrap), ssize_t{0});
             }
             EXPECT_EQ(count, ssize_t{piped});
         }},
    };

    struct sigaction action {};
    action.sa_handler = ignoreSignal;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
    for (const auto& [call, waits, release] : calls) {
        Pipe pipe;
        std::atomic<bool> done{false};
        bool succeeded = false;
        std::thread waiter([&] {
            succeeded = waits(pipe);
            done = true;
        });
        for (int signal = 0; signal < 10; ++signal) {
            std::this_thread::sleep_for(10ms);
            EXPECT_EQ(::pthread_kill(waiter.native_handle(), SIGUSR1), 0);
        }
        EXPECT_FALSE(done) << call << " gave up at a signal";
        release(pipe);
        waiter.join();
        EXPECT_TRUE(succeeded) << call;
    }
    ::sigaction(SIGUSR1, &previous, nullptr);
}
