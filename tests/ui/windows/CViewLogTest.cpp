#include "ui/windows/CViewLog.h"

#include <gtest/gtest.h>

namespace {

TEST(CViewLogTest, EveryBareLineFeedGetsACarriageReturn) {
    const std::pair<std::string, std::string> rows[] = {
        {"a\nb\n", "a\r\nb\r\n"}, {"a\n\rb", "a\n\rb"}, {"a\r\nb", "a\r\r\nb"}};
    for (const auto& [text, converted] : rows) {
        EXPECT_EQ(CViewLog::convertLineBreaks(text), converted) << text;
    }
}

} // namespace
