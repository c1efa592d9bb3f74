#include "protocol/Command.h"
#include "protocol/QUIPFrame.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "transport/SerialDeviceImplementation.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace {

// One direction of an in-memory wire.
using Pipe = std::deque<std::uint8_t>;

// One end of the wire: writes go out on one pipe, reads come from the other.
class PipeEnd : public SerialDeviceImplementation {
public:
    PipeEnd(Pipe& out, Pipe& in) : out_(out), in_(in) {}
    void setTimeout(std::uint32_t) override {}
    void write(const std::uint8_t* bytes, std::size_t count) override {
        out_.insert(out_.end(), bytes, bytes + count);
    }
    // In bulk, so that the wire's own cost stays small beside the link's.
    std::size_t read(std::uint8_t* buffer, std::size_t count) override {
        const std::size_t taken = std::min(count, in_.size());
        const auto end = in_.begin() + static_cast<std::ptrdiff_t>(taken);
        std::copy(in_.begin(), end, buffer);
        in_.erase(in_.begin(), end);
        return taken;
    }

private:
    Pipe& out_;
    Pipe& in_;
};

// Every status parameter of the unit plus the firmware version text.
StatusCommand fullStatus() {
    ParameterValueMap values;
    for (std::uint8_t index = 1; index <= 21; ++index) {
        values[ParameterId(1, index)] = ParameterValue(index * 100);
    }
    values[ParameterId(1, 22)] = ParameterValue(std::string("1.2.1.5"));
    return StatusCommand(CommandType::lookUp(CommandType::Status), values);
}

// Encodes a Status on one side and decodes it on the other, through the link
// type under test. Frames need the receiver's acknowledgement; one is primed
// so that each receive leaves the acknowledgement the next send consumes.
template <typename Link> void statusRoundTrip(benchmark::State& state) {
    Pipe toUnit;
    Pipe toHost;
    PipeEnd hostEnd(toUnit, toHost);
    PipeEnd unitEnd(toHost, toUnit);
    SerialDevice host(hostEnd);
    SerialDevice unit(unitEnd);
    Link sender;
    Link receiver;
    ParameterValueMap cache;
    if constexpr (std::is_same_v<Link, QUIPFrame>) {
        QUIPFrame(QUIPFrame::Acknowledgement).send(unit, nullptr);
    }
    const StatusCommand status = fullStatus();
    std::int64_t bytes = 0;
    for (auto _ : state) {
        sender.setCommand(status);
        sender.send(host, &cache);
        if (!receiver.receive(unit) || receiver.command() == nullptr ||
            !receiver.command()->contains(ParameterId(1, 22))) {
            throw std::runtime_error("the Status did not arrive");
        }
        bytes += static_cast<std::int64_t>(receiver.dataLength());
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(statusRoundTrip<QUIPPacket>)->Name("statusRoundTrip/packet");
BENCHMARK(statusRoundTrip<QUIPFrame>)->Name("statusRoundTrip/frame");

} // namespace
