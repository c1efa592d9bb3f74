#include "firmware/MD5Validator.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using testing::StrEq;
using testing::ThrowsMessage;

namespace {

struct Vector {
    std::string message;
    std::string digestHex;
};

// The test suite of RFC 1321, appendix A.5.
const Vector rfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The message followed by its published digest: a block that must pass.
std::vector<std::uint8_t> signedBlock(const Vector& vector) {
    std::vector<std::uint8_t> block(vector.message.begin(), vector.message.end());
    const auto digest = fromHex(vector.digestHex);
    block.insert(block.end(), digest.begin(), digest.end());
    return block;
}

} // namespace

TEST(MD5ValidatorTest, DigestMatchesRfc1321Suite) {
    for (const Vector& vector : rfc1321Suite) {
        const auto digest = MD5Validator::digest(
            reinterpret_cast<const std::uint8_t*>(vector.message.data()), vector.message.size());
        EXPECT_EQ(std::vector<std::uint8_t>(digest.begin(), digest.end()),
                  fromHex(vector.digestHex))
            << "message \"" << vector.message << "\"";
    }
}

TEST(MD5ValidatorTest, AcceptsBlocksEndingInTheirDigest) {
    const MD5Validator validator;
    EXPECT_EQ(validator.checksumSize(), 16u);
    for (const Vector& vector : rfc1321Suite) {
        const auto block = signedBlock(vector);
        EXPECT_NO_THROW(validator.validate(block.data(), block.size()))
            << "message \"" << vector.message << "\"";
    }
}

TEST(MD5ValidatorTest, RejectsEverySingleChangedByte) {
    const MD5Validator validator;
    const auto original = signedBlock(rfc1321Suite[3]);
    for (std::size_t at = 0; at < original.size(); ++at) {
        for (const std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            auto block = original;
            block[at] ^= flip;
            EXPECT_THAT([&] { validator.validate(block.data(), block.size()); },
                        ThrowsMessage<DataValidationException>(StrEq("MD5 checksum error")))
                << "byte " << at << " xor " << int{flip};
        }
    }
}

TEST(MD5ValidatorTest, RejectsBlocksTooShortToHoldADigest) {
    const MD5Validator validator;
    // Fifteen bytes of the empty message's digest: no room for the whole digest.
    const auto digest = fromHex(rfc1321Suite[0].digestHex);
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{15}}) {
        EXPECT_THAT([&] { validator.validate(digest.data() + 16 - length, length); },
                    ThrowsMessage<DataValidationException>(StrEq("MD5 checksum error")))
            << "length " << length;
    }
}
