#include "firmware/FirmwareImage.h"
#include "base/VerloException.h"
#include "firmware/MD5Validator.h"
#include "support/FirmwareImages.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

using testing::Return;
using testing::StrEq;
using testing::ThrowsMessage;

namespace {

class MockValidator : public Validator {
public:
    MOCK_METHOD(void, validate, (const std::uint8_t*, std::size_t), (const, override));
    MOCK_METHOD(void, validate, (std::uint64_t, const Reader&), (const, override));
    MOCK_METHOD(std::size_t, checksumSize, (), (const, override));
};

// Descriptors held by this process; a file image that is gone leaves none.
std::ptrdiff_t openFiles() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

// What opening the file raised; "" when it did not.
std::string failure(const std::string& path, const Validator& validator) {
    return failureOf<FileException>([&] { FirmwareImage image(path, validator); });
}

class FirmwareImageTest : public testing::Test {
protected:
    FirmwareImageTest() { EXPECT_CALL(checker, checksumSize()).WillRepeatedly(Return(16)); }

    TemporaryDirectory directory;
    const MD5Validator validator;
    testing::StrictMock<MockValidator> checker;
};

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

} // namespace

TEST_F(FirmwareImageTest, RefusesWhatIsNoImageWithoutDigestingIt) {
    const auto opened = openFiles();
    const auto huge = directory.write("huge.bin", {});
    // Sparse on the usual file systems, so this costs no disk space.
    for (const std::uintmax_t size : {std::uintmax_t{1} << 32, std::uintmax_t{64} << 20 | 1}) {
        std::filesystem::resize_file(huge, size);
        EXPECT_THAT(failure(huge, checker),
                    testing::HasSubstr(huge + " is not a firmware image: it is " +
                                       std::to_string(size) + " bytes long"));
    }
    for (const std::size_t length : {0, 1, 20}) {
        const auto path = directory.write("short.bin", std::vector<std::uint8_t>(length, 0x42));
        EXPECT_THAT(failure(path, checker),
                    testing::HasSubstr("is " + std::to_string(length) + " bytes long"));
    }

    const std::string missing = (directory.path() / "no such.bin").string();
    EXPECT_EQ(failure(missing, checker),
              "Error opening " + missing + ": No such file or directory");
    const std::string folder = directory.path().string();
    EXPECT_EQ(failure(folder, checker), "Error opening " + folder + ": it is not a regular file");
    const std::string fifo = (directory.path() / "pipe.bin").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto attempt = std::async(std::launch::async, [&] { return failure(fifo, checker); });
    if (attempt.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
        ADD_FAILURE() << "opening a FIFO waited for a writer";
        // Opening read-write never blocks on Linux and releases the waiting reader.
        const int writer = ::open(fifo.c_str(), O_RDWR);
        attempt.wait();
        ::close(writer);
    }
    EXPECT_EQ(attempt.get(), "Error opening " + fifo + ": it is not a regular file");
    EXPECT_EQ(openFiles(), opened);
}

TEST_F(FirmwareImageTest, HandsOutThePayloadInWholeChunksOnlyWithoutHeaderOrDigest) {
    const auto opened = openFiles();
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    for (const std::size_t length : {8192, 5000}) {
        const auto payload = patternPayload(length);
        FirmwareImage image(directory.write("image.bin", signedImage(payload)), validator);
        // Read twice, the second time after a rewind.
        for (int pass = 0; pass < 2; ++pass, image.rewind()) {
            std::vector<std::uint8_t> sent;
            for (std::size_t size = 1, chunks = 0; size != 0 && chunks < 4; ++chunks) {
                size = image.readChunk(chunk);
                sent.insert(sent.end(), chunk.begin(), chunk.begin() + size);
            }
            EXPECT_EQ(sent, payload) << length << " bytes, pass " << pass;
        }
    }
    EXPECT_EQ(openFiles(), opened);

    const std::string path = directory.write("shrinks.bin", signedImage(patternPayload(8192)));
    FirmwareImage image(path, validator);
    ASSERT_EQ(image.readChunk(chunk), 4096u);
    // Cut short after its check: the second chunk can no longer be read whole.
    std::filesystem::resize_file(path, 4 + 4096 + 100);
    EXPECT_THROW(image.readChunk(chunk), VerloException);
    EXPECT_EQ(image.position(), 4u + 4096u);
    image.close();
    image.rewind();
    EXPECT_THROW(image.readChunk(chunk), VerloException);
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
