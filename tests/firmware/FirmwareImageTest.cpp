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

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

using testing::_;
using testing::AllOf;
using testing::HasSubstr;
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

struct Drained {
    std::vector<std::size_t> lengths;
    std::vector<std::uint8_t> bytes;
};

// Reads until an empty chunk, checking position and end as it goes.
Drained drain(FirmwareImage& image) {
    Drained result;
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    for (int guard = 0; guard < 100; ++guard) {
        const std::uint32_t before = image.position();
        const std::size_t length = image.readChunk(chunk);
        result.lengths.push_back(length);
        if (length == 0) {
            EXPECT_TRUE(image.atEnd());
            break;
        }
        EXPECT_EQ(image.position(), std::max(before, FirmwareImage::headerSize) + length);
        result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.begin() + length);
    }
    return result;
}

class FirmwareImageTest : public testing::Test {
protected:
    TemporaryDirectory directory;
    const MD5Validator validator;
};

} // namespace

TEST_F(FirmwareImageTest, HandsOutThePayloadInFullChunksThenTheRest) {
    struct Case {
        std::size_t payload;
        std::vector<std::size_t> lengths;
    };
    for (const Case& c : {Case{8192, {4096, 4096, 0}}, Case{5000, {4096, 904, 0}},
                          Case{4096, {4096, 0}}, Case{1, {1, 0}}, Case{4097, {4096, 1, 0}}}) {
        const auto payload = patternPayload(c.payload);
        const auto bytes = signedImage(payload);
        FirmwareImage image(directory.write("chunks.bin", bytes), validator);
        EXPECT_EQ(image.size(), bytes.size());
        EXPECT_EQ(image.position(), 4u);
        const Drained drained = drain(image);
        EXPECT_EQ(drained.lengths, c.lengths) << "payload " << c.payload;
        // Neither the header nor the digest ever reaches a chunk.
        EXPECT_EQ(drained.bytes, payload) << "payload " << c.payload;
        EXPECT_EQ(image.position(), 4 + c.payload);
        EXPECT_TRUE(image.atEnd());
    }
}

TEST_F(FirmwareImageTest, RewindStartsOverWithoutSendingTheHeader) {
    const auto payload = patternPayload(5000);
    FirmwareImage image(directory.write("again.bin", signedImage(payload)), validator);
    const Drained first = drain(image);
    image.rewind();
    EXPECT_EQ(image.position(), 0u);
    EXPECT_FALSE(image.atEnd());
    const Drained second = drain(image);
    EXPECT_EQ(second.lengths, first.lengths);
    EXPECT_EQ(second.bytes, payload);
}

TEST_F(FirmwareImageTest, RejectsAnySingleChangedByte) {
    const auto original = signedImage(patternPayload(300));
    for (std::size_t at = 0; at < original.size(); ++at) {
        auto bytes = original;
        bytes[at] ^= 0x10;
        const std::string path = directory.write("changed.bin", bytes);
        EXPECT_THAT([&] { FirmwareImage image(path, validator); },
                    ThrowsMessage<DataValidationException>(StrEq("MD5 checksum error")))
            << "byte " << at;
    }
}

TEST_F(FirmwareImageTest, NamesAPathItCannotOpen) {
    const std::string missing = (directory.path() / "no such.bin").string();
    EXPECT_THAT([&] { FirmwareImage image(missing, validator); },
                ThrowsMessage<VerloException>(StrEq("Error opening " + missing)));

    // A folder or a FIFO is no image either; the FIFO must not wait for a writer.
    const std::string folder = directory.path().string();
    EXPECT_THAT([&] { FirmwareImage image(folder, validator); },
                ThrowsMessage<VerloException>(StrEq("Error opening " + folder)));
    const std::string fifo = (directory.path() / "pipe.bin").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto attempt = std::async(std::launch::async, [&]() -> std::string {
        try {
            FirmwareImage image(fifo, validator);
            return "opened";
        } catch (const VerloException& e) {
            return e.what();
        }
    });
    if (attempt.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
        ADD_FAILURE() << "opening a FIFO waited for a writer";
        // Opening read-write never blocks on Linux and releases the waiting reader.
        const int writer = ::open(fifo.c_str(), O_RDWR);
        attempt.wait();
        ::close(writer);
    }
    EXPECT_EQ(attempt.get(), "Error opening " + fifo);
}

TEST_F(FirmwareImageTest, RefusesFilesWithoutRoomForAPayloadBeforeDigesting) {
    testing::StrictMock<MockValidator> counting;
    EXPECT_CALL(counting, checksumSize()).WillRepeatedly(Return(16));
    for (const std::size_t length : {0, 1, 19, 20}) {
        const std::string path =
            directory.write("short.bin", std::vector<std::uint8_t>(length, 0x42));
        EXPECT_THAT([&] { FirmwareImage image(path, counting); },
                    ThrowsMessage<DataValidationException>(
                        AllOf(HasSubstr(path), HasSubstr(std::to_string(length) + " bytes long"))))
            << "length " << length;
    }

    // The smallest image that carries a payload is accepted.
    FirmwareImage smallest(directory.write("smallest.bin", signedImage(patternPayload(1))),
                           validator);
    EXPECT_EQ(smallest.size(), 21u);
}

TEST_F(FirmwareImageTest, RefusesFilesTooLargeToMeasureBeforeReadingThem) {
    testing::StrictMock<MockValidator> counting;
    EXPECT_CALL(counting, checksumSize()).WillRepeatedly(Return(16));
    const std::string path = directory.write("huge.bin", {});
    // Sparse on the usual file systems, so this costs no disk space.
    std::filesystem::resize_file(path, std::uintmax_t{1} << 32);
    EXPECT_THAT([&] { FirmwareImage image(path, counting); },
                ThrowsMessage<DataValidationException>(
                    AllOf(HasSubstr(path), HasSubstr("4294967296 bytes long"))));
}

TEST_F(FirmwareImageTest, ChecksTheWholeFileAndPassesTheCheckersFailureOn) {
    const std::vector<std::uint8_t> bytes(4 + 10 + 8, 0x17);
    const std::string path = directory.write("custom.bin", bytes);
    MockValidator checker;
    EXPECT_CALL(checker, checksumSize()).WillRepeatedly(Return(8));
    EXPECT_CALL(checker, validate(bytes.size(), _))
        .WillOnce([&](std::uint64_t length, const Validator::Reader& read) {
            std::vector<std::uint8_t> seen(length);
            read(seen);
            EXPECT_EQ(seen, bytes);
            throw HostException("unit refused");
        });
    EXPECT_THAT([&] { FirmwareImage image(path, checker); },
                ThrowsMessage<HostException>(StrEq("unit refused")));
}

TEST_F(FirmwareImageTest, NeverHandsOutAPartialChunk) {
    const auto bytes = signedImage(patternPayload(8192));
    const std::string path = directory.write("shrinks.bin", bytes);
    FirmwareImage image(path, validator);
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    ASSERT_EQ(image.readChunk(chunk), 4096u);

    // Cut short after its check: the second chunk can no longer be read whole.
    std::filesystem::resize_file(path, 4 + 4096 + 100);
    EXPECT_THAT([&] { image.readChunk(chunk); },
                ThrowsMessage<VerloException>(StrEq("error reading file")));
    EXPECT_EQ(image.position(), 4u + 4096u);

    image.close();
    image.close();
    image.rewind();
    EXPECT_THAT([&] { image.readChunk(chunk); },
                ThrowsMessage<VerloException>(StrEq("error reading file")));
}
