// trx4-hub between trx4-unit processes and its hosts, all on the loopback
// interface: what a confirmed Set costs through the hub beside the same Set
// sent straight to a unit, how long a host takes to connect and have its Get
// All, and what serving 100 units to two watching hosts each costs the hub.
#include "RawHost.h"
#include "UnitProcess.h"

#include "support/LoopbackServer.h"
#include "support/TemporaryDirectory.h"

#include "base/ParameterValue.h"
#include "protocol/ForwardingProtocol.h"
#include "session/ProtocolChain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const ParameterId surroundDelay(std::uint16_t{0x0303});

// The hub serving count units of one emulator from the first on, once it
// holds every one of them: until then it closes each host at once.
std::unique_ptr<UnitProcess> startHub(const TemporaryDirectory& folder, const UnitProcess& units,
                                      std::size_t first, std::size_t count) {
    std::string file;
    for (std::size_t i = first; i < first + count; ++i) {
        file += "unit-" + std::to_string(i) + " tcp:127.0.0.1:" + std::to_string(units.portOf(i)) +
                " serve:127.0.0.1:0\n";
    }
    auto hub = std::make_unique<UnitProcess>(
        std::vector<std::string>{"--units", folder.write("units", {file.begin(), file.end()})},
        std::chrono::seconds(20), count, TRX4_HUB_EXECUTABLE);
    for (std::size_t i = 0; i < count; ++i) {
        const bool held = waitUntil(
            [&] {
                RawHost host(hub->portOf(i));
                host.send(unitwire::body(unitwire::GetAll));
                return host.await(unitwire::GetAllResponse, std::chrono::milliseconds(500)) !=
                       nullptr;
            },
            std::chrono::seconds(30));
        if (!held) {
            throw std::runtime_error("the hub did not hold every unit within 30 s");
        }
    }
    return hub;
}

// Hosts that asked for everything and then only read what the hub passes on,
// on a thread of their own.
class Watchers {
public:
    Watchers(const UnitProcess& hub, std::size_t units, std::size_t perUnit) {
        for (std::size_t i = 0; i < units * perUnit; ++i) {
            hosts_.push_back(std::make_unique<RawHost>(hub.portOf(i / perUnit)));
            hosts_.back()->send(unitwire::body(unitwire::GetAll));
        }
        reader_ = std::thread([this] { read(); });
    }
    ~Watchers() {
        stop_ = true;
        reader_.join();
    }
    Watchers(const Watchers&) = delete;
    Watchers& operator=(const Watchers&) = delete;

    std::size_t received() const { return received_; }

private:
    void read() {
        std::vector<pollfd> ready;
        for (const auto& host : hosts_) {
            ready.push_back({host->socket(), POLLIN, 0});
        }
        while (!stop_) {
            if (::poll(ready.data(), ready.size(), 50) <= 0) {
                continue;
            }
            for (std::size_t i = 0; i < ready.size(); ++i) {
                if ((ready[i].revents & POLLIN) != 0) {
                    while (hosts_[i]->receive(std::chrono::milliseconds(0))) {
                        ++received_;
                    }
                }
            }
        }
    }

    std::vector<std::unique_ptr<RawHost>> hosts_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> received_{0};
    std::thread reader_;
};

// The CSV format wants the same counters in every row: each benchmark starts
// from all of them at 0 and fills in its own.
void startCounters(benchmark::State& state) {
    for (const char* name :
         {"direct_median_ms", "direct_p99_ms", "hub_median_ms", "hub_p99_ms", "extra_median_ms",
          "extra_p99_ms", "core_percent", "messages_per_s", "rss_mb", "threads", "descriptors"}) {
        state.counters[name] = 0;
    }
}

double percentile(std::vector<double> values, std::size_t percent) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * percent / 100)];
}

// The same confirmed Set, alternately straight to one unit and through the
// hub to another of the same emulator, while a second host watches through
// the hub. The time reported is the hub's median; the counters hold both
// medians and 99th percentiles and the hub's extra at each.
void hubConfirmedSet(benchmark::State& state) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", "2", "--listen", "127.0.0.1:0"}, std::chrono::seconds(20),
                            2);
    const auto hub = startHub(folder, units, 1, 1);
    const Watchers watcher(*hub, 1, 1);
    ProtocolChain direct(ConnectionTarget::tcp("127.0.0.1", units.portOf(0)));
    ProtocolChain shared(ConnectionTarget::tcp("127.0.0.1", hub->port()));
    std::vector<double> directMs;
    std::vector<double> hubMs;
    int value = 20;
    const auto timed = [&](ProtocolChain& chain) {
        const auto started = Clock::now();
        chain.protocolFrontEnd().setValue(surroundDelay, ParameterValue(value), 0);
        return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    };
    for (auto _ : state) {
        value = value == 20 ? 21 : 20;
        directMs.push_back(timed(direct));
        hubMs.push_back(timed(shared));
        state.SetIterationTime(hubMs.back() / 1000.0);
        // Both chains take in what the units sent meanwhile, as a window's tick does.
        direct.takeInPending();
        shared.takeInPending();
    }
    startCounters(state);
    if (shared.frontEnd().getValue(surroundDelay) != ParameterValue(value)) {
        state.SkipWithError("the unit did not confirm the last write through the hub");
        return;
    }
    state.counters["direct_median_ms"] = percentile(directMs, 50);
    state.counters["hub_median_ms"] = percentile(hubMs, 50);
    state.counters["direct_p99_ms"] = percentile(directMs, 99);
    state.counters["hub_p99_ms"] = percentile(hubMs, 99);
    state.counters["extra_median_ms"] = percentile(hubMs, 50) - percentile(directMs, 50);
    state.counters["extra_p99_ms"] = percentile(hubMs, 99) - percentile(directMs, 99);
}
BENCHMARK(hubConfirmedSet)->Iterations(2000)->UseManualTime()->Unit(benchmark::kMillisecond);

// A host connects to the hub and has its Get All: TCP connect, reader
// thread, and the hub's answer from what the unit reported.
void hubGetAllOnConnect(benchmark::State& state) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", "1", "--listen", "127.0.0.1:0"});
    const auto hub = startHub(folder, units, 0, 1);
    for (auto _ : state) {
        ProtocolChain chain(ConnectionTarget::tcp("127.0.0.1", hub->port()));
        benchmark::DoNotOptimize(chain.frontEnd().getValue(surroundDelay));
    }
    startCounters(state);
}
BENCHMARK(hubGetAllOnConnect)->Unit(benchmark::kMillisecond)->UseRealTime();

// User plus system time of the process so far, in seconds.
double processorSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int number = 3; fields >> field && number <= 15; ++number) {
        if (number >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A number from /proc/PID/status ("VmRSS", "Threads").
double statusField(pid_t pid, const std::string& name) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::stod(line.substr(name.size() + 1));
        }
    }
    return 0;
}

// 10 s of the hub holding 100 units of one emulator (each sending its Status
// every 100 ms) with two hosts watching each.
void hubFleet(benchmark::State& state) {
    constexpr std::size_t unitCount = 100;
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", std::to_string(unitCount), "--listen", "127.0.0.1:0"},
                            std::chrono::seconds(20), unitCount);
    const auto hub = startHub(folder, units, 0, unitCount);
    const Watchers watchers(*hub, unitCount, 2);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    startCounters(state);
    for (auto _ : state) {
        const double before = processorSeconds(hub->pid());
        const std::size_t receivedBefore = watchers.received();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.SetIterationTime(10);
        state.counters["core_percent"] = 100.0 * (processorSeconds(hub->pid()) - before) / 10;
        state.counters["messages_per_s"] =
            static_cast<double>(watchers.received() - receivedBefore) / 10;
    }
    state.counters["rss_mb"] = statusField(hub->pid(), "VmRSS") / 1024.0;
    state.counters["threads"] = statusField(hub->pid(), "Threads");
    const std::filesystem::path descriptors = "/proc/" + std::to_string(hub->pid()) + "/fd";
    state.counters["descriptors"] = static_cast<double>(std::distance(
        std::filesystem::directory_iterator(descriptors), std::filesystem::directory_iterator()));
}
BENCHMARK(hubFleet)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
