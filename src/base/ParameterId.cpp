#include "base/ParameterId.h"

#include "base/Checksum.h"
#include "base/VerloException.h"

#include <cstdio>
#include <istream>
#include <ostream>

std::string ParameterId::toText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%d (%x, %d)", static_cast<int>(number()),
                  static_cast<unsigned>(group_), static_cast<int>(index_));
    return text;
}

std::size_t ParameterId::encode(std::uint8_t* buffer, std::size_t capacity) const {
    if (capacity < 2) {
        throw VerloException("not enough room for id in buffer");
    }
    buffer[0] = group_;
    buffer[1] = index_;
    return 2;
}

std::size_t ParameterId::decode(const std::uint8_t* buffer, std::size_t size) {
    if (size < 2) {
        throw VerloException("id not found in buffer");
    }
    group_ = buffer[0];
    index_ = buffer[1];
    return 2;
}

void ParameterId::save(std::ostream& stream, std::int32_t& checksum) const {
    stream.put(static_cast<char>(group_));
    if (!stream) {
        throw VerloException("Error saving a parameter id");
    }
    stream.put(static_cast<char>(index_));
    if (!stream) {
        throw VerloException("Error saving a parameter id");
    }
    addByteToChecksum(checksum, group_);
    addByteToChecksum(checksum, index_);
}

bool ParameterId::restore(std::istream& stream, std::int32_t& checksum) {
    char byte = 0;
    if (stream.eof() || !stream.get(byte)) {
        return false;
    }
    group_ = static_cast<std::uint8_t>(byte);
    addByteToChecksum(checksum, group_);
    if (!stream.get(byte)) {
        throw VerloException("Error restoring a parameter id");
    }
    index_ = static_cast<std::uint8_t>(byte);
    addByteToChecksum(checksum, index_);
    return true;
}
