#include "protocol/Crc16.h"

#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <string>

TEST(Crc16, MatchesThePublishedCheckValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16::compute(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
              0xFEE8);
}

TEST(Crc16, TableHoldsTheCrcOfEachSingleByte) {
    const auto& table = Crc16::table();
    EXPECT_EQ(table[0], 0x0000);
    EXPECT_EQ(table[1], 0x8005);
    for (unsigned i = 0; i < table.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(i);
        ASSERT_EQ(table[i], unitwire::crc16(&byte, 1)) << "entry " << i;
    }
}

TEST(Crc16, RunsOnAcrossPiecesAsOverTheWhole) {
    unitwire::Bytes bytes;
    for (unsigned i = 0; i < 300; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    }
    Crc16 crc;
    crc.add(bytes.data(), 4);
    crc.add(bytes.data() + 4, 0);
    crc.add(bytes.data() + 4, bytes.size() - 4);
    EXPECT_EQ(crc.value(), unitwire::crc16(bytes.data(), bytes.size()));
    crc.reset();
    EXPECT_EQ(crc.value(), 0);
    EXPECT_EQ(Crc16::compute(nullptr, 0), 0);
}
