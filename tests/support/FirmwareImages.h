#pragma once

#include "firmware/MD5Validator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

// Payload bytes that never repeat within 251, so a chunk read from a shifted
// offset cannot match.
inline std::vector<std::uint8_t> patternPayload(std::size_t length) {
    std::vector<std::uint8_t> payload(length);
    for (std::size_t i = 0; i < length; ++i) {
        payload[i] = static_cast<std::uint8_t>(i % 251);
    }
    return payload;
}

// A payload (or one block of it) of filler bytes that starts with `head`: the
// unit reads its new firmware version from the start of the first block.
inline std::vector<std::uint8_t> filledPayload(std::size_t length, const std::string& head = {}) {
    std::vector<std::uint8_t> payload(length, 0xA5);
    std::copy(head.begin(), head.end(), payload.begin());
    return payload;
}

// A firmware file: a four-byte header, the payload and the MD5 digest of both.
// Sized once up front: growing the vector by inserts trips a false
// out-of-bounds warning in g++ 12.
inline std::vector<std::uint8_t> signedImage(const std::vector<std::uint8_t>& payload) {
    const std::uint8_t header[] = {0xDE, 0xAD, 0xBE, 0xEF};
    std::vector<std::uint8_t> image(sizeof header + payload.size() + MD5Validator::digestSize);
    auto signedEnd = std::copy(std::begin(header), std::end(header), image.begin());
    signedEnd = std::copy(payload.begin(), payload.end(), signedEnd);
    const auto digest = MD5Validator::digest(image.data(), sizeof header + payload.size());
    std::copy(digest.begin(), digest.end(), signedEnd);
    return image;
}

// What trx4-unit reports for the bytes it burns.
inline std::string md5Hex(const std::vector<std::uint8_t>& bytes) {
    return MD5Digest::hex(MD5Validator::digest(bytes.data(), bytes.size()));
}
