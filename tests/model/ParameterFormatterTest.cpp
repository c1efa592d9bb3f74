#include "model/ParameterFormatter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string text(const ParameterFormatter& formatter, const ParameterValue& value) {
    std::ostringstream stream;
    EXPECT_TRUE(formatter.format(stream, value));
    return stream.str();
}

ParameterValue bytes(const char* raw, std::size_t length) {
    return ParameterValue(std::string(raw, length));
}

} // namespace

TEST(DialNormFormatter, ShowsZeroAndBelowAsDashesAndOthersAsNegativeDecibels) {
    DialNormFormatter formatter("Dialog Normalization");
    EXPECT_EQ(text(formatter, ParameterValue(0)), "------");
    EXPECT_EQ(text(formatter, ParameterValue(-5)), "------");
    EXPECT_EQ(text(formatter, bytes("\x80\x00", 2)), "------");
    EXPECT_EQ(text(formatter, ParameterValue(1)), "-1dB");
    EXPECT_EQ(text(formatter, ParameterValue(31)), "-31dB");
}

TEST(EnumeratedFormatter, ShowsListedTextsAndOtherValuesAsSignedNumbers) {
    EnumeratedFormatter formatter("Frame Rate");
    for (int value = 0; value <= 8; ++value) {
        formatter.addText(ParameterValue(value), "text " + std::to_string(value));
    }
    EXPECT_EQ(text(formatter, ParameterValue(0)), "text 0");
    EXPECT_EQ(text(formatter, ParameterValue(8)), "text 8");
    EXPECT_EQ(text(formatter, ParameterValue(9)), "9");
    EXPECT_EQ(text(formatter, bytes("\xFF\xFF", 2)), "-1");

    formatter.addText(ParameterValue(-1), "minus one");
    formatter.addText(ParameterValue(8), "");
    EXPECT_EQ(text(formatter, bytes("\xFF\xFF", 2)), "minus one");
    EXPECT_EQ(text(formatter, ParameterValue(8)), "") << "a later text replaces";
}

TEST(ParameterFormatter, WritesItsNameAndReportsAFailedStream) {
    EnumeratedFormatter enumerated("Current Decoding");
    DialNormFormatter dialNorm("Dialog Normalization");
    StringFormatter string("Firmware Version");
    std::ostringstream good;
    EXPECT_TRUE(enumerated.writeName(good));
    EXPECT_EQ(good.str(), "Current Decoding");

    for (const ParameterFormatter* formatter :
         std::initializer_list<const ParameterFormatter*>{&enumerated, &dialNorm, &string}) {
        std::ostringstream failed;
        failed.setstate(std::ios::badbit);
        EXPECT_FALSE(formatter->format(failed, ParameterValue(3))) << formatter->name();
        EXPECT_FALSE(formatter->writeName(failed)) << formatter->name();
    }
}
