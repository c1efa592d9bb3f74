// Configuration files: the reader on its own (what it accepts must save and
// read back the same), then a restore into the off-line catalogue.
#include "FuzzDevice.h"

#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"

#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    survives([&] {
        std::istringstream file(bytes);
        const ParameterValueMap values(file);
        std::stringstream saved;
        values.save(saved);
        if (ParameterValueMap(saved) != values) {
            fuzzFailure("a configuration read does not save and read back the same");
        }
    });

    DummyKORAProtocol unit;
    ForwardingProtocol front(&unit);
    KORAParams params(front);
    survives([&] {
        std::istringstream file(bytes);
        params.restoreControls(file);
    });
    // The catalogue must stay usable whatever the file did to it.
    params.pollNext();
    params.refreshControls();
    return 0;
}
