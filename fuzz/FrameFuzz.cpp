// The serial link: the first byte chooses between taking in a stream of
// frames and sending a data frame whose acknowledgement wait reads the rest
// (the unit may interleave its own frames, pings among them).
#include "FuzzDevice.h"

#include "protocol/Command.h"
#include "protocol/QUIPFrame.h"
#include "protocol/SerialDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool sending = (data[0] & 1) != 0;
    FuzzDevice wire(data + 1, size - 1);
    SerialDevice device(wire);
    QUIPFrame link;
    ParameterValueMap cache;
    const SetCommand set(ParameterId(3, 3), ParameterValue(25));
    // Every receive, and every wait, takes at least one byte or ends with nothing.
    while (!wire.exhausted()) {
        survives([&] {
            if (sending) {
                link.setCommand(set);
                link.send(device, &cache);
                return;
            }
            if (!link.receive(device)) {
                return;
            }
            if (link.dataLength() > QUIPFrame::maximumDataLength) {
                fuzzFailure("frame data above the limit was accepted");
            }
            if (const Command* command = link.command()) {
                const auto reply = link.create();
                command->handle(cache, device, *reply);
            }
        });
    }
    return 0;
}
