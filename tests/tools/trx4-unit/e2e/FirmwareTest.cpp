#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/RecordingProgress.h"

#include "firmware/FirmwareDownload.h"
#include "protocol/GenericProtocol.h"
#include "session/ProtocolChain.h"

#include <gmock/gmock.h>

namespace {

using Firmware = TracedUnitTest;

// Every 7th frame from the unit goes out corrupted, and every second frame is
// a reply (the others acknowledge the host's frames, and a corrupted
// acknowledgement still counts). Four log requests first put the 14th frame
// on the reply to chunk 1; the next corrupted reply, the 28th frame, comes
// after the second attempt's burn.
TEST_F(Firmware, ALostReplyStartsTheTransferAgainFromTheEraseAndTheExactImageIsBurnt) {
    startSerialUnit({"--corrupt-every", "7", "--status-interval-ms", "0", "--reboot-seconds", "1"});
    const auto payload = filledPayload(3 * 4096, "FW:1.4.2.8");
    RecordingProgress progress;
    {
        ProtocolChain chain(ConnectionTarget::parseSerial(unit->firstLine()));
        for (int request = 0; request < 4; ++request) {
            chain.frontEnd().getEventLog();
        }
        FirmwareDownload download(chain.frontEnd());
        download.selectImage(folder.write("three.bin", signedImage(payload)), progress);
        int calls = 1;
        while (download.sendNextChunk() && calls < 20) {
            ++calls;
        }
        EXPECT_EQ(calls, 4);
        EXPECT_EQ(download.outcome(), FirmwareDownload::Outcome::Burnt);
        EXPECT_EQ(download.restarts(), 1u);
        EXPECT_EQ(download.restartCause(), "Expected response not received");
    }
    const auto trace = stopAndReadTrace();
    EXPECT_THAT(flashSteps(trace),
                testing::ElementsAre("Erase Flash", "Download Data 1", "Erase Flash",
                                     "Download Data 1", "Download Data 2", "Download Data 3",
                                     "Burn And Reboot 3"));
    const auto burn = messages(trace, "received", "Burn And Reboot").at(0);
    EXPECT_EQ(burn["bytes"], payload.size());
    EXPECT_EQ(burn["md5"], md5Hex(payload));
}

} // namespace
