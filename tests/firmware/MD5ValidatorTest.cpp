#include "firmware/MD5Validator.h"
#include "base/VerloException.h"

#include <gmock/gmock.h>

#include <cstdint>
#include <string>
#include <vector>

using testing::StrEq;
using testing::ThrowsMessage;

namespace {

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(MD5ValidatorTest, AcceptsOnlyBlocksEndingInTheirRfc1321Digest) {
    // The test suite of RFC 1321, appendix A.5: message, then digest.
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    };
    const MD5Validator validator;
    const auto rejects = [&](const std::vector<std::uint8_t>& block) {
        return testing::Matches(ThrowsMessage<DataValidationException>(
            StrEq("MD5 checksum error")))([&] { validator.validate(block.data(), block.size()); });
    };
    for (const auto& [message, digest] : suite) {
        std::vector<std::uint8_t> block(message.begin(), message.end());
        const auto expected = fromHex(digest);
        block.insert(block.end(), expected.begin(), expected.end());
        EXPECT_NO_THROW(validator.validate(block.data(), block.size())) << '"' << message << '"';
        // Every single changed bit, in the message or in the digest, is found.
        for (std::size_t bit = 0; bit < 8 * block.size(); ++bit) {
            auto changed = block;
            changed[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
            EXPECT_TRUE(rejects(changed)) << '"' << message << "\" bit " << bit;
        }
    }
    // Too short to hold a digest: the last 15 bytes of the empty message's.
    const auto digest = fromHex(suite[0].second);
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{15}}) {
        EXPECT_TRUE(rejects({digest.end() - static_cast<std::ptrdiff_t>(length), digest.end()}))
            << "length " << length;
    }
}

} // namespace
