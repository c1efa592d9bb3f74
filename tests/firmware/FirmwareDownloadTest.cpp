#include "firmware/FirmwareDownload.h"

#include "catalogue/KORAParams.h"
#include "firmware/DownloadProgressCommand.h"
#include "model/ControlParameter.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/VerloException.h"
#include "support/FirmwareImages.h"
#include "support/RecordingDownloadHandler.h"
#include "support/RecordingObserver.h"
#include "support/RecordingProgress.h"
#include "support/RecordingProtocol.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

struct Block {
    std::uint32_t number;
    bool burn;
    std::vector<std::uint8_t> bytes;
};

// Records the blocks that reach the unit and can fail one of them.
class BlockRecorder : public RecordingProtocol {
public:
    std::vector<Block> blocks;
    std::uint32_t failingBlock = 0;

    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t number,
                       bool burn) override {
        if (number == failingBlock) {
            failingBlock = 0;
            throw FlashException("Error: The unit needs to be returned to Verlo for servicing");
        }
        blocks.push_back({number, burn, std::vector<std::uint8_t>(bytes, bytes + count)});
    }
};

// A progress command that fails, for the handler's routing.
template <class Exception> class FailingProgress : public ProgressCommand {
public:
    void execute(std::uint32_t) override { throw Exception("progress failed"); }
};

class FirmwareDownloadTest : public testing::Test {
protected:
    // Sends until the download says no chunk remains (at most limit calls).
    int sendAll(int limit = 100) {
        int calls = 0;
        while (calls < limit) {
            ++calls;
            if (!download.sendNextChunk()) {
                break;
            }
        }
        return calls;
    }

    TemporaryDirectory folder;
    BlockRecorder unit;
    RecordingDownloadHandler handler;
    RecordingProgress progress;
    FirmwareDownload download{unit, &handler};
};

TEST_F(FirmwareDownloadTest, ThreeChunksAreNumberedFromOneAndOnlyTheLastBurns) {
    const auto payload = patternPayload(3 * 4096);
    download.selectImage(folder.write("three.bin", signedImage(payload)), progress);
    ASSERT_TRUE(download.hasImage());
    EXPECT_EQ(download.imageName(), "three.bin");

    EXPECT_TRUE(download.sendNextChunk());
    EXPECT_EQ(download.chunksSent(), 1u);
    EXPECT_TRUE(download.sendNextChunk());
    EXPECT_FALSE(download.sendNextChunk());

    ASSERT_EQ(unit.blocks.size(), 3u);
    std::vector<std::uint8_t> sent;
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(unit.blocks[i].number, i + 1);
        EXPECT_EQ(unit.blocks[i].burn, i == 2);
        EXPECT_EQ(unit.blocks[i].bytes.size(), 4096u);
        sent.insert(sent.end(), unit.blocks[i].bytes.begin(), unit.blocks[i].bytes.end());
    }
    // The header and the digest never go to the unit.
    EXPECT_EQ(sent, payload);
    // Positions 4100 and 8196 of 12308 bytes, then 100 for the last chunk and
    // 0 once the image is rewound.
    EXPECT_THAT(progress.percents, ElementsAre(33u, 66u, 100u, 0u));
    EXPECT_EQ(download.chunksSent(), 0u);

    // Rewound: a second run sends the same image again from chunk 1.
    EXPECT_EQ(sendAll(), 3);
    ASSERT_EQ(unit.blocks.size(), 6u);
    EXPECT_EQ(unit.blocks[3].number, 1u);
    EXPECT_EQ(unit.blocks[3].bytes, unit.blocks[0].bytes);
}

TEST_F(FirmwareDownloadTest, AShortImageIsOneChunkThatBurns) {
    const auto payload = patternPayload(904);
    download.selectImage(folder.write("short.bin", signedImage(payload)), progress);

    EXPECT_FALSE(download.sendNextChunk());
    ASSERT_EQ(unit.blocks.size(), 1u);
    EXPECT_EQ(unit.blocks[0].number, 1u);
    EXPECT_TRUE(unit.blocks[0].burn);
    EXPECT_EQ(unit.blocks[0].bytes, payload);
    EXPECT_THAT(progress.percents, ElementsAre(100u, 0u));
}

TEST_F(FirmwareDownloadTest, WithoutAnImageNothingIsSent) {
    EXPECT_FALSE(download.sendNextChunk());
    download.resetImage();
    EXPECT_TRUE(unit.blocks.empty());
    EXPECT_TRUE(progress.percents.empty());
    EXPECT_FALSE(download.hasImage());
    EXPECT_EQ(download.imageName(), "");
}

TEST_F(FirmwareDownloadTest, AFailedSelectionIsHandledAndKeepsThePreviousImage) {
    const auto good = signedImage(patternPayload(5000));
    download.selectImage(folder.write("good.bin", good), progress);
    ASSERT_TRUE(download.sendNextChunk());

    auto corrupted = good;
    corrupted[10] ^= 0x01;
    RecordingProgress other;
    download.selectImage(folder.write("bad.bin", corrupted), other);
    const std::string missing = (folder.path() / "missing.bin").string();
    download.selectImage(missing, other);

    EXPECT_THAT(handler.verlo, ElementsAre("MD5 checksum error", "Error opening " + missing));
    EXPECT_TRUE(handler.host.empty());
    EXPECT_EQ(handler.unknown, 0);
    // The good image is still selected, with its position and its progress.
    EXPECT_EQ(download.imageName(), "good.bin");
    EXPECT_EQ(download.chunksSent(), 1u);
    EXPECT_FALSE(download.sendNextChunk());
    ASSERT_EQ(unit.blocks.size(), 2u);
    EXPECT_EQ(unit.blocks[1].number, 2u);
    EXPECT_TRUE(other.percents.empty());
}

TEST_F(FirmwareDownloadTest, ResetRoutesEachKindOfFailureToItsHandler) {
    const std::string path = folder.write("image.bin", signedImage(patternPayload(9000)));
    FailingProgress<HostException> host;
    FailingProgress<FlashException> flash;
    FailingProgress<std::runtime_error> unknown;
    for (ProgressCommand* command : std::vector<ProgressCommand*>{&host, &flash, &unknown}) {
        download.selectImage(path, *command);
        download.resetImage();
    }
    EXPECT_THAT(handler.host, ElementsAre("progress failed"));
    EXPECT_THAT(handler.verlo, ElementsAre("progress failed"));
    EXPECT_EQ(handler.unknown, 1);
}

TEST_F(FirmwareDownloadTest, WithoutAHandlerFailuresReachTheCaller) {
    FirmwareDownload unhandled(unit, nullptr);
    const std::string missing = (folder.path() / "none.bin").string();
    EXPECT_EQ(thrownMessage<VerloException>([&] { unhandled.selectImage(missing, progress); }),
              "Error opening " + missing);
    EXPECT_FALSE(unhandled.hasImage());
}

TEST_F(FirmwareDownloadTest, ChunksGoToTheProtocolLastGiven) {
    download.selectImage(folder.write("two.bin", signedImage(patternPayload(5000))), progress);
    ASSERT_TRUE(download.sendNextChunk());
    BlockRecorder reopened;
    download.setProtocol(reopened);
    EXPECT_FALSE(download.sendNextChunk());
    EXPECT_EQ(unit.blocks.size(), 1u);
    ASSERT_EQ(reopened.blocks.size(), 1u);
    EXPECT_EQ(reopened.blocks[0].number, 2u);
}

// Beyond 42 MB, position × 100 no longer fits 32 bits; the percentage must
// still rise steadily to 99 before the last chunk's 100.
TEST_F(FirmwareDownloadTest, ThePercentageOfALargeImageNeverWrapsAround) {
    const std::size_t payloadSize = 44u * 1024 * 1024;
    download.selectImage(
        folder.write("large.bin", signedImage(std::vector<std::uint8_t>(payloadSize))), progress);
    ASSERT_TRUE(download.hasImage());
    const int chunks = static_cast<int>(payloadSize / FirmwareImage::chunkSize);
    EXPECT_EQ(sendAll(chunks + 1), chunks);
    ASSERT_EQ(progress.percents.size(), static_cast<std::size_t>(chunks) + 1);
    for (std::size_t i = 1; i + 1 < progress.percents.size(); ++i) {
        ASSERT_GE(progress.percents[i], progress.percents[i - 1]) << "chunk " << i + 1;
    }
    EXPECT_EQ(progress.percents[progress.percents.size() - 3], 99u);
    EXPECT_EQ(progress.percents[progress.percents.size() - 2], 100u);
    EXPECT_EQ(progress.percents.back(), 0u);
}

TEST(DownloadProgressCommandTest, SetsDownloadProgressAtOnce) {
    DummyKORAProtocol simulated;
    ForwardingProtocol front(&simulated);
    KORAParams params(front);
    auto& target = dynamic_cast<ControlParameter&>(params.findParameter(ParameterId(0x0928)));
    RecordingObserver bound;
    params.observeControl(target.id(), bound);
    const std::size_t before = bound.calls.size();
    DownloadProgressCommand command(target);

    command.execute(57);
    EXPECT_EQ(target.value(), ParameterValue(57));
    EXPECT_EQ(target.unitValue(), ParameterValue(57));
    ASSERT_EQ(bound.calls.size(), before + 1);
    EXPECT_EQ(bound.calls.back().hint, nullptr);
}

} // namespace
