// The main window's polling: one tick (pollNext and refreshControls, with
// every indicator bound), off line and against trx4-unit over loopback TCP,
// and the shown window polling on its timer; and the update dialog sending
// an image over a serial line paced as a real one. Each with the share of a
// core the process used meanwhile.

#include "LineRateTransfer.h"
#include "TemporaryProfile.h"
#include "UnitProcess.h"

#include "ui/app/CKORARemoteGUIDlg.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/ModalRunner.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <sys/resource.h>

namespace {

double processorSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The share of one core the process used from the construction until
// report, as the counter core_percent. Every benchmark here reports it: a
// program's runs must all carry the same counters for the CSV report.
class CoreShare {
public:
    void report(benchmark::State& state) const {
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start_;
        state.counters["core_percent"] = 100.0 * (processorSeconds() - processor_) / wall.count();
    }

private:
    double processor_ = processorSeconds();
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

void runTicks(benchmark::State& state, CKORARemoteGUIDlg& window) {
    window.stopPolling();
    const CoreShare share;
    for (auto _ : state) {
        window.pollTick();
    }
    share.report(state);
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

// The shown window polling on its own timer for five seconds.
void runIdle(benchmark::State& state, CKORARemoteGUIDlg& window) {
    window.show();
    const CoreShare share;
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    share.report(state);
}

void BM_IdleOffLine(benchmark::State& state) {
    TemporaryProfile profile;
    CKORARemoteGUIDlg window(ConnectionType::OffLine, QString(), 1);
    window.initialise();
    runIdle(state, window);
}
BENCHMARK(BM_IdleOffLine)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_IdleWithMovingMeters(benchmark::State& state) {
    TemporaryProfile profile;
    UnitProcess unit({"--listen", "127.0.0.1:0"});
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             unit.port());
    window.initialise();
    runIdle(state, window);
}
BENCHMARK(BM_IdleWithMovingMeters)->Iterations(1)->Unit(benchmark::kMillisecond);

// Plays the operator of the update dialog: chooses the image and confirms
// every question.
class UpdateOperator : public ModalRunner {
public:
    explicit UpdateOperator(QString image)
        : image_(std::move(image)), previous_(ModalRunner::install(this)) {}
    ~UpdateOperator() override { ModalRunner::install(previous_); }
    UpdateOperator(const UpdateOperator&) = delete;
    UpdateOperator& operator=(const UpdateOperator&) = delete;

    int runDialog(QDialog&) override { return QDialog::Accepted; }
    QString chooseFile(QWidget*, const FileRequest&) override { return image_; }

private:
    QString image_;
    ModalRunner* previous_;
};

// The update dialog on its 30 ms timer, one chunk a tick, over a
// pseudo-terminal paced at 115200 baud, a 256 KiB image: from the erase to
// the burn's confirmation, as the unit timed them.
void firmwareTransferDialogAtLineRate(benchmark::State& state) {
    TemporaryProfile profile;
    const TemporaryDirectory folder;
    const std::string path = folder.write("image.bin", lineRate::image());
    const std::string tracePath = (folder.path() / "trace.jsonl").string();
    const CoreShare share;
    for (auto _ : state) {
        UnitProcess unit = lineRate::unit(tracePath);
        profile.set(QStringLiteral("Serial Ports/COM1"), QString::fromStdString(unit.firstLine()));
        {
            CKORARemoteGUIDlg window(ConnectionType::Serial, QString(), 1);
            window.initialise();
            if (window.connectionType() != ConnectionType::Serial) {
                state.SkipWithError("the emulator could not be reached");
                return;
            }
            CDownload dialog(*window.parameterSet(), window, window.exceptionHandler());
            const UpdateOperator player(QString::fromStdString(path));
            dialog.selectFile();
            dialog.startUpdate();
            // Until the burn is sent, or a failure stopped the timer.
            QEventLoop loop;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                if (dialog.state() != CDownload::State::Downloading || dialog.timer() == 0) {
                    loop.quit();
                }
            });
            watch.start(50);
            loop.exec();
        }
        unit.stop();
        if (!lineRate::timeIteration(state, readTrace(tracePath))) {
            return;
        }
    }
    share.report(state);
    lineRate::countPayload(state);
}
BENCHMARK(firmwareTransferDialogAtLineRate)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);

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
