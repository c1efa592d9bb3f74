#pragma once

#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"

#include <cstdint>
#include <memory>
#include <string>

class DownloadExceptionHandler;
class GenericProtocol;
class ProgressCommand;

// Carries a selected firmware image to the unit one chunk at a time: chunk
// numbers count from 1, the protocol erases before the first and burns after
// the last. Whoever drives it (a dialog's timer, a command-line loop) decides
// the pace.
//
// The protocol is the connection's front end; it is not owned, and when the
// connection is reopened the new one is handed over with setProtocol.
// Failures of selectImage and resetImage go to the exception handler; without
// a handler (null) they propagate to the caller instead.
class FirmwareDownload {
public:
    FirmwareDownload(GenericProtocol& protocol, DownloadExceptionHandler* handler);
    FirmwareDownload(const FirmwareDownload&) = delete;
    FirmwareDownload& operator=(const FirmwareDownload&) = delete;

    void setProtocol(GenericProtocol& protocol) { protocol_ = &protocol; }

    // Opens and checks the file; on success it replaces the selected image
    // (which is closed), progress (not owned) receives the percentages from
    // now on and the chunk count starts again. On failure the image selected
    // before stays.
    void selectImage(const std::string& path, ProgressCommand& progress);
    // Sends the next chunk; returns whether more remain. After the last chunk
    // the image is rewound, ready to be sent again. Failures propagate and
    // leave the image before the failed chunk, so the next call sends that
    // chunk again under the same number.
    bool sendNextChunk();
    // Back to the image's start, with the count and progress at 0.
    void resetImage();

    std::uint32_t chunksSent() const { return chunksSent_; }
    bool hasImage() const { return image_ != nullptr; }
    // The selected file's name without its folder; empty when none.
    std::string imageName() const;
    // The selected image, or null.
    const FirmwareImage* image() const { return image_.get(); }

private:
    template <class Action> void handled(Action&& action);
    void rewind();

    GenericProtocol* protocol_;
    DownloadExceptionHandler* handler_;
    std::unique_ptr<FirmwareImage> image_;
    std::string imagePath_;
    ProgressCommand* imageProgress_ = nullptr;
    MD5Validator imageValidator_;
    std::uint32_t chunksSent_ = 0;
};
