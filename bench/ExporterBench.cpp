// trx4-exporter watching 100 units of one trx4-unit process on the loopback
// interface: what polling them all each second costs the exporter (processor
// and resident memory, read from /proc), and how long a scrape takes.
#include "UnitProcess.h"

#include "support/TemporaryDirectory.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t unitCount = 100;

// The emulated units and the exporter watching them, started once for all
// benchmarks, with every unit up.
struct Fleet {
    Fleet() {
        std::string units;
        for (std::size_t i = 0; i < unitCount; ++i) {
            units += "unit-" + std::to_string(i) +
                     " tcp:127.0.0.1:" + std::to_string(emulator.portOf(i)) + "\n";
        }
        exporter = std::make_unique<UnitProcess>(
            std::vector<std::string>{"--units", folder.write("units", {units.begin(), units.end()}),
                                     "--listen", "127.0.0.1:0"},
            std::chrono::seconds(20), 1, TRX4_EXPORTER_EXECUTABLE);
        client = std::make_unique<httplib::Client>("127.0.0.1", exporter->port());
        const std::regex down("trx4_up\\{.*\\} 0");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            const auto reply = client->Get("/metrics");
            if (reply && !std::regex_search(reply->body, down)) {
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("not every unit came up within 60 s");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    }

    TemporaryDirectory folder;
    UnitProcess emulator{{"--units", std::to_string(unitCount), "--listen", "127.0.0.1:0"},
                         std::chrono::seconds(20),
                         unitCount};
    std::unique_ptr<UnitProcess> exporter;
    std::unique_ptr<httplib::Client> client;
};

Fleet& fleet() {
    static Fleet running;
    return running;
}

// User plus system time of the process so far, in seconds.
double processorSeconds(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Fields after the command name, which ends with the last ')'.
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

double residentMegabytes(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

// The exporter's share of one core (core_percent) from construction to
// report, and its resident memory then (rss_mb). Both benchmarks report both,
// as the CSV format wants the same counters in every row.
class ExporterUsage {
public:
    ExporterUsage() : pid_(fleet().exporter->pid()), processor_(processorSeconds(pid_)) {}

    void report(benchmark::State& state) const {
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - started_;
        state.counters["core_percent"] =
            100.0 * (processorSeconds(pid_) - processor_) / wall.count();
        state.counters["rss_mb"] = residentMegabytes(pid_);
    }

private:
    pid_t pid_;
    double processor_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// 20 s of the exporter polling every unit each second.
void exporterFleetPolling(benchmark::State& state) {
    for (auto _ : state) {
        const ExporterUsage usage;
        std::this_thread::sleep_for(std::chrono::seconds(20));
        state.SetIterationTime(20);
        usage.report(state);
    }
}
BENCHMARK(exporterFleetPolling)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// 1000 scrapes of /metrics, one after another, while the exporter polls; the
// time reported is their 99th percentile.
void exporterScrapeP99(benchmark::State& state) {
    httplib::Client& client = *fleet().client;
    for (auto _ : state) {
        const ExporterUsage usage;
        std::vector<double> seconds;
        for (int i = 0; i < 1000; ++i) {
            const auto started = std::chrono::steady_clock::now();
            const auto reply = client.Get("/metrics");
            seconds.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
            if (!reply || reply->status != 200) {
                state.SkipWithError("a scrape failed");
                return;
            }
        }
        std::sort(seconds.begin(), seconds.end());
        state.SetIterationTime(seconds[seconds.size() * 99 / 100]);
        usage.report(state);
    }
}
BENCHMARK(exporterScrapeP99)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
