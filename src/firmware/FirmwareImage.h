#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

class Validator;

// An open firmware image file: a 4-byte header, the payload sent to the unit,
// then the validator's check value. The whole file is checked on opening, in
// one streaming pass; afterwards the payload is handed out in chunks, read
// from the file again.
class FirmwareImage {
public:
    static constexpr std::size_t chunkSize = 4096;
    static constexpr std::uint32_t headerSize = 4;
    // Larger files are refused before a byte is read.
    static constexpr std::uint32_t maximumSize = 64u * 1024 * 1024;

    // A payload that starts with versionTag and "a.b.c.d" carries the version
    // the unit runs once it has burnt the image.
    static constexpr const char* versionTag = "FW:";
    static constexpr std::size_t versionTagLength = 3 + 15;
    using Version = std::array<std::uint8_t, 4>;

    // Opens, measures and checks the file; reading then starts at the payload.
    // A file that is no image throws FileException naming it and the reason,
    // and nothing is held.
    FirmwareImage(const std::string& path, const Validator& validator);
    ~FirmwareImage();
    FirmwareImage(const FirmwareImage&) = delete;
    FirmwareImage& operator=(const FirmwareImage&) = delete;

    // The next payload chunk's length (0 once the payload is exhausted). Every
    // chunk but the last is full; neither header nor check value is returned.
    std::size_t readChunk(std::span<std::uint8_t, chunkSize> buffer);
    std::uint32_t position() const { return position_; }
    std::uint32_t size() const { return size_; }
    bool atEnd() const { return position_ >= payloadEnd(); }
    // Back to offset 0; the next chunk is the payload's first again.
    void rewind() { position_ = 0; }
    void close();
    // The version the payload names, if it names one.
    const std::optional<Version>& version() const { return version_; }

    // The version named at the start of a payload's first bytes, if any.
    static std::optional<Version> versionIn(const std::string& payloadHead);
    // "1.4.0.0".
    static std::string versionText(const Version& version);

private:
    void openAndCheck(const std::string& path);
    std::uint32_t payloadEnd() const;

    int file_ = -1;
    std::uint32_t size_ = 0;
    const Validator* validator_;
    std::uint32_t position_ = 0;
    std::optional<Version> version_;
};
