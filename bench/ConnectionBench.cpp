// The application's TCP connection chain against a trx4-unit process on the
// loopback interface: what the operator waits for when connecting, polling
// and writing one value.
#include "UnitProcess.h"
#include "e2e/HostChain.h"

#include "catalogue/KORAParams.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const ParameterId surroundDelay(std::uint16_t{0x0303});

// A quiet unit: no unsolicited Status messages, so the idle step is measured.
UnitProcess quietUnit() {
    return UnitProcess({"--listen", "127.0.0.1:0", "--status-interval-ms", "0"});
}

// Connecting: TCP connect, reader thread, Get All.
void getAllOnConnect(benchmark::State& state) {
    UnitProcess unit = quietUnit();
    for (auto _ : state) {
        TcpChain chain(unit.port());
        benchmark::DoNotOptimize(chain.protocol.getValue(surroundDelay));
    }
}
BENCHMARK(getAllOnConnect)->Unit(benchmark::kMillisecond)->UseRealTime();

// One tick of the window's timer when the unit has nothing to say: the poll
// of the status group waits its 1 ms for a message, the controls come from the cache.
void idlePollingStep(benchmark::State& state) {
    UnitProcess unit = quietUnit();
    TcpChain chain(unit.port());
    KORAParams params(chain.retrying);
    for (auto _ : state) {
        params.pollNext();
        params.refreshControls();
    }
}
BENCHMARK(idlePollingStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Set and the Status that confirms it; the value alternates so every write changes it.
void confirmedWrite(benchmark::State& state) {
    UnitProcess unit = quietUnit();
    TcpChain chain(unit.port());
    int value = 20;
    for (auto _ : state) {
        value = value == 20 ? 21 : 20;
        chain.retrying.setValue(surroundDelay, ParameterValue(value), 0);
    }
    if (chain.retrying.getValue(surroundDelay) != ParameterValue(value)) {
        state.SkipWithError("the unit did not confirm the last write");
    }
}
BENCHMARK(confirmedWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
