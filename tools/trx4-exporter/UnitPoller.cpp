#include "UnitPoller.h"

#include "catalogue/KORAParams.h"

#include <algorithm>
#include <exception>
#include <iostream>

UnitPoller::UnitPoller(UnitEntry unit, std::chrono::milliseconds interval,
                       std::chrono::milliseconds firstDelay)
    : unit_(std::move(unit)), interval_(interval), firstDelay_(firstDelay) {
    working_.unit = unit_.name;
    published_ = working_;
    thread_ = std::thread([this] { run(); });
}

UnitPoller::~UnitPoller() {
    requestStop();
    thread_.join();
}

void UnitPoller::requestStop() {
    const std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    wake_.notify_all();
}

UnitSnapshot UnitPoller::snapshot() const {
    const std::lock_guard<std::mutex> guard(lock_);
    return published_;
}

bool UnitPoller::waitFor(std::chrono::steady_clock::duration duration) {
    std::unique_lock<std::mutex> guard(lock_);
    return !wake_.wait_for(guard, duration, [this] { return stopping_; });
}

void UnitPoller::run() {
    auto next = std::chrono::steady_clock::now() + firstDelay_;
    while (waitFor(next - std::chrono::steady_clock::now())) {
        try {
            poll();
            backOff_ = firstBackOff;
            next += interval_;
            // A poll that overran starts the next one at once, but no backlog.
            next = std::max(next, std::chrono::steady_clock::now());
        } catch (const std::exception& error) {
            failed(error.what());
            next = std::chrono::steady_clock::now() + backOff_;
            backOff_ = std::min(backOff_ * 2, std::chrono::seconds(longestBackOff));
        }
        const std::lock_guard<std::mutex> guard(lock_);
        published_ = working_;
    }
    // The connection closes on this thread, as it was opened.
    session_.close();
}

void UnitPoller::poll() {
    if (!session_.isOpen()) {
        session_.open(unit_.target);
        std::cerr << "trx4-exporter: " << unit_.name << ": connected" << std::endl;
    } else {
        session_.takeInPending();
        session_.parameters()->pollNext();
    }
    working_.takeValues(*session_.parameters());
    working_.up = true;
    working_.lastPollSeconds =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void UnitPoller::failed(const std::string& message) {
    // Told once when a unit goes down, not at every retry.
    if (working_.up || working_.pollErrors == 0) {
        std::cerr << "trx4-exporter: " << unit_.name << ": " << message << " (retrying in "
                  << backOff_.count() << " s)" << std::endl;
    }
    session_.close();
    working_.up = false;
    ++working_.pollErrors;
}
