#include "protocol/Crc16.h"

#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

TEST(Crc16, MatchesTheCheckValueAndABitwiseRendering) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16::compute(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
              0xFEE8);
    for (unsigned i = 0; i < Crc16::table().size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(i);
        ASSERT_EQ(Crc16::table()[i], unitwire::crc16(&byte, 1)) << "entry " << i;
    }
    Crc16 pieces;
    pieces.add(reinterpret_cast<const std::uint8_t*>(digits.data()), 4);
    pieces.add(reinterpret_cast<const std::uint8_t*>(digits.data()) + 4, 5);
    EXPECT_EQ(pieces.value(), 0xFEE8);
}
