#include "PtyServer.h"

#include "FileDescriptorDevice.h"
#include "FrameUnitLink.h"
#include "HostSession.h"
#include "StopSignal.h"
#include "TraceWriter.h"
#include "UnitOptions.h"
#include "UnitResponder.h"

#include "base/VerloException.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyServer::PtyServer(const UnitOptions& options, UnitResponder& responder, TraceWriter* trace,
                     std::chrono::steady_clock::time_point started)
    : options_(options), responder_(responder), trace_(trace), started_(started) {}

PtyServer::~PtyServer() = default;

double PtyServer::uptime() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void PtyServer::open() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        throw VerloException(std::string("Cannot create a pseudo-terminal: ") +
                             std::strerror(errno));
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(master);
        throw VerloException("Cannot set up the pseudo-terminal: " + reason);
    }
    // Raw bytes both ways: no echo, no line editing, no translation of CR/LF.
    termios settings{};
    if (::tcgetattr(master, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B115200);
        ::cfsetospeed(&settings, B115200);
        ::tcsetattr(master, TCSANOW, &settings);
    }
    device_ = std::make_unique<FileDescriptorDevice>(master);
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
    ::tcflush(device_->fd(), TCIOFLUSH);
    responder_.finishReboot(uptime());
    if (trace_ != nullptr) {
        trace_->event("rebooted");
    }
}
