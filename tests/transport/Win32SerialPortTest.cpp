#include "transport/Win32SerialPort.h"

#include "base/VerloException.h"
#include "support/LoopbackServer.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The port opens the terminal side of a pseudo-terminal; the test plays the unit on the other.
class Win32SerialPortTest : public testing::Test {
protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(::openpty(&unit, &terminal, name, nullptr, nullptr), 0);
        path = name;
    }
    void TearDown() override {
        if (unit >= 0) {
            ::close(unit);
        }
        ::close(terminal);
    }

    void unitSends(const Bytes& bytes) const {
        ASSERT_EQ(::write(unit, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    bool portHolds(int count) const {
        int pending = 0;
        return ::ioctl(terminal, FIONREAD, &pending) == 0 && pending == count;
    }
    // What a read of count bytes returned, and how long it took.
    static std::pair<Bytes, SteadyClock::duration> timedRead(Win32SerialPort& port,
                                                             std::size_t count) {
        Bytes bytes(count);
        const auto start = SteadyClock::now();
        bytes.resize(port.read(bytes.data(), count));
        return {bytes, SteadyClock::now() - start};
    }

    int unit = -1;
    int terminal = -1;
    std::string path;
};

} // namespace

TEST_F(Win32SerialPortTest, RunsAt115200AReadEndsWhenItsTimeOutPassedAndFailuresNameThePort) {
    EXPECT_EQ(thrownMessage<VerloException>([&] { Win32SerialPort(path, 12345); }),
              "Error setting the serial port state.");
    Win32SerialPort port(path, 115200);
    termios settings{};
    ASSERT_EQ(::tcgetattr(terminal, &settings), 0);
    EXPECT_EQ(::cfgetospeed(&settings), B115200);
    EXPECT_EQ(::cfgetispeed(&settings), B115200);

    port.setTimeout(200);
    unitSends({0x51, 0x55});
    auto [bytes, took] = timedRead(port, 4);
    EXPECT_EQ(bytes, (Bytes{0x51, 0x55}));
    EXPECT_GE(took, 200ms);

    port.setTimeout(0);
    unitSends({9});
    ASSERT_TRUE(waitUntil([&] { return portHolds(1); }));
    std::tie(bytes, took) = timedRead(port, 5);
    EXPECT_EQ(bytes, (Bytes{9}));
    EXPECT_LT(took, 1s);

    // A device with no line settings of its own, here a pseudo-terminal's master side, cannot
    // hold a read past its time-out either. Should one block, the alarm ends the test.
    Win32SerialPort master(std::string("/dev/ptmx"), 115200);
    master.setTimeout(100);
    ::alarm(10);
    std::tie(bytes, took) = timedRead(master, 4);
    ::alarm(0);
    EXPECT_TRUE(bytes.empty());
    EXPECT_GE(took, 100ms);

    // A failure to open names the port as given.
    EXPECT_EQ(Win32SerialPort::devicePathForPort(12), "/dev/ttyS11");
    EXPECT_EQ(thrownMessage<VerloException>([] { Win32SerialPort(250, 115200); }),
              "Error opening COM250 (No such file or directory)");
    EXPECT_EQ(thrownMessage<VerloException>([] { Win32SerialPort(0u, 115200); }),
              "Error opening COM0");
    EXPECT_EQ(
        thrownMessage<VerloException>([] { Win32SerialPort(std::string("/dev/null"), 115200); }),
        "Error opening /dev/null (Inappropriate ioctl for device)");
}

// The unit's side closing in the middle of a read, as when an adapter is pulled out, fails the
// read at once as a lost connection, and every later write.
TEST_F(Win32SerialPortTest, ADeviceThatGoesAwayFailsAtOnceNamingIt) {
    const std::string removed = "The serial device " + path + " was removed (Input/output error)";
    Win32SerialPort port(path, 115200);
    port.setTimeout(5000);
    unitSends({1});
    std::thread unplug([this] {
        std::this_thread::sleep_for(100ms);
        ::close(std::exchange(unit, -1));
    });
    const auto start = SteadyClock::now();
    EXPECT_EQ(thrownMessage<VerloException>([&] { timedRead(port, 4); }), removed);
    EXPECT_LT(SteadyClock::now() - start, 1s);
    unplug.join();
    const Bytes request{0x51};
    EXPECT_EQ(thrownMessage<VerloException>([&] { port.write(request.data(), request.size()); }),
              removed);
}
