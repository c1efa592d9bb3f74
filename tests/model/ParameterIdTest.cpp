#include "model/ParameterId.h"
#include "model/ParameterValueMap.h"
#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

TEST(ParameterIdTest, TextShowsNumberHexGroupAndIndex) {
    EXPECT_EQ(ParameterId(3, 10).toText(), "778 (3, 10)");
    EXPECT_EQ(ParameterId(0xAB, 0xFF).toText(), "44031 (ab, 255)");
    EXPECT_EQ(ParameterId().toText(), "0 (0, 0)");
}

TEST(ParameterIdTest, OrderingComparesSignedBytes) {
    EXPECT_LT(ParameterId(3, 1), ParameterId(3, 2));
    EXPECT_LT(ParameterId(3, 1), ParameterId(4, 0));
    EXPECT_LT(ParameterId(0x80, 0), ParameterId(0, 0));
    EXPECT_LT(ParameterId(3, 0xFF), ParameterId(3, 0));
    EXPECT_FALSE(ParameterId(3, 2) < ParameterId(3, 2));

    const ParameterValueMap map{{ParameterId(0x0301), ParameterValue(1)},
                                {ParameterId(0xFFFF), ParameterValue(2)},
                                {ParameterId(0x0100), ParameterValue(3)},
                                {ParameterId(0x0380), ParameterValue(4)}};
    std::vector<std::uint16_t> order;
    for (const auto& entry : map) {
        order.push_back(entry.first.number());
    }
    EXPECT_EQ(order, (std::vector<std::uint16_t>{0xFFFF, 0x0100, 0x0380, 0x0301}));
}

TEST(ParameterIdTest, WireFormIsGroupThenIndex) {
    std::uint8_t buffer[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(ParameterId(0x0A, 0x81).encode(buffer, 2), 2U);
    EXPECT_EQ(buffer[0], 0x0A);
    EXPECT_EQ(buffer[1], 0x81);
    EXPECT_EQ(buffer[2], 0xEE);

    ParameterId decoded;
    EXPECT_EQ(decoded.decode(buffer, 3), 2U);
    EXPECT_EQ(decoded, ParameterId(0x0A, 0x81));
}

TEST(ParameterIdTest, WireFormRejectsShortBuffers) {
    std::uint8_t buffer[1] = {0xEE};
    EXPECT_EQ(thrownMessage<VerloException>([&] { ParameterId(1, 2).encode(buffer, 1); }),
              "not enough room for id in buffer");
    EXPECT_EQ(buffer[0], 0xEE);
    ParameterId id;
    EXPECT_EQ(thrownMessage<VerloException>([&] { id.decode(buffer, 1); }),
              "id not found in buffer");
    EXPECT_EQ(thrownMessage<VerloException>([&] { id.decode(nullptr, 0); }),
              "id not found in buffer");
}

TEST(ParameterIdFileTest, RestoreReadsRecordsUntilCleanEnd) {
    std::istringstream in(std::string("\x03\x01\xFF\xFE", 4), std::ios::binary);
    std::int32_t checksum = 0;
    ParameterId id;
    ASSERT_TRUE(id.restore(in, checksum));
    EXPECT_EQ(id, ParameterId(3, 1));
    ASSERT_TRUE(id.restore(in, checksum));
    EXPECT_EQ(id, ParameterId(0xFF, 0xFE));
    EXPECT_EQ(checksum, 4 - 1 - 2);
    EXPECT_FALSE(id.restore(in, checksum));
    EXPECT_FALSE(id.restore(in, checksum));
    EXPECT_EQ(checksum, 1);
}

} // namespace
