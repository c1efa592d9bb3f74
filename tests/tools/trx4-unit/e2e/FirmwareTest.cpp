#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/RecordingDownloadHandler.h"
#include "support/RecordingObserver.h"
#include "support/ThrownMessage.h"

#include "catalogue/KORAParams.h"
#include "firmware/DownloadProgressCommand.h"
#include "firmware/FirmwareDownload.h"
#include "model/ControlParameter.h"
#include "protocol/ProtocolChain.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;

const ParameterId downloadProgress(std::uint16_t{0x0928});
const ParameterId firmwareLow(std::uint16_t{0x0113});
const ParameterId firmwareHigh(std::uint16_t{0x0114});

// The update dialog's role over the application's chain and parameter set,
// with Download Progress showing the percentage.
class Firmware : public TracedUnitTest {
protected:
    void start(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--reboot-seconds", "1"});
        startUnit(extra);
        connect();
        progressParameter =
            &dynamic_cast<ControlParameter&>(params->findParameter(downloadProgress));
        progress = std::make_unique<DownloadProgressCommand>(*progressParameter);
        download = std::make_unique<FirmwareDownload>(chain->frontEnd(), &handler);
        progressObserver.onUpdate = [this](Subject&, Transaction*) {
            shownProgress.push_back(progressParameter->value().toInt());
        };
        params->observeControl(downloadProgress, progressObserver);
        // Observing showed the value once already.
        shownProgress.clear();
    }
    void connect() {
        disconnect();
        chain = std::make_unique<ProtocolChain>(ConnectionTarget::tcp("127.0.0.1", unit->port()));
        params = std::make_unique<KORAParams>(chain->frontEnd());
    }
    void disconnect() {
        download.reset();
        params.reset();
        chain.reset();
    }
    // Connects once the unit is back from its reboot, trying until a deadline.
    bool reconnect() {
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline) {
            try {
                connect();
                return true;
            } catch (const VerloException&) {
                std::this_thread::sleep_for(100ms);
            }
        }
        return false;
    }

    std::unique_ptr<ProtocolChain> chain;
    std::unique_ptr<KORAParams> params;
    ControlParameter* progressParameter = nullptr;
    std::unique_ptr<DownloadProgressCommand> progress;
    RecordingDownloadHandler handler;
    std::unique_ptr<FirmwareDownload> download;
    RecordingObserver progressObserver;
    std::vector<std::uint16_t> shownProgress;
};

TEST_F(Firmware, ChunksGoBetweenOneEraseAndOneBurnAndTheUnitRebootsIntoTheImagesVersion) {
    start();
    EXPECT_EQ(params->findParameter(firmwareLow).value(), ParameterValue(0));
    download->selectImage(
        folder.write("three.bin", signedImage(filledPayload(3 * 4096, "FW:1.4.2.7 build 113"))),
        *progress);
    EXPECT_TRUE(download->sendNextChunk());
    EXPECT_TRUE(download->sendNextChunk());
    EXPECT_FALSE(download->sendNextChunk());
    EXPECT_TRUE(handler.untouched());
    // 100 right after the last chunk, 0 once the image is rewound.
    EXPECT_THAT(shownProgress, ElementsAre(33, 66, 100, 0));
    disconnect();

    ASSERT_TRUE(reconnect());
    EXPECT_EQ(params->findParameter(firmwareHigh).value(), ParameterValue(0x0104));
    EXPECT_EQ(params->findParameter(firmwareLow).value(), ParameterValue(0x0207));
    EXPECT_THAT(chain->frontEnd().getEventLog(),
                testing::HasSubstr("Rebooted, firmware 1.4.2.7\n"));
    disconnect();

    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace), ElementsAre("Erase Flash", "Download Data 1", "Download Data 2",
                                               "Download Data 3", "Burn And Reboot 3"));
}

TEST_F(Firmware, AFailedFlashStepIsSentAgainOnTheNextStart) {
    start({"--flash-error", "download:2"});
    download->selectImage(folder.write("two.bin", signedImage(filledPayload(4096 + 100))),
                          *progress);
    EXPECT_EQ(thrownMessage<FlashException>([&] { download->sendNextChunk(); }),
              "Error: The unit needs to be returned to Verlo for servicing");
    // The unit refused chunk 1, so a new start sends chunk 1 again, erase
    // included, instead of going on to the last chunk and burning without it.
    EXPECT_THROW(download->sendNextChunk(), FlashException);
    EXPECT_EQ(download->chunksSent(), 0u);
    disconnect();
    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace),
                ElementsAre("Erase Flash", "Download Data", "Erase Flash", "Download Data"));
}

} // namespace
