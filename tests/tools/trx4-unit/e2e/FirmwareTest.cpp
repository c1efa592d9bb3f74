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
    void start(std::vector<std::string> extra = {}, bool serial = false) {
        extra.insert(extra.begin(), {"--reboot-seconds", "1"});
        if (serial) {
            startSerialUnit(extra);
            target = ConnectionTarget::parseSerial(unit->firstLine());
        } else {
            startUnit(extra);
            target = ConnectionTarget::tcp("127.0.0.1", unit->port());
        }
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
        chain = std::make_unique<ProtocolChain>(target);
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

    // Sends until the download needs no more calls; returns how many it took.
    int sendAll() {
        int calls = 1;
        while (download->sendNextChunk() && calls < 100) {
            ++calls;
        }
        return calls;
    }

    ConnectionTarget target;
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
    EXPECT_EQ(params->findParameter(firmwareHigh).value(), ParameterValue(0));
    const auto payload = filledPayload(3 * 4096, "FW:1.4.2.7 build 113");
    download->selectImage(folder.write("three.bin", signedImage(payload)), *progress);
    EXPECT_TRUE(download->sendNextChunk());
    EXPECT_TRUE(download->sendNextChunk());
    EXPECT_FALSE(download->sendNextChunk());
    EXPECT_EQ(download->outcome(), FirmwareDownload::Outcome::Burnt);
    EXPECT_TRUE(handler.untouched());
    // 100 right after the last chunk, 0 once the image is rewound.
    EXPECT_THAT(shownProgress, ElementsAre(33, 66, 100, 0));
    disconnect();

    ASSERT_TRUE(reconnect());
    EXPECT_EQ(params->findParameter(firmwareHigh).value(), ParameterValue(0x0104));
    EXPECT_EQ(params->findParameter(firmwareLow).value(), ParameterValue(0x0207));
    EXPECT_THAT(chain->frontEnd().getEventLog(),
                testing::AllOf(testing::HasSubstr("Burning 3 blocks (12288 bytes, MD5 " +
                                                  md5Hex(payload) + "), then rebooting\n"),
                               testing::HasSubstr("Rebooted, firmware 1.4.2.7\n")));
    disconnect();

    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace), ElementsAre("Erase Flash", "Download Data 1", "Download Data 2",
                                               "Download Data 3", "Burn And Reboot 3"));
}

// Every 7th frame from the unit goes out corrupted, and every second frame is
// a reply (the others acknowledge the host's frames, and a corrupted
// acknowledgement still counts). Four log requests first put the 14th frame
// on the reply to chunk 1; the next corrupted reply, the 28th frame, comes
// after the second attempt's burn.
TEST_F(Firmware, ALostReplyStartsTheTransferAgainFromTheEraseAndTheExactImageIsBurnt) {
    start({"--corrupt-every", "7", "--status-interval-ms", "0"}, true);
    for (int request = 0; request < 4; ++request) {
        chain->frontEnd().getEventLog();
    }
    const auto payload = filledPayload(3 * 4096, "FW:1.4.2.8");
    download->selectImage(folder.write("three.bin", signedImage(payload)), *progress);
    EXPECT_EQ(sendAll(), 4);
    EXPECT_EQ(download->outcome(), FirmwareDownload::Outcome::Burnt);
    EXPECT_EQ(download->restarts(), 1u);
    EXPECT_EQ(download->restartCause(), "Expected response not received");
    disconnect();
    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace),
                ElementsAre("Erase Flash", "Download Data 1", "Erase Flash", "Download Data 1",
                            "Download Data 2", "Download Data 3", "Burn And Reboot 3"));
    const auto burn = messages(trace, "received", "Burn And Reboot").at(0);
    EXPECT_EQ(burn["bytes"], payload.size());
    EXPECT_EQ(burn["md5"], md5Hex(payload));
}

// A refusal with code 1 asks for a retry; any other ends the transfer. The
// image is one chunk: erase, download and burn in one call.
TEST_F(Firmware, TheUnitsRefusalsStartTheTransferAgainOrEndItByTheirCode) {
    const std::string retry = "Error: The client should retry the operation";
    const struct {
        const char* fault;
        std::string message;
        std::vector<std::string> steps;
    } rows[] = {
        {"download:2",
         "Error: The unit needs to be returned to Verlo for servicing (the firmware transfer "
         "stopped; the burn was never sent)",
         {"Erase Flash", "Download Data"}},
        {"burn:1",
         "The firmware transfer broke off 4 times, the last time with \"" + retry +
             "\": the burn was never sent. Run the update again.",
         {"Erase Flash", "Download Data 1", "Burn And Reboot", "Erase Flash", "Download Data 1",
          "Burn And Reboot", "Erase Flash", "Download Data 1", "Burn And Reboot", "Erase Flash",
          "Download Data 1", "Burn And Reboot"}},
    };
    for (const auto& row : rows) {
        start({"--flash-error", row.fault});
        download->selectImage(folder.write("one.bin", signedImage(filledPayload(100))), *progress);
        std::string message;
        bool fatal = false;
        try {
            sendAll();
        } catch (const FlashException& error) {
            message = error.what();
            fatal = error.code() == 2;
        } catch (const ProtocolException& error) {
            message = error.what();
        }
        EXPECT_EQ(message, row.message) << row.fault;
        EXPECT_EQ(fatal, row.fault == std::string("download:2")) << row.fault;
        EXPECT_EQ(download->outcome(), FirmwareDownload::Outcome::None) << row.fault;
        // The next call starts a new transfer.
        EXPECT_EQ(download->chunksSent(), 0u) << row.fault;
        disconnect();
        EXPECT_EQ(flashSteps(stopAndReadTrace()), row.steps) << row.fault;
    }
}

} // namespace
