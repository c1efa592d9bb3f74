// The serial protocol behind well-formed frames: the input is a list of
// records (frame type, 2-byte length, payload); each becomes a frame with a
// valid CRC, data payloads wrapped in a packet, so the fuzzer reaches the
// decoders and the protocol's loops instead of the checksum. The host then
// connects (Get All), polls, writes, reads a log and flashes a block.
#include "FuzzDevice.h"

#include "protocol/QUIPFrame.h"
#include "protocol/QUIPProtocol.h"
#include "protocol/SerialDevice.h"

#include "support/ManualClock.h"
#include "support/UnitWire.h"

#include <memory>

namespace {

unitwire::Bytes framesOf(const std::uint8_t* data, std::size_t size) {
    unitwire::Bytes wire;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t type = data[at] % 5;
        const std::size_t length =
            std::min<std::size_t>(data[at + 1] << 8 | data[at + 2], size - at - 3);
        const unitwire::Bytes payload(data + at + 3, data + at + 3 + length);
        at += 3 + length;
        const auto frame =
            type == QUIPFrame::Data ? unitwire::dataFrame(payload) : unitwire::frame(type);
        wire.insert(wire.end(), frame.begin(), frame.end());
    }
    return wire;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto wireBytes = framesOf(data, size);
    FuzzDevice wire(wireBytes.data(), wireBytes.size());
    SerialDevice device(wire);
    QUIPFrame link;
    ManualClock clock;
    std::unique_ptr<QUIPProtocol> protocol;
    if (!survives([&] { protocol = std::make_unique<QUIPProtocol>(device, link, clock); })) {
        return 0;
    }
    const ParameterIdList ids{ParameterId(1, 6), ParameterId(3, 3), ParameterId(7, 1)};
    // Each step reads at least once; once the input is spent every read is empty.
    for (int step = 0; step < 8 && !wire.exhausted(); ++step) {
        survives([&] {
            ParameterValueMap values;
            protocol->getValues(ids, values);
            if (values.size() != ids.size()) {
                fuzzFailure("a poll answered other than what was asked");
            }
        });
        clock.advance(std::chrono::seconds(16));
    }
    survives([&] { protocol->setValue(ParameterId(3, 3), ParameterValue(25), 0); });
    survives([&] { protocol->getEventLog(); });
    const std::uint8_t block[16] = {};
    survives([&] { protocol->downloadBlock(block, sizeof block, 1, true); });
    return 0;
}
