#pragma once

#include "session/UnitSession.h"

#include <QObject>

#include <exception>
#include <memory>

// Opens a unit away from the user-interface thread, so that the window keeps
// drawing and answering while a socket connects and the first exchange runs.
// The connection is made on a thread of its own into a session-less
// connection (UnitSession::connect), which touches nothing the window holds;
// it comes back through a queued call, and finished() is emitted on the
// thread that made the attempt. Destroying an unfinished attempt abandons
// it at once: the worker then closes what it opened on its own thread.
class ConnectionAttempt : public QObject {
    Q_OBJECT

public:
    explicit ConnectionAttempt(const ConnectionTarget& target);
    ~ConnectionAttempt() override;
    ConnectionAttempt(const ConnectionAttempt&) = delete;
    ConnectionAttempt& operator=(const ConnectionAttempt&) = delete;

    const ConnectionTarget& target() const { return target_; }
    bool isFinished() const { return outcome_ != nullptr; }
    // The connection made, or the failure rethrown. Only once finished, and
    // only once.
    UnitSession::Connection take();

signals:
    void finished();

private:
    // What the worker hands back: a connection or the failure that stopped it.
    struct Outcome {
        UnitSession::Connection connection;
        std::exception_ptr failure;
    };
    // What the worker and the attempt share; the attempt clears owner as it
    // goes, and the worker hands back only to an owner still there.
    struct Link;

    ConnectionTarget target_;
    std::shared_ptr<Link> link_;
    std::shared_ptr<Outcome> outcome_;
};
