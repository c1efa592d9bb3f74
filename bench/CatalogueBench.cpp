#include "catalogue/KORAParams.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <stdexcept>
#include <string>

namespace {

const ParameterId surroundDelay(std::uint16_t{0x0303});
const ParameterId language(std::uint16_t{0x0319});

// What opening an Off Line connection costs: the whole table with its texts
// and rules, every first value read from the simulated unit.
void constructOffLine(benchmark::State& state) {
    DummyKORAProtocol unit;
    ForwardingProtocol front(&unit);
    for (auto _ : state) {
        KORAParams params(front);
        benchmark::DoNotOptimize(params.controlParameters().size());
    }
}
BENCHMARK(constructOffLine)->Unit(benchmark::kMillisecond);

std::string saved(KORAParams& params) {
    std::ostringstream file;
    params.saveControls(file);
    return file.str();
}

// Saving the configuration, then loading another one, which changes values
// on the simulated unit; the two alternate, so every restore writes.
void saveAndRestoreOffLine(benchmark::State& state) {
    DummyKORAProtocol unit;
    ForwardingProtocol front(&unit);
    KORAParams params(front);
    const std::string factory = saved(params);
    params.controlParameters().find(surroundDelay).setValue(ParameterValue(42));
    params.controlParameters().find(language).setValue(ParameterValue(3));
    const std::string changed = saved(params);
    if (factory == changed) {
        throw std::logic_error("the two configurations must differ");
    }
    bool toFactory = true;
    for (auto _ : state) {
        benchmark::DoNotOptimize(saved(params));
        std::istringstream file(toFactory ? factory : changed);
        params.restoreControls(file);
        toFactory = !toFactory;
    }
}
BENCHMARK(saveAndRestoreOffLine)->Unit(benchmark::kMillisecond);

} // namespace
