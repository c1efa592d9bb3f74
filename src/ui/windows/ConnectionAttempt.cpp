#include "ui/windows/ConnectionAttempt.h"

#include <QMetaObject>
#include <QRunnable>
#include <QThreadPool>

#include <mutex>
#include <utility>

struct ConnectionAttempt::Link {
    std::mutex mutex;
    ConnectionAttempt* owner;
};

ConnectionAttempt::ConnectionAttempt(const ConnectionTarget& target)
    : target_(target), link_(std::make_shared<Link>()) {
    link_->owner = this;
    // A reserved thread of the application's pool: an abandoned attempt may
    // still wait for its connect time-out without delaying the next one, and
    // the application waits for every worker before it ends.
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->reserveThread();
    pool->startOnReservedThread(QRunnable::create([link = link_, target] {
        auto outcome = std::make_shared<Outcome>();
        try {
            outcome->connection = UnitSession::connect(target);
        } catch (...) {
            outcome->failure = std::current_exception();
        }
        const std::lock_guard lock(link->mutex);
        if (link->owner == nullptr) {
            // Abandoned: the connection closes here, on this thread.
            return;
        }
        ConnectionAttempt* owner = link->owner;
        // Posted under the lock, so the owner cannot go before the call is
        // queued; a call queued to an owner gone by then is dropped.
        QMetaObject::invokeMethod(
            owner,
            [owner, outcome] {
                owner->outcome_ = outcome;
                emit owner->finished();
            },
            Qt::QueuedConnection);
    }));
}

ConnectionAttempt::~ConnectionAttempt() {
    const std::lock_guard lock(link_->mutex);
    link_->owner = nullptr;
}

UnitSession::Connection ConnectionAttempt::take() {
    const std::shared_ptr<Outcome> outcome = std::exchange(outcome_, nullptr);
    if (outcome->failure) {
        std::rethrow_exception(outcome->failure);
    }
    return std::move(outcome->connection);
}
