// The TCP link's receiver: a stream of packets as the unit's socket delivers
// them, each decoded and handled as the protocol dispatches it.
#include "FuzzDevice.h"

#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzDevice wire(data, size);
    SerialDevice device(wire);
    QUIPPacket link;
    ParameterValueMap cache;
    // Every receive takes at least one byte or reports nothing, so this ends.
    while (!wire.exhausted()) {
        survives([&] {
            if (!link.receive(device)) {
                return;
            }
            if (link.dataLength() > QUIPPacket::maximumBodyLength) {
                fuzzFailure("a packet body above the limit was accepted");
            }
            if (const Command* command = link.command()) {
                const auto reply = link.create();
                command->handle(cache, device, *reply);
            }
        });
    }
    return 0;
}
