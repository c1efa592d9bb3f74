#include "model/ControlParameter.h"
#include "model/Parameter.h"
#include "model/ParameterSet.h"
#include "protocol/DummyProtocol.h"
#include "protocol/ForwardingProtocol.h"

#include "support/RecordingObserver.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

// A set shaped like the unit's: 21 status parameters in group 1, eight of them
// level meters that notify on every refresh, and 113 control parameters, all
// read off line through the forwarding front end, each with one observer.
class UnitShapedSet : public ParameterSet {
public:
    explicit UnitShapedSet(GenericProtocol& protocol) : ParameterSet(protocol) {
        for (int index = 0; index < 21; ++index) {
            Parameter& parameter =
                statusParameters().add(&protocol, ParameterId(1, static_cast<std::uint8_t>(index)),
                                       MinimumShortValue, MaximumShortValue);
            parameter.setAlwaysNotify(index >= 6 && index <= 13);
        }
        for (int index = 0; index < 113; ++index) {
            controlParameters().add(&protocol,
                                    ParameterId(static_cast<std::uint8_t>(3 + 2 * (index / 40)),
                                                static_cast<std::uint8_t>(index % 40)),
                                    MinimumShortValue, MaximumShortValue);
        }
        addPollGroup(1);
        for (auto& [id, parameter] : statusParameters()) {
            auto& observer = observers_.emplace_back(std::make_unique<RecordingObserver>());
            observer->watch(parameter);
            observer->onUpdate = [raw = observer.get()](Subject&, Transaction*) {
                raw->calls.clear();
            };
        }
        for (auto& [id, parameter] : controlParameters()) {
            auto& observer = controlObservers_.emplace_back(
                std::make_unique<RecordingObserverOf<ControlParameter>>());
            observer->watch(parameter);
        }
    }

private:
    std::vector<std::unique_ptr<RecordingObserver>> observers_;
    std::vector<std::unique_ptr<RecordingObserverOf<ControlParameter>>> controlObservers_;
};

// One tick of the main window's 30 ms timer: poll the status group, then
// re-read every control parameter.
void pollTick(benchmark::State& state) {
    DummyProtocol unit;
    ForwardingProtocol front(&unit);
    UnitShapedSet set(front);
    for (auto _ : state) {
        set.pollNext();
        set.refreshControls();
    }
}
BENCHMARK(pollTick)->Unit(benchmark::kMicrosecond);

// Taking the answer of a full control read when nothing changed.
void controlUpdateAllUnchanged(benchmark::State& state) {
    DummyProtocol unit;
    ForwardingProtocol front(&unit);
    UnitShapedSet set(front);
    ParameterValueMap values;
    for (const auto& [id, parameter] : set.controlParameters()) {
        values.emplace(id, parameter.value());
    }
    for (auto _ : state) {
        set.controlParameters().updateAll(values);
    }
}
BENCHMARK(controlUpdateAllUnchanged)->Unit(benchmark::kMicrosecond);

// One notification reaching eight observers.
void notifyEightObservers(benchmark::State& state) {
    Parameter parameter(nullptr, ParameterId(1, 6), MinimumShortValue, MaximumShortValue);
    std::vector<std::unique_ptr<RecordingObserver>> observers;
    for (int index = 0; index < 8; ++index) {
        auto& observer = observers.emplace_back(std::make_unique<RecordingObserver>());
        observer->watch(parameter);
        observer->onUpdate = [raw = observer.get()](Subject&, Transaction*) { raw->calls.clear(); };
    }
    for (auto _ : state) {
        parameter.notify(nullptr);
    }
}
BENCHMARK(notifyEightObservers);

} // namespace
