#include "session/UnitsFile.h"
#include "base/VerloException.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <sstream>

namespace {

std::vector<UnitEntry> parse(const std::string& text) {
    std::istringstream in(text);
    return readUnits(in, "units");
}

TEST(UnitsFile, ReadsTcpAndSerialUnitsSkippingCommentsAndBlankLines) {
    const auto units = parse("\xEF\xBB\xBF# booths\n\n"
                             "booth-1 tcp:127.0.0.5        # default port\n"
                             "  Booth_2\ttcp:127.0.0.1:5000\r\n"
                             "b3 serial:COM2 serve:[::1]:14443\n"
                             "b4 tcp:[::1]:4445\n"
                             "b5 tcp:::1\n");
    ASSERT_EQ(units.size(), 5u);
    EXPECT_FALSE(units[0].serve.has_value());
    ASSERT_TRUE(units[2].serve.has_value());
    EXPECT_EQ(units[2].serve->host + " " + std::to_string(units[2].serve->port), "::1 14443");
    EXPECT_EQ(units[3].target.host + " " + std::to_string(units[3].target.port), "::1 4445");
    EXPECT_EQ(units[4].target.host + " " + std::to_string(units[4].target.port), "::1 4444");
    EXPECT_EQ(units[0].name + " " + units[0].target.host, "booth-1 127.0.0.5");
    EXPECT_EQ(units[0].target.port, 4444);
    EXPECT_EQ(units[1].name, "Booth_2");
    EXPECT_EQ(units[1].target.port, 5000);
    EXPECT_EQ(units[2].target.serialPort, 2u);
}

TEST(UnitsFile, BadLinesNameTheFileAndLine) {
    const std::pair<std::string, std::string> rows[] = {
        {"a tcp:h\nb\n", "units:2: expected a name, one target"},
        {"a tcp:h extra\n", "units:1: 'extra' is not serve:HOST:PORT"},
        {"a tcp:h serve:127.0.0.1:1 x\n", "units:1: expected a name, one target"},
        {"a tcp:h serve:127.0.0.1\n", "units:1: expected HOST:PORT"},
        {"a.b tcp:h\n", "units:1: the name 'a.b' may hold only"},
        {"a tcp:h\n\xEF\xBB\xBF"
         "b tcp:h\n",
         "units:2: the name '\xEF\xBB\xBF"
         "b' may hold"},
        {"a tcp:h\n# x\na tcp:k\n", "units:3: the name 'a' is used twice"},
        {"a udp:h\n", "units:1: 'udp:h' is neither"},
        {"a tcp:h:0\n", "units:1: the port in 'h:0'"},
        {"a tcp:\n", "units:1: '' names no host"},
        {"a tcp:[::1]4444\n", "units:1: '[::1]4444' is not [IPv6] or [IPv6]:PORT"},
        {"a tcp:[::1]:0\n", "units:1: the port in '[::1]:0'"},
        {"a serial:COM0\n", "units:1: 'COM0' is no serial port"},
        {"a serial:tty\n", "units:1: a serial port is COMn"},
        {"# only a comment\n", "units: names no unit"},
    };
    for (const auto& [text, expected] : rows) {
        const std::string message = thrownMessage<VerloException>([&] { parse(text); });
        EXPECT_EQ(message.rfind(expected, 0), 0u) << text << " gave: " << message;
    }
}

TEST(UnitsFile, AMissingFileOrAPipeIsRefusedAtOnce) {
    EXPECT_EQ(thrownMessage<VerloException>([] { readUnitsFile("/nonexistent/units"); }),
              "Error opening /nonexistent/units: No such file or directory");
    const TemporaryDirectory folder;
    const std::string pipe = (folder.path() / "units").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_THAT(thrownMessage<VerloException>([&] { readUnitsFile(pipe); }),
                testing::HasSubstr("it is not a regular file"));
}

} // namespace
