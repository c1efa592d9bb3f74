#include "model/ParameterValue.h"
#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <sstream>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes wireForm(const ParameterValue& value) {
    Bytes buffer(value.encodedSize());
    buffer.resize(value.encode(buffer.data(), buffer.size()));
    return buffer;
}

// Decodes from a heap block of exactly the given bytes, so that the sanitizer
// build catches any read past the end.
std::size_t decodeExact(ParameterValue& value, const Bytes& bytes) {
    const auto block = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    return value.decode(block.get(), bytes.size());
}

TEST(ParameterValueTest, IntegersAreTwoBytesBigEndian) {
    EXPECT_EQ(ParameterValue().bytes(), std::string("\0\0", 2));
    EXPECT_EQ(ParameterValue(0x1234).bytes(), "\x12\x34");
    EXPECT_EQ(ParameterValue(-1).bytes(), "\xFF\xFF");
    EXPECT_EQ(MinimumShortValue.bytes(), std::string("\x80\x00", 2));
    EXPECT_EQ(MaximumShortValue.bytes(), "\x7F\xFF");
    EXPECT_EQ(MinimumShortValue.toSignedInt(), -32768);
    EXPECT_EQ(MaximumShortValue.toSignedInt(), 32767);
    EXPECT_EQ(ParameterValue(-5).toSignedInt(), -5);
}

TEST(ParameterValueTest, ToIntFoldsTheLastTwoBytes) {
    EXPECT_EQ(ParameterValue(std::string()).toInt(), 0);
    EXPECT_EQ(ParameterValue(std::string("\xC8", 1)).toInt(), 0xC8);
    EXPECT_EQ(ParameterValue(std::string("\x80\x00", 2)).toInt(), 0x8000);
    EXPECT_EQ(ParameterValue(std::string("\x01\x02\x03", 3)).toInt(), 0x0203);
    EXPECT_EQ(ParameterValue(std::string("\xFF\x01\x02", 3)).toInt(), 0x0102);
}

TEST(ParameterValueTest, EqualityNeedsSameLengthAndBytes) {
    EXPECT_EQ(ParameterValue(std::string("AB")), ParameterValue(0x4142));
    EXPECT_NE(ParameterValue(std::string("\0", 1)), ParameterValue(0));
    EXPECT_NE(ParameterValue(std::string("abc")), ParameterValue(std::string("abd")));
}

TEST(ParameterValueWireTest, EncodingsAreByteExact) {
    EXPECT_EQ(wireForm(ParameterValue(1)), (Bytes{0x00, 0x00, 0x01}));
    EXPECT_EQ(wireForm(ParameterValue(std::string())), (Bytes{0x01, 0x00}));
    EXPECT_EQ(wireForm(ParameterValue(std::string("A"))), (Bytes{0x01, 0x01, 0x41}));
    EXPECT_EQ(wireForm(ParameterValue(std::string("AB"))), (Bytes{0x00, 0x41, 0x42}));
    EXPECT_EQ(wireForm(ParameterValue(std::string("1.2"))), (Bytes{0x01, 0x03, '1', '.', '2'}));
}

TEST(ParameterValueWireTest, EncodeNeedsExactlyEncodedSize) {
    for (const ParameterValue& value :
         {ParameterValue(7), ParameterValue(std::string("text")), ParameterValue(std::string())}) {
        Bytes buffer(value.encodedSize(), 0xEE);
        EXPECT_EQ(
            thrownMessage<VerloException>([&] { value.encode(buffer.data(), buffer.size() - 1); }),
            "not enough room for value in buffer");
        EXPECT_EQ(buffer, Bytes(value.encodedSize(), 0xEE)) << "wrote before refusing";
        EXPECT_EQ(value.encode(buffer.data(), buffer.size()), value.encodedSize());
    }
}

TEST(ParameterValueWireTest, LongestWireValueIs127Bytes) {
    const ParameterValue longest(std::string(127, 'x'));
    const Bytes wire = wireForm(longest);
    ASSERT_EQ(wire.size(), 129U);
    EXPECT_EQ(wire[1], 127);
    ParameterValue decoded;
    EXPECT_EQ(decodeExact(decoded, wire), 129U);
    EXPECT_EQ(decoded, longest);

    const ParameterValue tooLong(std::string(128, 'x'));
    Bytes buffer(200, 0xEE);
    EXPECT_THROW(tooLong.encode(buffer.data(), buffer.size()), VerloException);
    EXPECT_EQ(buffer, Bytes(200, 0xEE));
}

TEST(ParameterValueWireTest, DecodeRoundTripsAndReplacesContent) {
    ParameterValue decoded(std::string("previous content"));
    EXPECT_EQ(decodeExact(decoded, {0x00, 0x41, 0x42}), 3U);
    EXPECT_EQ(decoded.bytes(), "AB");
    EXPECT_EQ(decodeExact(decoded, {0x01, 0x00}), 2U);
    EXPECT_EQ(decoded.length(), 0U);
    EXPECT_EQ(decodeExact(decoded, {0x01, 0x03, 'x', 'y', 'z', 0x00, 0x00, 0x05}), 5U);
    EXPECT_EQ(decoded.bytes(), "xyz");
    EXPECT_EQ(decodeExact(decoded, {0x00, 0xFF, 0xFE}), 3U);
    EXPECT_EQ(decoded.toSignedInt(), -2);
}

TEST(ParameterValueWireTest, DecodeRejectsTruncatedAndInvalidBuffers) {
    struct Case {
        Bytes bytes;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{}, "value not found in buffer"},
        {{0x00}, "value not found in buffer"},
        {{0x00, 0x01}, "value not found in buffer"},
        {{0x01}, "value not found in buffer"},
        {{0x01, 0x01}, "value not found in buffer"},
        {{0x01, 0x05, 'a', 'b', 'c', 'd'}, "value not found in buffer"},
        {{0x01, 0x80, 'a'}, "unrecognized value type"},
        {{0x01, 0xFF}, "unrecognized value type"},
        {{0x02, 0x00, 0x00}, "unrecognized value type"},
        {{0xFF}, "unrecognized value type"},
    };
    for (const Case& c : cases) {
        ParameterValue value;
        EXPECT_EQ(thrownMessage<VerloException>([&] { decodeExact(value, c.bytes); }), c.message)
            << "case of " << c.bytes.size() << " bytes";
    }
}

TEST(ParameterValueFileTest, ChecksumWrapsAroundBothWays) {
    std::ostringstream out(std::ios::binary);
    std::int32_t checksum = std::numeric_limits<std::int32_t>::max();
    ParameterValue(std::string("\x01\x01\x01")).save(out, checksum);
    EXPECT_EQ(checksum, std::numeric_limits<std::int32_t>::min() + 5);

    // Length 1 adds 1, the byte 0x80 adds -128.
    checksum = std::numeric_limits<std::int32_t>::min() + 10;
    ParameterValue(std::string("\x80")).save(out, checksum);
    EXPECT_EQ(checksum, std::numeric_limits<std::int32_t>::max() - 116);
}

TEST(ParameterValueFileTest, RestoreReadsWhatSaveWrote) {
    std::stringstream file(std::ios::in | std::ios::out | std::ios::binary);
    std::int32_t saved = 0;
    const std::vector<ParameterValue> values = {ParameterValue(-300), ParameterValue(std::string()),
                                                ParameterValue(std::string("\x80text\xFF"))};
    for (const auto& value : values) {
        value.save(file, saved);
    }
    std::int32_t restored = 0;
    for (const auto& expected : values) {
        ParameterValue value(std::string("stale"));
        ASSERT_TRUE(value.restore(file, restored));
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(restored, saved);
}

TEST(ParameterValueFileTest, RestoreRejectsShortLengthOrMissingBytes) {
    for (const std::string& content :
         {std::string(), std::string("\x02\x00\x00", 3), std::string("\x03\x00\x00\x00\x41", 5),
          std::string("\xFF\xFF\xFF\xFF\x41", 5)}) {
        std::istringstream in(content, std::ios::binary);
        std::int32_t checksum = 0;
        ParameterValue value;
        EXPECT_EQ(thrownMessage<VerloException>([&] { value.restore(in, checksum); }),
                  "Error restoring a parameter value.")
            << content.size() << " bytes";
    }
}

} // namespace
