#include "firmware/FirmwareDownload.h"

#include "base/VerloException.h"
#include "support/FirmwareImages.h"
#include "support/RecordingProgress.h"
#include "support/RecordingProtocol.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

// Keeps each block the unit took, by number and burn, and the bytes of the
// transfer since the last block 1, which starts with the erase.
class BlockRecorder : public RecordingProtocol {
public:
    std::vector<std::pair<std::uint32_t, bool>> blocks;
    std::vector<std::uint8_t> taken;
    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t number,
                       bool burn) override {
        RecordingProtocol::downloadBlock(bytes, count, number, burn);
        if (number == 1) {
            taken.clear();
        }
        taken.insert(taken.end(), bytes, bytes + count);
        blocks.emplace_back(number, burn);
    }
};

class FirmwareDownloadTest : public testing::Test {
protected:
    TemporaryDirectory folder;
    BlockRecorder unit;
    RecordingProgress progress;
    FirmwareDownload download{unit};
};

} // namespace

TEST_F(FirmwareDownloadTest, AFailedSelectionThrowsAndKeepsThePreviousImage) {
    download.selectImage(folder.write("good.bin", signedImage(patternPayload(5000))), progress);
    ASSERT_TRUE(download.sendNextChunk());
    auto corrupted = signedImage(patternPayload(5000));
    corrupted[10] ^= 0x01;
    RecordingProgress other;
    EXPECT_THAT(thrownMessage<FileException>(
                    [&] { download.selectImage(folder.write("bad.bin", corrupted), other); }),
                testing::EndsWith("bad.bin: MD5 checksum error: the image's contents do not match "
                                  "the digest at its end (a damaged or incomplete file)"));

    EXPECT_EQ(download.imageName(), "good.bin");
    EXPECT_FALSE(download.sendNextChunk());
    // Positions 4100 and then the end of 5020 bytes, and 0 once rewound.
    EXPECT_THAT(progress.percents, ElementsAre(81u, 100u, 0u));
    EXPECT_TRUE(other.percents.empty());
}

// Beyond 42 MB, position × 100 no longer fits 32 bits; the percentage must
// still rise steadily to 99 before the last chunk's 100.
TEST_F(FirmwareDownloadTest, ThePercentageOfALargeImageNeverWrapsAround) {
    const std::size_t payloadSize = 44u * 1024 * 1024;
    download.selectImage(
        folder.write("large.bin", signedImage(std::vector<std::uint8_t>(payloadSize))), progress);
    const std::size_t chunks = payloadSize / FirmwareImage::chunkSize;
    for (std::size_t chunk = 1; chunk < chunks; ++chunk) {
        ASSERT_TRUE(download.sendNextChunk()) << "chunk " << chunk;
    }
    EXPECT_FALSE(download.sendNextChunk());
    ASSERT_EQ(progress.percents.size(), chunks + 1);
    EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end() - 2));
    EXPECT_THAT(std::vector<std::uint32_t>(progress.percents.end() - 3, progress.percents.end()),
                ElementsAre(99u, 100u, 0u));
}

TEST_F(FirmwareDownloadTest, ALostReplyStartsAgainFromTheEraseAndTheExactImageIsBurnt) {
    const auto payload = patternPayload(3 * 4096);
    download.selectImage(folder.write("three.bin", signedImage(payload)), progress);
    ASSERT_TRUE(download.sendNextChunk());
    unit.failNext(ProtocolException("Expected response not received"));
    for (int call = 0; call < 3; ++call) {
        ASSERT_TRUE(download.sendNextChunk()) << call;
    }
    EXPECT_FALSE(download.sendNextChunk());
    using Blocks = decltype(unit.blocks);
    EXPECT_EQ(unit.blocks, (Blocks{{1, false}, {1, false}, {2, false}, {3, true}}));
    EXPECT_EQ(unit.taken, payload);
    EXPECT_EQ(download.outcome(), FirmwareDownload::Outcome::Burnt);
    EXPECT_EQ(download.restarts(), 1u);
    EXPECT_EQ(download.restartCause(), "Expected response not received");
}
