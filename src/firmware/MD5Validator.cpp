#include "firmware/MD5Validator.h"

#include "base/VerloException.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Large enough that the digest, not the calls, sets the pace.
constexpr std::size_t pieceSize = std::size_t{64} * 1024;

} // namespace

MD5Validator::Digest MD5Validator::digest(const std::uint8_t* data, std::size_t length) {
    MD5Digest running;
    running.add(data, length);
    return running.value();
}

void MD5Validator::validate(const std::uint8_t* data, std::size_t length) const {
    validate(length, [&data](std::span<std::uint8_t> piece) {
        std::memcpy(piece.data(), data, piece.size());
        data += piece.size();
    });
}

void MD5Validator::validate(std::uint64_t length, const Reader& read) const {
    // A block too short to hold a digest cannot carry a valid one.
    if (length < digestSize) {
        throw DataValidationException("MD5 checksum error");
    }
    MD5Digest running;
    std::vector<std::uint8_t> piece(pieceSize);
    for (std::uint64_t left = length - digestSize; left > 0;) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece.size()));
        read(std::span(piece.data(), count));
        running.add(piece.data(), count);
        left -= count;
    }
    Digest stored{};
    read(stored);
    if (running.value() != stored) {
        throw DataValidationException("MD5 checksum error");
    }
}
