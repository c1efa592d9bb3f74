#include "PtyServer.h"

#include "FileDescriptorDevice.h"
#include "FrameUnitLink.h"
#include "HostSession.h"
#include "StopSignal.h"
#include "TraceWriter.h"
#include "UnitOptions.h"
#include "UnitResponder.h"

#include "base/FileDescriptor.h"
#include "base/VerloException.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <utility>

PtyServer::PtyServer(const UnitOptions& options, UnitResponder& responder, TraceWriter* trace,
                     std::chrono::steady_clock::time_point started)
    : options_(options), responder_(responder), trace_(trace), started_(started) {}

PtyServer::~PtyServer() = default;

double PtyServer::uptime() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void PtyServer::open() {
    FileDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.isOpen()) {
        throw VerloException(std::string("Cannot create a pseudo-terminal: ") +
                             std::generic_category().message(errno));
    }
    const auto setUpFailed = [] {
        return VerloException(std::string("Cannot set up the pseudo-terminal: ") +
                              std::generic_category().message(errno));
    };
    char name[128];
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0 ||
        ::ptsname_r(master.get(), name, sizeof name) != 0) {
        throw setUpFailed();
    }
    // Raw bytes both ways: no echo, no line editing, no translation of CR/LF, any of which
    // would corrupt the frames.
    termios settings{};
    if (::tcgetattr(master.get(), &settings) != 0) {
        throw setUpFailed();
    }
    ::cfmakeraw(&settings);
    if (::cfsetispeed(&settings, B115200) != 0 || ::cfsetospeed(&settings, B115200) != 0 ||
        ::tcsetattr(master.get(), TCSANOW, &settings) != 0) {
        throw setUpFailed();
    }
    device_ = std::make_unique<FileDescriptorDevice>(std::move(master));
    device_->setInterruption(StopSignal::requested);
    if (options_.lineRate) {
        device_->paceAt(UnitOptions::lineBytesPerSecond);
    }
    path_ = name;
    if (trace_ != nullptr) {
        trace_->event("listening", path_);
    }
}

void PtyServer::run() {
    while (!StopSignal::requested()) {
        if (device_->hostGone() && !device_->checkHostBack()) {
            // The terminal side is closed: wait for the next host to open it.
            StopSignal::sleepFor(HostSession::slice);
            continue;
        }
        FrameUnitLink link(*device_, trace_, options_.corruptEvery);
        HostSession session(link, responder_, options_, trace_, started_);
        const HostSession::End end = session.run();
        if (end == HostSession::End::Stopped) {
            break;
        }
        if (end == HostSession::End::HostLeft) {
            // A terminal closed by a host that already said goodbye is no news.
            if (session.heardFromHost()) {
                responder_.logEvent(uptime(), "Host disconnected");
                if (trace_ != nullptr) {
                    trace_->event("host-left");
                }
            }
            // Frames the last host never read must not greet the next one.
            // Input is kept: the next host may already have sent its first frame.
            // Unchecked: tcflush fails only on a descriptor that is no terminal.
            ::tcflush(device_->fd(), TCOFLUSH);
        }
        if (end == HostSession::End::Reboot) {
            reboot();
        }
    }
}

void PtyServer::reboot() {
    if (trace_ != nullptr) {
        trace_->event("rebooting", std::to_string(options_.rebootSeconds) + " s");
    }
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::seconds(options_.rebootSeconds);
    // A rebooting unit hears nothing: drop whatever arrives meanwhile.
    while (std::chrono::steady_clock::now() < until && !StopSignal::requested()) {
        device_->discardInput();
        StopSignal::sleepFor(std::chrono::milliseconds(20));
    }
    // Unchecked, as after a host left.
    ::tcflush(device_->fd(), TCIOFLUSH);
    responder_.finishReboot(uptime());
    if (trace_ != nullptr) {
        trace_->event("rebooted");
    }
}
