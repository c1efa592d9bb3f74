#include "firmware/FirmwareDownload.h"

#include "firmware/DownloadExceptionHandler.h"
#include "firmware/ProgressCommand.h"
#include "protocol/GenericProtocol.h"
#include "protocol/VerloException.h"

#include <array>
#include <filesystem>

FirmwareDownload::FirmwareDownload(GenericProtocol& protocol, DownloadExceptionHandler* handler)
    : protocol_(&protocol), handler_(handler) {}

template <class Action> void FirmwareDownload::handled(Action&& action) {
    if (handler_ == nullptr) {
        action();
        return;
    }
    try {
        action();
    } catch (HostException& exception) {
        handler_->handleHostException(exception);
    } catch (VerloException& exception) {
        handler_->handleVerloException(exception);
    } catch (...) {
        handler_->handleUnknownException();
    }
}

void FirmwareDownload::selectImage(const std::string& path, ProgressCommand& progress) {
    handled([&] {
        auto opened = std::make_unique<FirmwareImage>(path, imageValidator_);
        image_ = std::move(opened);
        imagePath_ = path;
        imageProgress_ = &progress;
        chunksSent_ = 0;
    });
}

bool FirmwareDownload::sendNextChunk() {
    if (!image_) {
        return false;
    }
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    const std::uint32_t chunkStart = image_->position();
    const std::size_t length = image_->readChunk(chunk);
    if (length > 0) {
        ++chunksSent_;
        try {
            protocol_->downloadBlock(chunk.data(), length, chunksSent_, image_->atEnd());
        } catch (...) {
            // The unit has not taken this chunk: the next start sends it again
            // under its own number, so the burn never flashes an image with a
            // hole in it.
            image_->returnTo(chunkStart);
            --chunksSent_;
            throw;
        }
        // In 64 bits: position × 100 overflows 32 bits for images over 42 MB.
        const auto percent = image_->atEnd()
                                 ? 100u
                                 : static_cast<std::uint32_t>(std::uint64_t{image_->position()} *
                                                              100 / image_->size());
        imageProgress_->execute(percent);
    }
    if (image_->atEnd()) {
        resetImage();
        return false;
    }
    return true;
}

void FirmwareDownload::resetImage() {
    handled([this] { rewind(); });
}

void FirmwareDownload::rewind() {
    if (image_) {
        image_->rewind();
        chunksSent_ = 0;
        imageProgress_->execute(0);
    }
}

std::string FirmwareDownload::imageName() const {
    return image_ ? std::filesystem::path(imagePath_).filename().string() : std::string();
}
