#include "TraceWriter.h"

#include <gtest/gtest.h>

namespace {

TEST(TraceWriter, WritesUtcTimesToTheMillisecondAndFourDigitIdentifiers) {
    const std::chrono::system_clock::time_point time(std::chrono::milliseconds(1700000000250));
    EXPECT_EQ(TraceWriter::timestamp(time), "2023-11-14T22:13:20.250Z");
    EXPECT_EQ(TraceWriter::hex(ParameterId(std::uint16_t{0x0D07})), "0x0D07");
}

} // namespace
