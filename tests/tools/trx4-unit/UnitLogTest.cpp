#include "UnitLog.h"

#include <gtest/gtest.h>

namespace {

TEST(UnitLog, StampsEntriesWithTheUptimeOnLinesEndedByLineFeeds) {
    UnitLog log("TRX4 event log", "No events");
    EXPECT_EQ(log.text(), "TRX4 event log\nNo events\n");
    log.add(5.7, "Power on");
    log.add(3725.0, "Host\r\nconnected");
    EXPECT_EQ(log.text(), "TRX4 event log\n00:00:05 Power on\n01:02:05 Host  connected\n");
    EXPECT_EQ(UnitLog::stamp(360000.0), "100:00:00");
}

TEST(UnitLog, DropsTheOldestEntriesToStayWithinItsLength) {
    UnitLog log("T", "-", 64);
    for (int entry = 0; entry < 20; ++entry) {
        log.add(entry, "entry " + std::to_string(entry));
        EXPECT_LE(log.text().size(), 64u);
    }
    EXPECT_EQ(log.text().rfind("00:00:19 entry 19\n"), log.text().size() - 18);
    EXPECT_EQ(log.text().find("entry 0\n"), std::string::npos);
    // An entry longer than the whole log is cut, never split over lines.
    log.add(21, std::string(500, 'x'));
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(log.text().size(), 64u);
    EXPECT_EQ(log.text().back(), '\n');
}

} // namespace
