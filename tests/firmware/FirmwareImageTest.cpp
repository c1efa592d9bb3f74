#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"
#include "protocol/VerloException.h"
#include "support/FirmwareImages.h"
#include "support/TemporaryDirectory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <future>

using testing::Return;

namespace {

class MockValidator : public Validator {
public:
    MOCK_METHOD(void, validate, (const std::uint8_t*, std::size_t), (const, override));
    MOCK_METHOD(void, validate, (std::uint64_t, const Reader&), (const, override));
    MOCK_METHOD(std::size_t, checksumSize, (), (const, override));
};

// The lengths of the chunks up to the first empty one, and their bytes.
std::pair<std::vector<std::size_t>, std::vector<std::uint8_t>> drain(FirmwareImage& image) {
    std::vector<std::size_t> lengths;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    do {
        lengths.push_back(image.readChunk(chunk));
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + lengths.back());
    } while (lengths.back() != 0 && lengths.size() < 100);
    return {lengths, bytes};
}

// What opening the file raised; "opened" when it did not.
std::string failure(const std::string& path, const Validator& validator) {
    try {
        FirmwareImage image(path, validator);
    } catch (const VerloException& e) {
        return e.what();
    }
    return "opened";
}

class FirmwareImageTest : public testing::Test {
protected:
    FirmwareImageTest() { EXPECT_CALL(checker, checksumSize()).WillRepeatedly(Return(16)); }

    TemporaryDirectory directory;
    const MD5Validator validator;
    testing::StrictMock<MockValidator> checker;
};

} // namespace

TEST_F(FirmwareImageTest, HandsOutThePayloadInFullChunksThenTheRestAgainAfterARewind) {
    struct Row {
        std::size_t payload;
        std::vector<std::size_t> lengths;
    };
    for (const Row& row : {Row{8192, {4096, 4096, 0}}, Row{5000, {4096, 904, 0}}, Row{1, {1, 0}}}) {
        const auto payload = patternPayload(row.payload);
        const auto bytes = signedImage(payload);
        FirmwareImage image(directory.write("chunks.bin", bytes), validator);
        EXPECT_EQ(image.size(), bytes.size());
        EXPECT_EQ(image.position(), 4u);
        for (int pass = 1; pass <= 2; ++pass) {
            const auto [lengths, sent] = drain(image);
            EXPECT_EQ(lengths, row.lengths) << row.payload << " bytes, pass " << pass;
            // Neither the header nor the digest ever reaches a chunk.
            EXPECT_EQ(sent, payload) << row.payload << " bytes, pass " << pass;
            EXPECT_TRUE(image.atEnd());
            image.rewind();
            EXPECT_EQ(image.position(), 0u);
            EXPECT_FALSE(image.atEnd());
        }
    }
}

TEST_F(FirmwareImageTest, RefusesWhatIsNoImageWithoutDigestingIt) {
    const auto huge = directory.write("huge.bin", {});
    // Sparse on the usual file systems, so this costs no disk space.
    std::filesystem::resize_file(huge, std::uintmax_t{1} << 32);
    EXPECT_THAT(failure(huge, checker), testing::HasSubstr(huge + " is not a firmware image: it "
                                                                  "is 4294967296 bytes long"));
    for (const std::size_t length : {0, 1, 20}) {
        const auto path = directory.write("short.bin", std::vector<std::uint8_t>(length, 0x42));
        EXPECT_THAT(failure(path, checker),
                    testing::HasSubstr("is " + std::to_string(length) + " bytes long"));
    }

    const std::string missing = (directory.path() / "no such.bin").string();
    EXPECT_EQ(failure(missing, checker), "Error opening " + missing);
    const std::string folder = directory.path().string();
    EXPECT_EQ(failure(folder, checker), "Error opening " + folder);
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
    EXPECT_EQ(attempt.get(), "Error opening " + fifo);
}

TEST_F(FirmwareImageTest, NeverHandsOutAPartialChunk) {
    const std::string path = directory.write("shrinks.bin", signedImage(patternPayload(8192)));
    FirmwareImage image(path, validator);
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    ASSERT_EQ(image.readChunk(chunk), 4096u);
    // Cut short after its check: the second chunk can no longer be read whole.
    std::filesystem::resize_file(path, 4 + 4096 + 100);
    EXPECT_THROW(image.readChunk(chunk), VerloException);
    EXPECT_EQ(image.position(), 4u + 4096u);
    image.close();
    image.rewind();
    EXPECT_THROW(image.readChunk(chunk), VerloException);
}
