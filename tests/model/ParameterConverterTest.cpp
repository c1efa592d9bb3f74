#include "model/ParameterConverter.h"
#include "model/ParameterEvaluator.h"

#include <gtest/gtest.h>

TEST(IntParameterConverter, ParsesANumberAtTheStartOfTheText) {
    const IntParameterConverter converter;
    ParameterValue value;
    ASSERT_TRUE(converter.parse(value, " 12abc"));
    EXPECT_EQ(value, ParameterValue(12));
    ASSERT_TRUE(converter.parse(value, "-32768"));
    EXPECT_EQ(value.bytes(), std::string("\x80\x00", 2));
    ASSERT_TRUE(converter.parse(value, "+32767"));
    EXPECT_EQ(value, ParameterValue(32767));
}

TEST(IntParameterConverter, RejectsTextWithoutANumberOrOutOfRangeAndKeepsTheValue) {
    const IntParameterConverter converter;
    ParameterValue value(77);
    for (const char* text : {"", "   ", "abc", "-", "32768", "-32769", "99999999999999999999"}) {
        EXPECT_FALSE(converter.parse(value, text)) << '"' << text << '"';
        EXPECT_EQ(value, ParameterValue(77)) << '"' << text << '"';
    }
}

TEST(IntParameterConverter, RendersSignedNumbersPaddedWithZeros) {
    std::string text;
    IntParameterConverter(1).render(text, ParameterValue(std::string("\xFF\xFB")));
    EXPECT_EQ(text, "-5");
    IntParameterConverter(1).render(text, ParameterValue(150));
    EXPECT_EQ(text, "150");
    IntParameterConverter(4).render(text, ParameterValue(42));
    EXPECT_EQ(text, "0042");
    IntParameterConverter(4).render(text, ParameterValue(-5));
    EXPECT_EQ(text, "-005");

    ParameterValue back;
    ASSERT_TRUE(IntParameterConverter().parse(back, text));
    EXPECT_EQ(back, ParameterValue(-5));
}

TEST(ParameterEvaluator, IntEvaluatorMatchesOneNumber) {
    const IntEvaluator lit;
    EXPECT_TRUE(lit.evaluate(ParameterValue(1)));
    EXPECT_FALSE(lit.evaluate(ParameterValue(0)));
    EXPECT_FALSE(lit.evaluate(ParameterValue(0x0101)));
    const IntEvaluator minusOne(0xFFFF);
    EXPECT_TRUE(minusOne.evaluate(ParameterValue(-1)));
}

TEST(ParameterEvaluator, DiscreteSurroundsAreTheCodingModesFourToSeven) {
    const DiscreteSurroundsEvaluator surrounds;
    for (int mode = -1; mode <= 9; ++mode) {
        EXPECT_EQ(surrounds.evaluate(ParameterValue(mode)), mode >= 4 && mode <= 7) << mode;
    }
}
