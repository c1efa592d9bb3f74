#include "TraceWriter.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::chrono::system_clock::time_point fixedTime() {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000250));
}

TEST(TraceWriter, WritesOneJsonObjectPerMessageAndEvent) {
    std::ostringstream out;
    TraceWriter writer(out, fixedTime);
    TraceMessage set;
    set.command = "Set";
    set.code = 2;
    set.ids = {ParameterId(std::uint16_t{0x0303}), ParameterId(std::uint16_t{0x0D07})};
    set.length = 11;
    writer.received(set);
    TraceMessage download;
    download.command = "Download Data";
    download.code = 10;
    download.length = 4097;
    download.blocks = 3;
    download.corrupted = true;
    writer.sent(download);
    writer.event("crc-error", std::string("bad \xff\x01 bytes"));

    std::istringstream lines(out.str());
    std::string line;
    std::vector<nlohmann::json> parsed;
    while (std::getline(lines, line)) {
        parsed.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_EQ(parsed[0]["time"], "2023-11-14T22:13:20.250Z");
    EXPECT_EQ(parsed[0]["direction"], "received");
    EXPECT_EQ(parsed[0]["ids"], nlohmann::json::array({"0x0303", "0x0D07"}));
    EXPECT_EQ(parsed[0]["length"], 11);
    EXPECT_FALSE(parsed[0].contains("blocks"));
    EXPECT_FALSE(parsed[0].contains("corrupted"));
    EXPECT_EQ(parsed[1]["direction"], "sent");
    EXPECT_EQ(parsed[1]["blocks"], 3);
    EXPECT_EQ(parsed[1]["corrupted"], true);
    EXPECT_EQ(parsed[2]["event"], "crc-error");
    EXPECT_FALSE(parsed[2].contains("direction"));
}

} // namespace
