#include "HostChain.h"
#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/RecordingDownloadHandler.h"
#include "support/RecordingObserver.h"
#include "support/ThrownMessage.h"

#include "catalogue/KORAParams.h"
#include "firmware/DownloadProgressCommand.h"
#include "firmware/FirmwareDownload.h"
#include "model/ControlParameter.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using testing::ElementsAre;

const ParameterId downloadProgress(std::uint16_t{0x0928});

// The download role over the application's chain and parameter set, with
// Download Progress showing the percentage.
class FirmwareDownloadSession : public TracedUnitTest {
protected:
    void start(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--reboot-seconds", "1"});
        startUnit(extra);
        chain = std::make_unique<TcpChain>(unit->port());
        params = std::make_unique<KORAParams>(chain->retrying);
        progressParameter =
            &dynamic_cast<ControlParameter&>(params->findParameter(downloadProgress));
        progress = std::make_unique<DownloadProgressCommand>(*progressParameter);
        download = std::make_unique<FirmwareDownload>(chain->retrying, &handler);
        progressObserver.onUpdate = [this](Subject&, Transaction*) {
            shownProgress.push_back(progressParameter->value().toInt());
        };
        params->observeControl(downloadProgress, progressObserver);
        shownProgress.clear();
    }
    // Sends every chunk as the dialog's timer does; returns the calls made.
    int sendAll() {
        for (int calls = 1; calls <= 10; ++calls) {
            if (!download->sendNextChunk()) {
                return calls;
            }
        }
        return -1;
    }
    std::vector<std::string> stopAndReadSteps() {
        download.reset();
        params.reset();
        chain.reset();
        return flashSteps(stopAndReadTrace());
    }

    std::unique_ptr<TcpChain> chain;
    std::unique_ptr<KORAParams> params;
    ControlParameter* progressParameter = nullptr;
    std::unique_ptr<DownloadProgressCommand> progress;
    RecordingDownloadHandler handler;
    std::unique_ptr<FirmwareDownload> download;
    RecordingObserver progressObserver;
    std::vector<std::uint16_t> shownProgress;
};

TEST_F(FirmwareDownloadSession, ThreeChunksGoBetweenOneEraseAndOneBurn) {
    start();
    download->selectImage(folder.write("three.bin", signedImage(filledPayload(3 * 4096))),
                          *progress);
    EXPECT_EQ(sendAll(), 3);
    EXPECT_TRUE(handler.untouched());
    // 100 right after the last chunk, 0 once the image is rewound.
    EXPECT_THAT(shownProgress, ElementsAre(33, 66, 100, 0));
    EXPECT_EQ(progressParameter->value(), ParameterValue(0));
    EXPECT_THAT(stopAndReadSteps(), ElementsAre("Erase Flash", "Download Data 1", "Download Data 2",
                                                "Download Data 3", "Burn And Reboot 3"));
}

TEST_F(FirmwareDownloadSession, AFailedFlashStepIsSentAgainOnTheNextStart) {
    start({"--flash-error", "download:2"});
    download->selectImage(folder.write("two.bin", signedImage(filledPayload(4096 + 100))),
                          *progress);
    EXPECT_EQ(thrownMessage<FlashException>([&] { download->sendNextChunk(); }),
              "Error: The unit needs to be returned to Verlo for servicing");
    // The unit refused chunk 1, so a new start sends chunk 1 again, erase
    // included, instead of going on to the last chunk and burning without it.
    EXPECT_THROW(download->sendNextChunk(), FlashException);
    EXPECT_EQ(download->chunksSent(), 0u);
    download.reset();
    params.reset();
    chain.reset();
    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace),
                ElementsAre("Erase Flash", "Download Data", "Erase Flash", "Download Data"));
    const auto blocks = messages(trace, "received", "Download Data");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0]["length"], 4097);
    EXPECT_EQ(blocks[1]["length"], 4097);
}

} // namespace
