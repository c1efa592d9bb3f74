#include "transport/Win32SerialPort.h"

#include "protocol/VerloException.h"
#include "support/LoopbackServer.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
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

    Bytes unitReceives(std::size_t count) const {
        Bytes bytes(count);
        std::size_t got = 0;
        const auto deadline = Clock::now() + 5s;
        while (got < count && Clock::now() < deadline) {
            pollfd ready{unit, POLLIN, 0};
            if (::poll(&ready, 1, 100) != 1) {
                continue;
            }
            const ssize_t n = ::read(unit, bytes.data() + got, count - got);
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return bytes;
    }

    int pendingForPort() const {
        int pending = 0;
        ::ioctl(terminal, FIONREAD, &pending);
        return pending;
    }

    termios lineSettings() const {
        termios settings{};
        ::tcgetattr(terminal, &settings);
        return settings;
    }

    static Bytes read(Win32SerialPort& port, std::size_t count) {
        Bytes bytes(count);
        bytes.resize(port.read(bytes.data(), count));
        return bytes;
    }

    int unit = -1;
    int terminal = -1;
    std::string path;
};

} // namespace

TEST_F(Win32SerialPortTest, OpensExclusiveRawEightNoneOneAt115200) {
    Win32SerialPort port(path, 115200);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.openCount(), 1u);
    EXPECT_EQ(port.baudRate(), 115200u);
    EXPECT_EQ(port.devicePath(), path);

    const termios line = lineSettings();
    EXPECT_EQ(::cfgetospeed(&line), B115200);
    EXPECT_EQ(::cfgetispeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);

    int exclusive = 0;
    ASSERT_EQ(::ioctl(terminal, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
}

TEST_F(Win32SerialPortTest, PassesEveryByteValueUnchangedBothWays) {
    Win32SerialPort port(path, 115200);
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    port.write(all.data(), all.size());
    EXPECT_EQ(unitReceives(all.size()), all);

    unitSends(all);
    port.setTimeout(2000);
    EXPECT_EQ(read(port, all.size()), all);
}

TEST_F(Win32SerialPortTest, ReadReturnsAShortCountWhenTheTimeOutPasses) {
    Win32SerialPort port(path, 115200);
    port.setTimeout(200);
    unitSends({0x51, 0x55});
    const auto start = Clock::now();
    EXPECT_EQ(read(port, 4), (Bytes{0x51, 0x55}));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 2s);
}

TEST_F(Win32SerialPortTest, ReadReturnsAsSoonAsAllBytesArrived) {
    Win32SerialPort port(path, 115200);
    port.setTimeout(5000);
    std::thread sender([&] {
        unitSends({1, 2});
        std::this_thread::sleep_for(30ms);
        unitSends({3, 4});
    });
    const auto start = Clock::now();
    const Bytes got = read(port, 4);
    const auto took = Clock::now() - start;
    sender.join();
    EXPECT_EQ(got, (Bytes{1, 2, 3, 4}));
    EXPECT_LT(took, 2s);
}

TEST_F(Win32SerialPortTest, TimeOutZeroTakesWhatIsThereAtOnce) {
    Win32SerialPort port(path, 115200);
    unitSends({9, 8, 7});
    ASSERT_TRUE(waitUntil([&] { return pendingForPort() == 3; }));
    port.setTimeout(0);
    const auto start = Clock::now();
    EXPECT_EQ(read(port, 5), (Bytes{9, 8, 7}));
    EXPECT_TRUE(read(port, 1).empty());
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(port.read(nullptr, 0), 0u);
}

TEST_F(Win32SerialPortTest, HungUpLineReadsAsNothingWithoutWaiting) {
    Win32SerialPort port(path, 115200);
    port.setTimeout(5000);
    ::close(unit);
    unit = -1;
    const auto start = Clock::now();
    EXPECT_TRUE(read(port, 1).empty());
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(Win32SerialPortTest, CountsOpensAndRefusesAnotherRate) {
    Win32SerialPort port(path, 115200);
    port.open(115200);
    EXPECT_EQ(port.openCount(), 2u);
    EXPECT_EQ(thrownMessage<VerloException>([&] { port.open(9600); }),
              "Tried to re-open a port at a different baud rate.");
    EXPECT_EQ(port.openCount(), 2u);
    EXPECT_EQ(port.baudRate(), 115200u);
    const Bytes ping = {0xA5};
    port.write(ping.data(), ping.size());
    EXPECT_EQ(unitReceives(1), ping);

    port.close();
    EXPECT_TRUE(port.isOpen());
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.baudRate(), 0u);
    port.close();
    EXPECT_EQ(port.openCount(), 0u);

    EXPECT_EQ(thrownMessage<VerloException>([&] { port.setTimeout(10); }),
              "Error setting the serial port timeouts.");
    EXPECT_EQ(thrownMessage<VerloException>([&] { port.write(ping.data(), ping.size()); }),
              "Error sending serial data.");
    EXPECT_NO_THROW(port.write(ping.data(), 0));
    std::uint8_t byte = 0;
    EXPECT_EQ(port.read(&byte, 1), 0u);

    port.open(9600);
    EXPECT_EQ(port.openCount(), 1u);
    const termios line = lineSettings();
    EXPECT_EQ(::cfgetospeed(&line), B9600);
}

TEST_F(Win32SerialPortTest, UnsupportedRateFailsToSetTheLine) {
    EXPECT_EQ(thrownMessage<VerloException>([&] { Win32SerialPort(path, 12345); }),
              "Error setting the serial port state.");
    Win32SerialPort port(path, 115200);
    EXPECT_TRUE(port.isOpen());
}

TEST(Win32SerialPortOpenTest, FailureNamesThePortAsGiven) {
    EXPECT_EQ(Win32SerialPort::devicePathForPort(1), "/dev/ttyS0");
    EXPECT_EQ(Win32SerialPort::devicePathForPort(12), "/dev/ttyS11");

    struct stat info {};
    ASSERT_NE(::stat("/dev/ttyS249", &info), 0) << "COM250 unexpectedly exists";
    EXPECT_EQ(thrownMessage<VerloException>([] { Win32SerialPort(250, 115200); }),
              "Error opening COM250 (No such file or directory)");
    EXPECT_EQ(thrownMessage<VerloException>([] { Win32SerialPort(0u, 115200); }),
              "Error opening COM0");
    EXPECT_EQ(thrownMessage<VerloException>(
                  [] { Win32SerialPort(std::string("/dev/trx4-no-such-port"), 115200); }),
              "Error opening /dev/trx4-no-such-port (No such file or directory)");
    EXPECT_EQ(
        thrownMessage<VerloException>([] { Win32SerialPort(std::string("/dev/null"), 115200); }),
        "Error opening /dev/null (Inappropriate ioctl for device)");
}
