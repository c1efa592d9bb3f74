#include "support/LoopbackServer.h"
#include "transport/Win32SerialPort.h"
#include "transport/Win32Socket.h"

#include <benchmark/benchmark.h>

#include <pty.h>
#include <string>
#include <unistd.h>

namespace {

// A read with a 1 ms time-out when the unit has nothing to say: the cost of one polling step.
void idleRead(benchmark::State& state, SerialDeviceImplementation& device) {
    device.setTimeout(1);
    std::uint8_t byte = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(device.read(&byte, 1));
    }
}

void idleSocketRead(benchmark::State& state) {
    LoopbackServer server;
    Win32Socket socket("127.0.0.1", server.port());
    server.accept();
    idleRead(state, socket);
}
BENCHMARK(idleSocketRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void idleSerialRead(benchmark::State& state) {
    int unit = -1;
    int terminal = -1;
    char name[128] = {};
    if (::openpty(&unit, &terminal, name, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    {
        Win32SerialPort port(std::string(name), 115200);
        idleRead(state, port);
    }
    ::close(terminal);
    ::close(unit);
}
BENCHMARK(idleSerialRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The largest packet the unit may send, from the peer's send to the whole read.
void largestPacketRoundTrip(benchmark::State& state) {
    LoopbackServer server;
    Win32Socket socket("127.0.0.1", server.port());
    server.accept();
    socket.setTimeout(5000);
    const std::vector<std::uint8_t> packet(16388, 0x5A);
    std::vector<std::uint8_t> received(packet.size());
    for (auto _ : state) {
        server.send(packet);
        if (socket.read(received.data(), received.size()) != received.size()) {
            state.SkipWithError("packet not received");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * packet.size()));
}
BENCHMARK(largestPacketRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
