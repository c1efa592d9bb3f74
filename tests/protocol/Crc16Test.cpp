#include "protocol/Crc16.h"

#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

// The published check value, and a rendering of the algorithm bit by bit,
// which the frame tests compare the host's frames against.
TEST(Crc16, MatchesTheCheckValueOfCrc16Umts) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(Crc16::compute(bytes, digits.size()), 0xFEE8);
    EXPECT_EQ(unitwire::crc16(bytes, digits.size()), 0xFEE8);
}
