#include "base/ParameterValue.h"
#include "base/ParameterId.h"
#include "base/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Decodes from a heap block of exactly the given bytes, so that the sanitizer
// build catches any read past the end.
std::size_t decodeExact(ParameterValue& value, const Bytes& bytes) {
    const auto block = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    return value.decode(block.get(), bytes.size());
}

TEST(ParameterIdTest, TextOrderAndWireForm) {
    EXPECT_EQ(ParameterId(0xAB, 0xFF).toText(), "44031 (ab, 255)");
    // Both bytes compare as signed numbers: 0x80..0xFF sort before 0x00.
    EXPECT_LT(ParameterId(3, 1), ParameterId(4, 0));
    EXPECT_LT(ParameterId(0x80, 0), ParameterId(0, 0));
    EXPECT_LT(ParameterId(3, 0xFF), ParameterId(3, 0));

    std::uint8_t buffer[2] = {0xEE, 0xEE};
    EXPECT_EQ(thrownMessage<VerloException>([&] { ParameterId(1, 2).encode(buffer, 1); }),
              "not enough room for id in buffer");
    EXPECT_EQ(buffer[0], 0xEE);
    ParameterId decoded;
    ParameterId(0x0A, 0x81).encode(buffer, 2);
    EXPECT_EQ(decoded.decode(buffer, 2), 2U);
    EXPECT_EQ(decoded.number(), 0x0A81);
    EXPECT_THROW(decoded.decode(buffer, 1), VerloException);
}

TEST(ParameterValueTest, IntegersAreTwoBytesChecksumsWrapAndTheWireFormIsExactAndChecked) {
    EXPECT_EQ(ParameterValue().bytes(), std::string("\0\0", 2));
    EXPECT_EQ(ParameterValue(-1).bytes(), "\xFF\xFF");
    EXPECT_EQ(ParameterValue(std::string()).toInt(), 0);
    EXPECT_EQ(ParameterValue(std::string("\xC8")).toInt(), 0xC8);
    EXPECT_EQ(ParameterValue(std::string("\xFF\x01\x02")).toInt(), 0x0102);

    std::ostringstream file;
    std::int32_t checksum = std::numeric_limits<std::int32_t>::max();
    ParameterValue(std::string("\x01\x01\x01")).save(file, checksum);
    EXPECT_EQ(checksum, std::numeric_limits<std::int32_t>::min() + 5);

    std::vector<std::pair<ParameterValue, Bytes>> rows = {
        {ParameterValue(1), {0x00, 0x00, 0x01}},
        {ParameterValue(std::string()), {0x01, 0x00}},
        {ParameterValue(std::string("A")), {0x01, 0x01, 0x41}},
        {ParameterValue(std::string("AB")), {0x00, 0x41, 0x42}},
        {ParameterValue(std::string(127, 'x')), Bytes(129, 'x')},
    };
    rows.back().second[0] = 0x01;
    rows.back().second[1] = 127;
    for (const auto& [value, wire] : rows) {
        const std::string name = "value of " + std::to_string(value.length()) + " bytes";
        Bytes buffer(wire.size(), 0xEE);
        EXPECT_EQ(
            thrownMessage<VerloException>([&] { value.encode(buffer.data(), buffer.size() - 1); }),
            "not enough room for value in buffer")
            << name;
        EXPECT_EQ(buffer, Bytes(wire.size(), 0xEE)) << name << ": wrote before refusing";
        EXPECT_EQ(value.encode(buffer.data(), buffer.size()), wire.size()) << name;
        EXPECT_EQ(buffer, wire) << name;
        ParameterValue decoded(std::string("previous content"));
        EXPECT_EQ(decodeExact(decoded, wire), wire.size()) << name;
        EXPECT_EQ(decoded, value) << name;
    }
    Bytes roomy(200, 0xEE);
    EXPECT_THROW(ParameterValue(std::string(128, 'x')).encode(roomy.data(), roomy.size()),
                 VerloException);
    EXPECT_EQ(roomy, Bytes(200, 0xEE));

    const std::pair<Bytes, const char*> damaged[] = {
        {{}, "value not found in buffer"},
        {{0x00, 0x01}, "value not found in buffer"},
        {{0x01}, "value not found in buffer"},
        {{0x01, 0x05, 'a', 'b', 'c', 'd'}, "value not found in buffer"},
        {{0x01, 0x80, 'a'}, "unrecognized value type"},
        {{0x02, 0x00, 0x00}, "unrecognized value type"},
    };
    for (std::size_t i = 0; i < std::size(damaged); ++i) {
        ParameterValue value;
        EXPECT_EQ(thrownMessage<VerloException>([&] { decodeExact(value, damaged[i].first); }),
                  damaged[i].second)
            << "damaged buffer " << i;
    }
}

} // namespace
