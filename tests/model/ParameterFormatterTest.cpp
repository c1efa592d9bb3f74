#include "model/ParameterFormatter.h"
#include "model/MeterScaler.h"
#include "model/ParameterConverter.h"
#include "model/ParameterEvaluator.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <tuple>

namespace {

TEST(ParameterFormatterTest, ValuesShowAsTheirTextsOrSignedNumbers) {
    EnumeratedFormatter enumerated("Frame Rate");
    enumerated.addText(ParameterValue(0), "text 0");
    enumerated.addText(ParameterValue(8), "text 8");
    enumerated.addText(ParameterValue(8), "eight");
    const DialNormFormatter dialNorm("Dialog Normalization");
    const StringFormatter string("Firmware Version");
    const std::tuple<const ParameterFormatter&, int, const char*> rows[] = {
        {enumerated, 0, "text 0"}, {enumerated, 8, "eight"}, {enumerated, 9, "9"},
        {enumerated, -1, "-1"},    {dialNorm, 0, "------"},  {dialNorm, -5, "------"},
        {dialNorm, 1, "-1dB"},     {dialNorm, 31, "-31dB"},  {string, 0x4142, "AB"},
    };
    for (const auto& [formatter, value, text] : rows) {
        std::ostringstream shown;
        EXPECT_TRUE(formatter.format(shown, ParameterValue(value))) << formatter.name();
        EXPECT_EQ(shown.str(), text) << formatter.name() << " of " << value;
    }
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(dialNorm.format(failed, ParameterValue(3)));
    EXPECT_FALSE(string.writeName(failed));
}

TEST(ParameterConverterTest, ParsesANumberAtTheStartOfTheTextAndRendersItPadded) {
    const IntParameterConverter converter;
    ParameterValue value(77);
    for (const char* refused : {"", "abc", "-", "32768", "-32769", "99999999999999999999"}) {
        EXPECT_FALSE(converter.parse(value, refused)) << '"' << refused << '"';
        EXPECT_EQ(value, ParameterValue(77)) << '"' << refused << '"';
    }
    ASSERT_TRUE(converter.parse(value, " 12abc"));
    EXPECT_EQ(value, ParameterValue(12));
    ASSERT_TRUE(converter.parse(value, "-32768"));
    EXPECT_EQ(value, MinimumShortValue);
    ASSERT_TRUE(converter.parse(value, "32767"));
    EXPECT_EQ(value, MaximumShortValue);

    std::string rendered;
    IntParameterConverter(1).render(rendered, ParameterValue(-5));
    EXPECT_EQ(rendered, "-5");
    IntParameterConverter(4).render(rendered, ParameterValue(-5));
    EXPECT_EQ(rendered, "-005");
}

TEST(ParameterEvaluatorTest, IntMatchesOneNumberAndDiscreteSurroundsAreModesFourToSeven) {
    EXPECT_TRUE(IntEvaluator().evaluate(ParameterValue(1)));
    EXPECT_FALSE(IntEvaluator().evaluate(ParameterValue(0x0101)));
    EXPECT_TRUE(IntEvaluator(0xFFFF).evaluate(ParameterValue(-1)));
    const DiscreteSurroundsEvaluator surrounds;
    for (int mode = -1; mode <= 9; ++mode) {
        EXPECT_EQ(surrounds.evaluate(ParameterValue(mode)), mode >= 4 && mode <= 7) << mode;
    }
}

TEST(KORAMeterScalerTest, TheReading20860IsZeroDecibelsAndOnlyTheLow15BitsCount) {
    const KORAMeterScaler scaler;
    const std::pair<double, double> rows[] = {
        {20860.0, 0.0},    {20860.9, 0.0},           {10430.0, -6.0206},
        {32767.0, 3.9221}, {32768.0 + 20860.0, 0.0}, {4 * 32768.0 + 10430.0, -6.0206},
    };
    for (const auto& [level, decibels] : rows) {
        EXPECT_NEAR(scaler.scale(level, -60.0), decibels, 1e-3) << "level " << level;
    }
    // Silence, noise and readings that are no level at all show the floor.
    for (double level :
         {0.0, -100.0, 1.0, 0.5, 32768.0, 1e300, std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(scaler.scale(level, -60.0), -60.0) << "level " << level;
    }
    EXPECT_NEAR(scaler.scale(1.0, -100.0), -86.39, 0.01);
}

} // namespace
