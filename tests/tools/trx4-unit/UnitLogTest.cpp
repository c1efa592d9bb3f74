#include "UnitLog.h"

#include <gtest/gtest.h>

namespace {

TEST(UnitLog, StampsOneLineEntriesAndDropsTheOldestToStayWithinItsLength) {
    UnitLog log("T", "-", 40);
    EXPECT_EQ(log.text(), "T\n-\n");
    log.add(3725.7, "a\r\nb");
    log.add(360000.0, "c");
    log.add(360001.0, "d");
    EXPECT_EQ(log.text(), "T\n01:02:05 a  b\n100:00:00 c\n100:00:01 d\n");
    log.add(360001.0, "e");
    EXPECT_EQ(log.text(), "T\n100:00:00 c\n100:00:01 d\n100:00:01 e\n");
    // An entry longer than the whole log is cut, never split over lines.
    log.add(0.0, std::string(100, 'x'));
    EXPECT_EQ(log.text(), "T\n00:00:00 " + std::string(28, 'x') + "\n");
}

} // namespace
