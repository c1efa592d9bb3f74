// Identifiers and values in their wire form (packets) and file form
// (configuration files). A value that decodes must encode and decode back to itself.
#include "FuzzDevice.h"

#include "base/ParameterId.h"
#include "base/ParameterValue.h"

#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    survives([&] {
        ParameterId id;
        if (id.decode(data, size) != 2 || id.number() != (data[0] << 8 | data[1])) {
            fuzzFailure("identifier wire form misread");
        }
    });
    // A pair as a parameter list carries it: the identifier, then the value.
    survives([&] {
        if (size < 2) {
            return;
        }
        ParameterValue value;
        const std::size_t used = value.decode(data + 2, size - 2);
        const std::size_t expected = data[2] == 0 ? 3 : 2 + std::size_t{data[3]};
        if (used != expected || used > size - 2) {
            fuzzFailure("value wire form consumed other than its encoding");
        }
        std::vector<std::uint8_t> encoded(value.encodedSize());
        value.encode(encoded.data(), encoded.size());
        ParameterValue again;
        if (again.decode(encoded.data(), encoded.size()) != encoded.size() || again != value) {
            fuzzFailure("value wire form does not encode back to itself");
        }
    });

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::istringstream file(bytes);
    std::int32_t checksum = 0;
    // Each record takes at least one byte or ends the loop.
    while (survives([&] {
        ParameterId id;
        ParameterValue value;
        if (!id.restore(file, checksum) || !value.restore(file, checksum)) {
            throw VerloException("end of records");
        }
        std::ostringstream saved;
        std::int32_t savedChecksum = 0;
        value.save(saved, savedChecksum);
        if (saved.str().size() != value.length() + 4) {
            fuzzFailure("value file form saved at the wrong length");
        }
    })) {
    }
    return 0;
}
