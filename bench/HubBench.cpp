// trx4-hub between trx4-unit processes and its hosts, all on the loopback
// interface: what a confirmed Set costs through the hub beside the same Set
// sent straight to a unit, how long a host takes to connect and have its Get
// All, what holding 100 units costs the hub (polling them alone, as
// trx4-exporter does, and serving each to two watching hosts), and how long
// a scrape of /metrics takes meanwhile.
#include "RawHost.h"
#include "UnitProcess.h"

#include "support/LoopbackServer.h"
#include "support/TemporaryDirectory.h"

#include "base/ParameterValue.h"
#include "protocol/ForwardingProtocol.h"
#include "session/ProtocolChain.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const ParameterId surroundDelay(std::uint16_t{0x0303});

constexpr std::size_t fleetSize = 100;

// The hub holding count units of one emulator from the first on, serving
// each on a port of its own or, with served false, only /metrics (its port
// the one output line). Returned once it holds every unit: until then a
// served port closes each host at once and /metrics shows the unit down.
std::unique_ptr<UnitProcess> startHub(const TemporaryDirectory& folder, const UnitProcess& units,
                                      std::size_t first, std::size_t count, bool served = true) {
    std::string file;
    for (std::size_t i = first; i < first + count; ++i) {
        file += "unit-" + std::to_string(i) + " tcp:127.0.0.1:" + std::to_string(units.portOf(i)) +
                (served ? " serve:127.0.0.1:0\n" : "\n");
    }
    std::vector<std::string> arguments{"--units",
                                       folder.write("units", {file.begin(), file.end()})};
    if (!served) {
        arguments.insert(arguments.end(), {"--web.listen-address", "127.0.0.1:0"});
    }
    auto hub = std::make_unique<UnitProcess>(arguments, std::chrono::seconds(20),
                                             served ? count : 1, TRX4_HUB_EXECUTABLE);
    if (!served) {
        httplib::Client scraper("127.0.0.1", hub->port());
        const std::regex down("trx4_up\\{.*\\} 0");
        if (!waitUntil(
                [&] {
                    const auto reply = scraper.Get("/metrics");
                    return reply && !std::regex_search(reply->body, down);
                },
                std::chrono::seconds(60))) {
            throw std::runtime_error("not every unit came up within 60 s");
        }
        return hub;
    }
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
          "extra_p99_ms", "core_percent", "messages_per_s", "rss_mb", "threads", "descriptors",
          "scrape_median_ms", "scrape_core_percent"}) {
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

// The hub's resident memory, threads and descriptors now.
void countHubResources(benchmark::State& state, const UnitProcess& hub) {
    state.counters["rss_mb"] = statusField(hub.pid(), "VmRSS") / 1024.0;
    state.counters["threads"] = statusField(hub.pid(), "Threads");
    const std::filesystem::path descriptors = "/proc/" + std::to_string(hub.pid()) + "/fd";
    state.counters["descriptors"] = static_cast<double>(std::distance(
        std::filesystem::directory_iterator(descriptors), std::filesystem::directory_iterator()));
}

// 10 s of the hub holding 100 units of one emulator (each sending its Status
// every 100 ms) with two hosts watching each.
void hubFleet(benchmark::State& state) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", std::to_string(fleetSize), "--listen", "127.0.0.1:0"},
                            std::chrono::seconds(20), fleetSize);
    const auto hub = startHub(folder, units, 0, fleetSize);
    const Watchers watchers(*hub, fleetSize, 2);
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
    countHubResources(state, *hub);
}
BENCHMARK(hubFleet)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The same 100 units held without serving them, as trx4-exporter does: 10 s
// of polling each once a second (the hub's share of a core: core_percent);
// then 1000 scrapes of /metrics one after another, whose 99th percentile is
// the time reported (the median and the share of a core meanwhile are
// counters).
void hubFleetPollingAndScrape(benchmark::State& state) {
    const TemporaryDirectory folder;
    const UnitProcess units({"--units", std::to_string(fleetSize), "--listen", "127.0.0.1:0"},
                            std::chrono::seconds(20), fleetSize);
    const auto hub = startHub(folder, units, 0, fleetSize, false);
    httplib::Client scraper("127.0.0.1", hub->port());
    startCounters(state);
    for (auto _ : state) {
        double before = processorSeconds(hub->pid());
        std::this_thread::sleep_for(std::chrono::seconds(10));
        state.counters["core_percent"] = 100.0 * (processorSeconds(hub->pid()) - before) / 10;
        std::vector<double> milliseconds;
        before = processorSeconds(hub->pid());
        const auto started = Clock::now();
        for (int i = 0; i < 1000; ++i) {
            const auto asked = Clock::now();
            const auto reply = scraper.Get("/metrics");
            milliseconds.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
            if (!reply || reply->status != 200) {
                state.SkipWithError("a scrape failed");
                return;
            }
        }
        const std::chrono::duration<double> scraping = Clock::now() - started;
        state.SetIterationTime(percentile(milliseconds, 99) / 1000.0);
        state.counters["scrape_median_ms"] = percentile(milliseconds, 50);
        state.counters["scrape_core_percent"] =
            100.0 * (processorSeconds(hub->pid()) - before) / scraping.count();
    }
    countHubResources(state, *hub);
}
BENCHMARK(hubFleetPollingAndScrape)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
