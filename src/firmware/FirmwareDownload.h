#pragma once

#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"

#include <cstdint>
#include <memory>
#include <string>

class GenericProtocol;
class ProgressCommand;

// Carries a selected firmware image to the unit one chunk at a time: chunk
// numbers count from 1, the protocol erases before the first and burns after
// the last. Whoever drives it (a dialog's timer, a command-line loop) decides
// the pace.
//
// Only an erase puts the unit's flash in a known state, so no chunk is ever
// sent twice after one. When a step fails without the unit refusing it (its
// reply was lost, garbled or late) or the unit asks for a retry (flash code
// 1), the transfer starts again from the erase and chunk 1, at most
// maximumRestarts times. Any other refusal ends the transfer. The last chunk
// and the burn go out in one protocol call, so when that call's reply is
// lost nobody can tell whether the burn was sent: the outcome is Unknown.
//
// The protocol is the connection's front end; it is not owned, and when the
// connection is reopened the new one is handed over with setProtocol.
// Every failure is thrown; the caller decides what the operator sees.
class FirmwareDownload {
public:
    static constexpr unsigned maximumRestarts = 3;

    // How the last transfer ended, once sendNextChunk has returned false.
    enum class Outcome {
        // No transfer has ended since the image was selected or rewound.
        None,
        // Every chunk since the last erase and the burn were confirmed.
        Burnt,
        // The burn may have been sent, but no confirmation came.
        Unknown,
    };

    explicit FirmwareDownload(GenericProtocol& protocol);
    FirmwareDownload(const FirmwareDownload&) = delete;
    FirmwareDownload& operator=(const FirmwareDownload&) = delete;

    void setProtocol(GenericProtocol& protocol) { protocol_ = &protocol; }

    // Opens and checks the file; on success it replaces the selected image
    // (which is closed), progress (not owned) receives the percentages from
    // now on and the chunk count starts again. On failure the image selected
    // before stays and the failure is thrown.
    void selectImage(const std::string& path, ProgressCommand& progress);
    // Sends the next chunk, or starts again from the erase after a failed
    // step; returns whether more calls are needed. When it returns false,
    // outcome() tells how the transfer ended. A failure that ends the
    // transfer propagates, saying that the burn was never sent. Either way
    // the image is rewound, so the next call starts a new transfer.
    bool sendNextChunk();
    // Back to the image's start, with the count and progress at 0.
    void resetImage();

    std::uint32_t chunksSent() const { return chunksSent_; }
    Outcome outcome() const { return outcome_; }
    // How often the current (or last) transfer started again, and why the
    // last time.
    unsigned restarts() const { return restarts_; }
    const std::string& restartCause() const { return restartCause_; }
    bool hasImage() const { return image_ != nullptr; }
    // The selected file's name without its folder; empty when none.
    std::string imageName() const;
    // The selected image, or null.
    const FirmwareImage* image() const { return image_.get(); }

private:
    // After a step failed without a refusal, or with a request to retry.
    bool startAgain(const std::string& cause, bool burnMayHaveBeenSent);
    void endTransfer();
    void rewind();

    GenericProtocol* protocol_;
    std::unique_ptr<FirmwareImage> image_;
    std::string imagePath_;
    ProgressCommand* imageProgress_ = nullptr;
    MD5Validator imageValidator_;
    std::uint32_t chunksSent_ = 0;
    bool transferring_ = false;
    unsigned restarts_ = 0;
    std::string restartCause_;
    Outcome outcome_ = Outcome::None;
};
