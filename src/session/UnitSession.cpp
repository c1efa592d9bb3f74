#include "session/UnitSession.h"

#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "protocol/ForwardingProtocol.h"

#include <utility>

UnitSession::Connection::Connection() = default;
UnitSession::Connection::Connection(Connection&&) noexcept = default;
UnitSession::Connection& UnitSession::Connection::operator=(Connection&&) noexcept = default;
UnitSession::Connection::~Connection() {
    parameters.reset();
    chain.reset();
}

UnitSession::UnitSession() = default;

UnitSession::~UnitSession() {
    parameters_.reset();
    chain_.reset();
}

void UnitSession::open(const ConnectionTarget& target) {
    close();
    target_ = target;
    openChain(target);
}

void UnitSession::reopen() {
    open(target_);
}

UnitSession::Connection UnitSession::connect(const ConnectionTarget& target,
                                             MessageListener listener) {
    Connection connection;
    connection.target = target;
    connection.chain = std::make_unique<ProtocolChain>(target, std::move(listener));
    connection.parameters = std::make_unique<KORAParams>(connection.chain->frontEnd());
    return connection;
}

void UnitSession::adopt(Connection connection) {
    close();
    target_ = connection.target;
    chain_ = std::move(connection.chain);
    parameters_ = std::move(connection.parameters);
    notifyReplaced();
}

void UnitSession::goOffLine() {
    close();
    openChain(ConnectionTarget{});
}

void UnitSession::close() {
    if (chain_ == nullptr && parameters_ == nullptr) {
        return;
    }
    parameters_.reset();
    chain_.reset();
    notifyReplaced();
}

GenericProtocol& UnitSession::frontEnd() {
    if (chain_ == nullptr) {
        throw VerloException("No unit is open");
    }
    return chain_->frontEnd();
}

GenericProtocol& UnitSession::singleAttemptFrontEnd() {
    if (chain_ == nullptr) {
        throw VerloException("No unit is open");
    }
    return chain_->protocolFrontEnd();
}

std::size_t UnitSession::takeInPending() {
    return chain_ != nullptr ? chain_->takeInPending() : 0;
}

void UnitSession::flashStep(const Command& step) {
    if (chain_ == nullptr) {
        throw VerloException("No unit is open");
    }
    chain_->flashStep(step);
}

Clock::duration UnitSession::silence() const {
    if (chain_ == nullptr) {
        return Clock::duration::zero();
    }
    const std::optional<Clock::time_point> last = chain_->lastMessageTime();
    return last ? Clock::system().now() - *last : Clock::duration::zero();
}

void UnitSession::openChain(const ConnectionTarget& target) {
    // The listener reaches message_ through this session, so that one set
    // later hears the messages of a connection opened before.
    auto chain = std::make_unique<ProtocolChain>(target, links_, [this](const Command& command) {
        if (message_) {
            message_(command);
        }
    });
    auto parameters = std::make_unique<KORAParams>(chain->frontEnd());
    chain_ = std::move(chain);
    parameters_ = std::move(parameters);
    notifyReplaced();
}

void UnitSession::notifyReplaced() const {
    if (replaced_) {
        replaced_();
    }
}
