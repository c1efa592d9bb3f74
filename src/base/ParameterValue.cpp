#include "base/ParameterValue.h"

#include "base/Checksum.h"
#include "base/VerloException.h"

#include <istream>
#include <ostream>
#include <utility>

namespace {

constexpr std::uint8_t integerTag = 0;
constexpr std::uint8_t bytesTag = 1;

} // namespace

const ParameterValue MinimumShortValue(-32768);
const ParameterValue MaximumShortValue(32767);

ParameterValue::ParameterValue() : ParameterValue(0) {}

ParameterValue::ParameterValue(int value) {
    bytes_.push_back(static_cast<char>((value >> 8) & 0xFF));
    bytes_.push_back(static_cast<char>(value & 0xFF));
}

ParameterValue::ParameterValue(std::string bytes) : bytes_(std::move(bytes)) {}

std::uint16_t ParameterValue::toInt() const {
    unsigned accumulator = 0;
    for (const char byte : bytes_) {
        accumulator = ((accumulator & 0xFF) << 8) | static_cast<std::uint8_t>(byte);
    }
    return static_cast<std::uint16_t>(accumulator);
}

std::size_t ParameterValue::encodedSize() const {
    return bytes_.size() == 2 ? 3 : bytes_.size() + 2;
}

std::size_t ParameterValue::encode(std::uint8_t* buffer, std::size_t capacity) const {
    if (bytes_.size() > maximumWireLength) {
        throw VerloException("value too long to send to the device");
    }
    const std::size_t size = encodedSize();
    if (capacity < size) {
        throw VerloException("not enough room for value in buffer");
    }
    if (bytes_.size() == 2) {
        buffer[0] = integerTag;
        buffer[1] = static_cast<std::uint8_t>(bytes_[0]);
        buffer[2] = static_cast<std::uint8_t>(bytes_[1]);
        return size;
    }
    buffer[0] = bytesTag;
    buffer[1] = static_cast<std::uint8_t>(bytes_.size());
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        buffer[2 + i] = static_cast<std::uint8_t>(bytes_[i]);
    }
    return size;
}

std::size_t ParameterValue::decode(const std::uint8_t* buffer, std::size_t size) {
    if (size == 0) {
        throw VerloException("value not found in buffer");
    }
    if (buffer[0] == integerTag) {
        if (size < 3) {
            throw VerloException("value not found in buffer");
        }
        bytes_.assign(reinterpret_cast<const char*>(buffer + 1), 2);
        return 3;
    }
    if (buffer[0] != bytesTag) {
        throw VerloException("unrecognized value type");
    }
    if (size < 2) {
        throw VerloException("value not found in buffer");
    }
    const std::size_t length = buffer[1];
    if (length > maximumWireLength) {
        throw VerloException("unrecognized value type");
    }
    if (size - 2 < length) {
        throw VerloException("value not found in buffer");
    }
    bytes_.assign(reinterpret_cast<const char*>(buffer + 2), length);
    return length + 2;
}

void ParameterValue::save(std::ostream& stream, std::int32_t& checksum) const {
    const auto length = static_cast<std::uint32_t>(bytes_.size());
    const char lengthBytes[4] = {
        static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
        static_cast<char>((length >> 16) & 0xFF), static_cast<char>((length >> 24) & 0xFF)};
    stream.write(lengthBytes, sizeof lengthBytes);
    if (!stream) {
        throw VerloException("Error saving a parameter value.");
    }
    addToChecksum(checksum, static_cast<std::int32_t>(length));
    for (const char byte : bytes_) {
        stream.put(byte);
        if (!stream) {
            throw VerloException("Error saving a parameter value.");
        }
        addByteToChecksum(checksum, static_cast<std::uint8_t>(byte));
    }
}

bool ParameterValue::restore(std::istream& stream, std::int32_t& checksum) {
    bytes_.clear();
    char lengthBytes[4] = {};
    if (!stream.read(lengthBytes, sizeof lengthBytes)) {
        throw VerloException("Error restoring a parameter value.");
    }
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i) {
        length = (length << 8) | static_cast<std::uint8_t>(lengthBytes[i]);
    }
    addToChecksum(checksum, static_cast<std::int32_t>(length));
    // Bytes are taken one at a time so that a corrupt length costs no more
    // memory than the file actually holds.
    char byte = 0;
    for (std::uint32_t read = 0; read < length; ++read) {
        if (!stream.get(byte)) {
            throw VerloException("Error restoring a parameter value.");
        }
        bytes_.push_back(byte);
        addByteToChecksum(checksum, static_cast<std::uint8_t>(byte));
    }
    return true;
}
