#include "firmware/FirmwareDownload.h"

#include "base/ProgressCommand.h"
#include "base/VerloException.h"
#include "protocol/GenericProtocol.h"

#include <array>
#include <filesystem>

namespace {

std::string neverBurnt(const std::string& cause) {
    return cause + " (the firmware transfer stopped; the burn was never sent)";
}

std::string burnRefused(const std::string& cause) {
    return cause + " (the unit received the burn and refused it)";
}

} // namespace

FirmwareDownload::FirmwareDownload(GenericProtocol& protocol) : protocol_(&protocol) {}

void FirmwareDownload::selectImage(const std::string& path, ProgressCommand& progress) {
    image_ = std::make_unique<FirmwareImage>(path, imageValidator_);
    imagePath_ = path;
    imageProgress_ = &progress;
    chunksSent_ = 0;
    transferring_ = false;
    outcome_ = Outcome::None;
}

bool FirmwareDownload::sendNextChunk() {
    if (!image_) {
        return false;
    }
    if (!transferring_) {
        transferring_ = true;
        restarts_ = 0;
        restartCause_.clear();
        outcome_ = Outcome::None;
    }
    std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
    std::size_t length = 0;
    try {
        length = image_->readChunk(chunk);
    } catch (...) {
        endTransfer();
        throw;
    }
    const bool last = image_->atEnd();
    ++chunksSent_;
    try {
        protocol_->downloadBlock(chunk.data(), length, chunksSent_, last);
    } catch (const HostException& refusal) {
        endTransfer();
        throw HostException(neverBurnt(refusal.what()));
    } catch (const FlashException& refusal) {
        if (refusal.code() && *refusal.code() != FlashException::retryCode) {
            endTransfer();
            throw FlashException(refusal.refusedBurn() ? burnRefused(refusal.what())
                                                       : neverBurnt(refusal.what()),
                                 refusal.code(), refusal.refusedBurn());
        }
        // A retry request means that neither step of the call was carried
        // out; a reply without its code is as good as lost.
        return startAgain(refusal.what(), last && !refusal.code());
    } catch (const VerloException& loss) {
        return startAgain(loss.what(), last);
    } catch (...) {
        endTransfer();
        throw;
    }
    if (last) {
        imageProgress_->execute(100);
        outcome_ = Outcome::Burnt;
        endTransfer();
        return false;
    }
    // In 64 bits: position × 100 overflows 32 bits for images over 42 MB.
    imageProgress_->execute(
        static_cast<std::uint32_t>(std::uint64_t{image_->position()} * 100 / image_->size()));
    return true;
}

bool FirmwareDownload::startAgain(const std::string& cause, bool burnMayHaveBeenSent) {
    if (burnMayHaveBeenSent) {
        outcome_ = Outcome::Unknown;
        endTransfer();
        return false;
    }
    if (restarts_ == maximumRestarts) {
        endTransfer();
        throw ProtocolException("The firmware transfer broke off " +
                                std::to_string(maximumRestarts + 1) +
                                " times, the last time with \"" + cause +
                                "\": the burn was never sent. Run the update again.");
    }
    ++restarts_;
    restartCause_ = cause;
    rewind();
    return true;
}

void FirmwareDownload::resetImage() {
    endTransfer();
}

void FirmwareDownload::endTransfer() {
    transferring_ = false;
    rewind();
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
