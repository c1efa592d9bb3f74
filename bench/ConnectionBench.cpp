// The application's TCP connection chain against a trx4-unit process on the
// loopback interface: what the operator waits for when connecting, polling
// and writing one value, and a firmware update's transfer; and trx4ctl's
// update over a serial line paced as a real one, and its save of a hundred
// units at once.
#include "LineRateTransfer.h"
#include "UnitProcess.h"

#include "base/ProgressCommand.h"
#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "firmware/FirmwareDownload.h"
#include "firmware/MD5Validator.h"
#include "session/ProtocolChain.h"
#include "session/UnitSession.h"
#include "support/FirmwareImages.h"
#include "support/TemporaryDirectory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

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
        ProtocolChain chain(ConnectionTarget::tcp("127.0.0.1", unit.port()));
        benchmark::DoNotOptimize(chain.frontEnd().getValue(surroundDelay));
    }
}
BENCHMARK(getAllOnConnect)->Unit(benchmark::kMillisecond)->UseRealTime();

// One tick of the window's timer when the unit has nothing to say: the poll
// of the status group waits its 1 ms for a message, the controls come from the cache.
void idlePollingStep(benchmark::State& state) {
    UnitProcess unit = quietUnit();
    UnitSession session;
    session.open(ConnectionTarget::tcp("127.0.0.1", unit.port()));
    KORAParams& params = *session.parameters();
    for (auto _ : state) {
        params.pollNext();
        params.refreshControls();
    }
}
BENCHMARK(idlePollingStep)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Set and the Status that confirms it; the value alternates so every write changes it.
void confirmedWrite(benchmark::State& state) {
    UnitProcess unit = quietUnit();
    ProtocolChain chain(ConnectionTarget::tcp("127.0.0.1", unit.port()));
    int value = 20;
    for (auto _ : state) {
        value = value == 20 ? 21 : 20;
        chain.frontEnd().setValue(surroundDelay, ParameterValue(value), 0);
    }
    if (chain.frontEnd().getValue(surroundDelay) != ParameterValue(value)) {
        state.SkipWithError("the unit did not confirm the last write");
    }
}
BENCHMARK(confirmedWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 4 MiB image, checked by its MD5 digest.
std::vector<std::uint8_t> firmwareImage() {
    return signedImage(patternPayload((std::size_t{4} << 20) - FirmwareImage::headerSize -
                                      MD5Validator::digestSize));
}

class IgnoredProgress : public ProgressCommand {
public:
    void execute(std::uint32_t) override {}
};

// After a burn the unit reboots; it takes hosts again once it is back.
std::unique_ptr<ProtocolChain> connectAfterReboot(std::uint16_t port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        try {
            return std::make_unique<ProtocolChain>(ConnectionTarget::tcp("127.0.0.1", port));
        } catch (const VerloException&) {
            if (std::chrono::steady_clock::now() > deadline) {
                throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

// The command-line path of an update: every chunk sent back to back, from the
// erase before the first to the burn after the last; connecting and checking
// the image are not timed.
void firmwareTransfer(benchmark::State& state) {
    const TemporaryDirectory folder;
    const std::vector<std::uint8_t> image = firmwareImage();
    const std::string path = folder.write("image.bin", image);
    UnitProcess unit(
        {"--listen", "127.0.0.1:0", "--status-interval-ms", "0", "--reboot-seconds", "0"});
    IgnoredProgress progress;
    for (auto _ : state) {
        state.PauseTiming();
        auto chain = connectAfterReboot(unit.port());
        FirmwareDownload download(chain->frontEnd());
        download.selectImage(path, progress);
        state.ResumeTiming();
        while (download.sendNextChunk()) {
        }
        state.PauseTiming();
        chain.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(firmwareTransfer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// trx4ctl firmware over a pseudo-terminal paced at 115200 baud, a 256 KiB
// image: from the erase to the burn's confirmation, as the unit timed them.
// Starting, connecting, the reboot and reconnecting are not counted.
void firmwareTransferAtLineRate(benchmark::State& state) {
    const TemporaryDirectory folder;
    const std::string path = folder.write("image.bin", lineRate::image());
    const std::string tracePath = (folder.path() / "trace.jsonl").string();
    for (auto _ : state) {
        UnitProcess unit = lineRate::unit(tracePath);
        const std::string output = (folder.path() / "output").string();
        const std::string errors = (folder.path() / "errors").string();
        const pid_t update = startProcess(TRX4CTL_EXECUTABLE,
                                          {"--serial", unit.firstLine(), "firmware", "--yes", path},
                                          {"", output, errors});
        const int status =
            awaitExit(update, std::chrono::steady_clock::now() + std::chrono::minutes(2));
        unit.stop();
        if (status != 0) {
            state.SkipWithError(("trx4ctl failed: " + fileText(errors)).c_str());
            return;
        }
        if (!lineRate::timeIteration(state, readTrace(tracePath))) {
            return;
        }
    }
    lineRate::countPayload(state);
}
BENCHMARK(firmwareTransferAtLineRate)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// trx4ctl --units saving 100 units played by one trx4-unit (each sending its
// Status every 100 ms), from the start of trx4ctl to its exit.
void fleetSave(benchmark::State& state) {
    constexpr std::size_t count = 100;
    const TemporaryDirectory folder;
    UnitProcess units({"--units", std::to_string(count), "--listen", "127.0.0.1:0"},
                      std::chrono::seconds(20), count);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += "booth-" + std::to_string(i) + " tcp:127.0.0.1:" + std::to_string(units.portOf(i)) +
                "\n";
    }
    const std::string file = folder.write("units.txt", {text.begin(), text.end()});
    const std::string saved = (folder.path() / "saved").string();
    const std::string output = (folder.path() / "output").string();
    for (auto _ : state) {
        const pid_t save = startProcess(TRX4CTL_EXECUTABLE, {"--units", file, "save", saved},
                                        {"", output, output});
        if (awaitExit(save, std::chrono::steady_clock::now() + std::chrono::minutes(1)) != 0) {
            state.SkipWithError(("trx4ctl failed: " + fileText(output)).c_str());
            return;
        }
    }
}
BENCHMARK(fleetSave)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

} // namespace
