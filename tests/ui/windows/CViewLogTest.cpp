#include "ui/windows/CViewLog.h"

#include <gtest/gtest.h>

namespace {

TEST(CViewLogTest, EveryBareLineFeedGetsACarriageReturn) {
    const std::pair<std::string, std::string> rows[] = {
        {"first\nsecond\n", "first\r\nsecond\r\n"},
        {"first\n\rsecond", "first\n\rsecond"},
        {"first\r\nsecond", "first\r\r\nsecond"},
    };
    for (const auto& [text, converted] : rows) {
        EXPECT_EQ(CViewLog::convertLineBreaks(text), converted) << text;
    }
}

} // namespace
