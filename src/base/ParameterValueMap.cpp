#include "base/ParameterValueMap.h"

#include "base/Checksum.h"
#include "base/VerloException.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <utility>

namespace {

bool readWord(std::istream& stream, std::uint32_t& word) {
    char bytes[4] = {};
    if (!stream.read(bytes, sizeof bytes)) {
        return false;
    }
    word = 0;
    for (int i = 3; i >= 0; --i) {
        word = (word << 8) | static_cast<std::uint8_t>(bytes[i]);
    }
    return true;
}

void writeWord(std::ostream& stream, std::uint32_t word) {
    const char bytes[4] = {static_cast<char>(word & 0xFF), static_cast<char>((word >> 8) & 0xFF),
                           static_cast<char>((word >> 16) & 0xFF),
                           static_cast<char>((word >> 24) & 0xFF)};
    stream.write(bytes, sizeof bytes);
    if (!stream) {
        throw VerloException("Error saving a parameter value.");
    }
}

} // namespace

ParameterValueMap::ParameterValueMap(std::istream& stream) {
    std::uint32_t count = 0;
    if (!readWord(stream, count)) {
        throw VerloException("Error reading the parameter count.");
    }
    auto checksum = static_cast<std::int32_t>(count);
    // The count is only an upper bound: records are read while bytes last, so a
    // corrupt count costs no more than the file really holds.
    for (std::uint32_t record = 0; record < count; ++record) {
        if (stream.eof()) {
            break;
        }
        ParameterId id;
        if (!id.restore(stream, checksum)) {
            break;
        }
        ParameterValue value;
        value.restore(stream, checksum);
        insert_or_assign(id, std::move(value));
    }
    std::uint32_t stored = 0;
    if (!readWord(stream, stored)) {
        throw VerloException("Error reading the checksum.");
    }
    if (static_cast<std::int32_t>(stored) != checksum) {
        throw VerloException("The checksum does not match.");
    }
}

void ParameterValueMap::save(std::ostream& stream) const {
    const auto count = static_cast<std::uint32_t>(size());
    writeWord(stream, count);
    auto checksum = static_cast<std::int32_t>(count);
    for (const auto& [id, value] : *this) {
        id.save(stream, checksum);
        value.save(stream, checksum);
    }
    writeWord(stream, static_cast<std::uint32_t>(checksum));
    // A buffered file may fail only when its bytes finally leave.
    if (!stream.flush()) {
        throw VerloException("Error saving a parameter value.");
    }
}
