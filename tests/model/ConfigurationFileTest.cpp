#include "model/ParameterValueMap.h"
#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes saved(const ParameterValueMap& values) {
    std::ostringstream stream;
    values.save(stream);
    const std::string written = stream.str();
    return Bytes(written.begin(), written.end());
}

ParameterValueMap loaded(const Bytes& bytes) {
    std::istringstream stream(text(bytes));
    return ParameterValueMap(stream);
}

std::string loadMessage(const Bytes& bytes) {
    return thrownMessage<VerloException>([&] { loaded(bytes); });
}

// Accepts a fixed number of bytes, then refuses every further one; optionally
// fails when flushed, as a full disk may only show then.
class LimitedBuffer : public std::streambuf {
public:
    explicit LimitedBuffer(std::size_t capacity, bool failFlush = false)
        : capacity_(capacity), failFlush_(failFlush) {}
    std::string written;

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        if (written.size() == capacity_) {
            return traits_type::eof();
        }
        written.push_back(traits_type::to_char_type(c));
        return c;
    }
    int sync() override { return failFlush_ ? -1 : 0; }

private:
    std::size_t capacity_;
    bool failFlush_;
};

TEST(ConfigurationFileTest, WorkedExampleIsWrittenByteForByteAndReadsBack) {
    const ParameterValueMap values{{ParameterId(3, 1), ParameterValue(2)}};
    const Bytes expected{0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x00,
                         0x00, 0x00, 0x00, 0x02, 0x09, 0x00, 0x00, 0x00};
    EXPECT_EQ(saved(values), expected);
    EXPECT_EQ(loaded(expected), values);
}

TEST(ConfigurationFileTest, EmptyMapIsEightZeroBytes) {
    EXPECT_EQ(saved(ParameterValueMap()), Bytes(8, 0));
    EXPECT_TRUE(loaded(Bytes(8, 0)).empty());
}

TEST(ConfigurationFileTest, ChecksumCountsBytesAsSignedAndIsStoredInTwosComplement) {
    // 1 + (-128 + 5) + 3 + 3 * -128 = -503.
    const ParameterValueMap values{
        {ParameterId(0x80, 5), ParameterValue(std::string("\x80\x80\x80", 3))}};
    const Bytes bytes = saved(values);
    ASSERT_EQ(bytes.size(), 4u + 2 + 4 + 3 + 4);
    EXPECT_EQ(Bytes(bytes.end() - 4, bytes.end()), (Bytes{0x09, 0xFE, 0xFF, 0xFF}));
    EXPECT_EQ(loaded(bytes), values);
}

TEST(ConfigurationFileTest, DamagedOrShortFilesAreRefusedWithTheirReason) {
    const ParameterValueMap values{{ParameterId(3, 1), ParameterValue(2)},
                                   {ParameterId(3, 2), ParameterValue(7)}};
    const Bytes good = saved(values);

    Bytes changed = good;
    changed[11] ^= 0x01;
    EXPECT_EQ(loadMessage(changed), "The checksum does not match.");

    EXPECT_EQ(loadMessage({}), "Error reading the parameter count.");
    EXPECT_EQ(loadMessage({0x01, 0x00, 0x00}), "Error reading the parameter count.");

    Bytes noChecksum(good.begin(), good.end() - 4);
    EXPECT_EQ(loadMessage(noChecksum), "Error reading the checksum.");

    Bytes cutValue(good.begin(), good.begin() + 4 + 6 + 1);
    EXPECT_EQ(loadMessage(cutValue), "Error restoring a parameter value.");

    Bytes cutIdentifier(good.begin(), good.begin() + 4 + 1);
    EXPECT_EQ(loadMessage(cutIdentifier), "Error restoring a parameter id");
}

TEST(ConfigurationFileTest, CountBeyondTheRecordsFails) {
    Bytes threeClaimed =
        saved({{ParameterId(3, 1), ParameterValue(2)}, {ParameterId(3, 2), ParameterValue(7)}});
    threeClaimed[0] = 3;
    EXPECT_EQ(loadMessage(threeClaimed), "Error restoring a parameter value.");

    // Four billion records claimed: reading stops where the bytes end.
    Bytes huge = threeClaimed;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
    EXPECT_EQ(loadMessage(huge), "Error restoring a parameter value.");
}

TEST(ConfigurationFileTest, LaterRecordReplacesEarlierAndTrailingBytesAreIgnored) {
    // Count 2, (3,1) = 2, (3,1) = 5; checksum 2 + (4 + 2 + 2) + (4 + 2 + 5) = 21.
    const Bytes bytes{0x02, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0x03,
                      0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x05, 0x15, 0x00, 0x00, 0x00, 0xAA, 0xBB};
    const ParameterValueMap expected{{ParameterId(3, 1), ParameterValue(5)}};
    EXPECT_EQ(loaded(bytes), expected);
}

TEST(ConfigurationFileTest, EveryFailedWriteIsReported) {
    const ParameterValueMap values{{ParameterId(3, 1), ParameterValue(2)}};
    const std::size_t fileSize = 16;
    // The identifier takes bytes 4 and 5; count, value and checksum the rest.
    for (std::size_t capacity = 0; capacity < fileSize; ++capacity) {
        LimitedBuffer buffer(capacity);
        std::ostream stream(&buffer);
        const bool inIdentifier = capacity == 4 || capacity == 5;
        EXPECT_EQ(thrownMessage<VerloException>([&] { values.save(stream); }),
                  inIdentifier ? "Error saving a parameter id" : "Error saving a parameter value.")
            << "capacity " << capacity;
    }
    LimitedBuffer roomy(fileSize);
    std::ostream stream(&roomy);
    values.save(stream);
    EXPECT_EQ(roomy.written.size(), fileSize);
}

TEST(ConfigurationFileTest, FailureShownOnlyWhenFlushedIsReported) {
    LimitedBuffer buffer(100, true);
    std::ostream stream(&buffer);
    EXPECT_EQ(thrownMessage<VerloException>([&] { ParameterValueMap().save(stream); }),
              "Error saving a parameter value.");
}

} // namespace
