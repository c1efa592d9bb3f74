#pragma once

#include "base/Clock.h"
#include "session/ConnectionTarget.h"
#include "session/ProtocolChain.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

class Command;
class GenericProtocol;
class KORAParams;

// The one way every program opens a unit: it owns the links that outlive each
// connection, the connection chain and the parameter set over it, and
// destroys them in that order reversed (parameter set, chain, links). It never
// falls back to the simulated unit by itself: a failed open throws and leaves
// the session closed; a program that wants the simulated unit says so.
class UnitSession {
public:
    using MessageListener = QUIPProtocol::MessageListener;
    using ReplacedListener = std::function<void()>;

    // A connection made apart from every session, on whatever thread, for
    // one session to adopt. Its chain has links of its own, so that making
    // it touches nothing a session holds; it is destroyed parameter set
    // first, and tells the unit that the host leaves.
    struct Connection {
        Connection();
        Connection(Connection&&) noexcept;
        Connection& operator=(Connection&&) noexcept;
        ~Connection();

        ConnectionTarget target;
        std::unique_ptr<ProtocolChain> chain;
        std::unique_ptr<KORAParams> parameters;
    };

    UnitSession();
    // Closes the connection: the unit is told that the host leaves.
    ~UnitSession();
    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;

    // Closes whatever is open, then opens target: the chain (with its Get All)
    // and the parameter set (which reads every first value). Failures throw
    // VerloException and leave the session closed, remembering target.
    void open(const ConnectionTarget& target);
    // Opens the last target again.
    void reopen();
    // Opens target as open() does, but into a connection of its own that no
    // session holds yet; listener hears the unit's messages. Failures throw
    // VerloException.
    static Connection connect(const ConnectionTarget& target, MessageListener listener = {});
    // Closes whatever is open and takes over connection, whose target becomes
    // the last target. The session's own message listener does not hear it.
    void adopt(Connection connection);
    // Closes whatever is open and opens the simulated unit, keeping the last
    // target for a later reopen().
    void goOffLine();
    // Destroys the parameter set, then the chain. Closing a closed session
    // does nothing.
    void close();

    bool isOpen() const { return parameters_ != nullptr; }
    bool isOffLine() const { return isOpen() && chain_->lastMessageTime() == std::nullopt; }
    // The target of the last open() (off line before any).
    const ConnectionTarget& target() const { return target_; }
    // The open parameter set, or nullptr when closed.
    KORAParams* parameters() const { return parameters_.get(); }
    // The open chain's outer front end; only while open.
    GenericProtocol& frontEnd();
    // The open chain's front end that does not retry, for a caller that
    // relays another host's requests: each must reach the unit once, as that
    // host sent it. Only while open.
    GenericProtocol& singleAttemptFrontEnd();
    // Takes in every message the unit has sent since the last call (none off
    // line or closed) and returns how many.
    std::size_t takeInPending();
    // Sends one flash step (Erase Flash, Download Data or Burn And Reboot) as
    // it is, without retrying, and waits for its reply; see
    // QUIPProtocol::flashStep. Only while open on a unit.
    void flashStep(const Command& step);
    // How long the unit has been silent: since its last message, or since the
    // connection opened; zero off line or closed.
    Clock::duration silence() const;

    // Told after the parameter set has been destroyed or replaced (at close,
    // open, reopen and goOffLine); parameters() gives the new one or nullptr.
    void setReplacedListener(ReplacedListener listener) { replaced_ = std::move(listener); }
    // Told of every message the unit sends, on the thread that takes it in.
    void setMessageListener(MessageListener listener) { message_ = std::move(listener); }

private:
    void openChain(const ConnectionTarget& target);
    void notifyReplaced() const;

    ConnectionTarget target_;
    // The links and the simulated unit outlive every connection of the session.
    ConnectionLinks links_;
    std::unique_ptr<ProtocolChain> chain_;
    std::unique_ptr<KORAParams> parameters_;
    ReplacedListener replaced_;
    MessageListener message_;
};
