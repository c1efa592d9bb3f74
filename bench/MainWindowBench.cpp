// One polling tick of the main window (pollNext and refreshControls, with
// every indicator bound), off line and against trx4-unit over loopback TCP.

#include "TemporaryProfile.h"
#include "UnitProcess.h"

#include "ui/CKORARemoteGUIDlg.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void runTicks(benchmark::State& state, CKORARemoteGUIDlg& window) {
    window.stopPolling();
    for (auto _ : state) {
        window.pollTick();
    }
}

void BM_PollingTickOffLine(benchmark::State& state) {
    TemporaryProfile profile;
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    window.initialise();
    runTicks(state, window);
}
BENCHMARK(BM_PollingTickOffLine);

void BM_PollingTickOverTcp(benchmark::State& state) {
    TemporaryProfile profile;
    UnitProcess unit({"--listen", "127.0.0.1:0"});
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             unit.port());
    window.initialise();
    if (window.connectionType() != ConnectionType::Ethernet) {
        state.SkipWithError("the emulator could not be reached");
        return;
    }
    runTicks(state, window);
}
BENCHMARK(BM_PollingTickOverTcp)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
