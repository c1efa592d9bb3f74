#include "protocol/QUIPProtocol.h"

#include "base/Clock.h"
#include "base/ProgressCommand.h"
#include "base/StatusCodeFactory.h"
#include "base/VerloException.h"
#include "protocol/Command.h"
#include "protocol/QUIPLink.h"
#include "protocol/SerialDevice.h"

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

QUIPProtocol::QUIPProtocol(SerialDevice& device, QUIPLink& link, Clock& clock,
                           MessageListener listener)
    : device_(&device), link_(&link), clock_(&clock), listener_(std::move(listener)) {
    getAll();
    lastPingTime_ = clock_->now();
    lastMessageTime_ = lastPingTime_;
}

QUIPProtocol::QUIPProtocol(SerialDevice& device, QUIPLink& link)
    : QUIPProtocol(device, link, Clock::system()) {}

QUIPProtocol::~QUIPProtocol() {
    try {
        link_->sendDisconnect(*device_);
    } catch (...) {
        // Leaving regardless: a unit that cannot be told will time out on its own.
    }
    KORAStatusCodeFactory::destroy();
}

DeviceStatus QUIPProtocol::getStatus() {
    return OkStatus();
}

void QUIPProtocol::setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) {
    sendAndConfirm(SetCommand(id, value), delayMs);
}

ParameterValue QUIPProtocol::getValue(ParameterId id) {
    return cache_[id];
}

void QUIPProtocol::getValues(const ParameterIdList& ids, ParameterValueMap& result) {
    device_->setTimeout(pollTimeoutMs);
    if (link_->receive(*device_)) {
        received();
        if (const Command* command = link_->command()) {
            device_->setTimeout(replyTimeoutMs);
            dispatch(*command);
            device_->setTimeout(pollTimeoutMs);
        }
    }
    checkSilence();
    ProtocolImplementation::getValues(ids, result);
    device_->setTimeout(replyTimeoutMs);
}

std::size_t QUIPProtocol::takeInPending() {
    std::size_t count = 0;
    // Only what has arrived: waiting for one more message would wake the
    // caller's thread a second time for nothing.
    device_->setTimeout(0);
    while (count < maximumMessagesPerReply && link_->receive(*device_)) {
        ++count;
        received();
        if (const Command* command = link_->command()) {
            device_->setTimeout(replyTimeoutMs);
            dispatch(*command);
            device_->setTimeout(0);
        }
    }
    device_->setTimeout(replyTimeoutMs);
    checkSilence();
    return count;
}

bool QUIPProtocol::hasDevice() {
    return true;
}

void QUIPProtocol::downloadFile(const std::string& fileName, ProgressCommand& progress) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        throw VerloException("Error opening " + fileName);
    }
    file.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(std::max<std::streamoff>(file.tellg(), 0));
    file.seekg(0, std::ios::beg);

    std::vector<char> block(blockSize);
    std::uint64_t position = 0;
    // Numbered by count, so that exactly the first block erases the flash
    // whatever the file's length.
    for (std::uint32_t number = 1;; ++number) {
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto count = static_cast<std::size_t>(file.gcount());
        if (count == 0) {
            if (file.bad()) {
                throw VerloException("error reading file");
            }
            return;
        }
        position += count;
        downloadBlock(reinterpret_cast<const std::uint8_t*>(block.data()), count, number, false);
        // A file that grew while being sent must not push the figure past 100.
        progress.execute(static_cast<std::uint32_t>(position * 100 / std::max(size, position)));
    }
}

void QUIPProtocol::downloadBlock(const std::uint8_t* bytes, std::size_t count,
                                 std::uint32_t blockNumber, bool burn) {
    if (blockNumber == 1) {
        flashStep(EraseFlashCommand());
    }
    flashStep(DownloadDataCommand(bytes, count));
    if (burn) {
        try {
            flashStep(BurnAndRebootCommand());
        } catch (const FlashException& refusal) {
            throw FlashException(refusal.what(), refusal.code(), true);
        }
    }
}

void QUIPProtocol::setValues(const ParameterValueMap& values, std::uint32_t delayMs) {
    sendAndConfirm(SetCommand(values), delayMs);
}

std::string QUIPProtocol::getEventLog() {
    return requestLog(CommandType::lookUp(CommandType::GetEventLog),
                      CommandType::lookUp(CommandType::EventLog));
}

std::string QUIPProtocol::getErrorLog() {
    return requestLog(CommandType::lookUp(CommandType::GetErrorLog),
                      CommandType::lookUp(CommandType::ErrorLog));
}

void QUIPProtocol::getAll() {
    try {
        requestAll();
    } catch (const ConnectionClosedException&) {
        // A unit that already serves a host closes every other connection straight away.
        throw ConnectionClosedException(ConnectionClosedException::closedAtOnce);
    }
}

void QUIPProtocol::requestAll() {
    device_->setTimeout(replyTimeoutMs);
    send(GetAllCommand());
    for (unsigned count = 1;; ++count) {
        if (!link_->receive(*device_)) {
            throw ProtocolException("No response to 'Get All' request");
        }
        const Command* command = link_->command();
        if (command != nullptr) {
            dispatch(*command);
        }
        if (count >= maximumMessagesPerGetAll) {
            throw ProtocolException("No response to 'Get All' request");
        }
        if (command == nullptr) {
            continue;
        }
        const std::uint8_t code = command->commandType().code();
        if (code == CommandType::GetAllResponse ||
            (code == CommandType::Status && link_->dataLength() >= minimumGetAllStatusLength)) {
            return;
        }
    }
}

void QUIPProtocol::received() {
    lastMessageTime_ = clock_->now();
    unansweredPing_.reset();
}

void QUIPProtocol::checkSilence() {
    const Clock::time_point now = clock_->now();
    if (unansweredPing_) {
        if (now - *unansweredPing_ >= pingAnswerLimit) {
            throw ProtocolException("Lost Connection to the Device");
        }
        return;
    }
    if (now - lastMessageTime_ >= silenceLimit || now - lastPingTime_ > pingInterval) {
        // Either side may ping at any time; the answer is taken in by a later
        // step. A serial link still waits for the frame's acknowledgement.
        device_->setTimeout(replyTimeoutMs);
        send(PingRequestCommand());
        lastPingTime_ = now;
        unansweredPing_ = now;
    }
}

void QUIPProtocol::dispatch(const Command& command) {
    received();
    const auto reply = link_->create();
    command.handle(cache_, *device_, *reply);
    if (listener_) {
        listener_(command);
    }
}

void QUIPProtocol::send(const Command& command) {
    link_->setCommand(command);
    link_->send(*device_, &cache_);
}

void QUIPProtocol::sendAndConfirm(const SetCommand& command, std::uint32_t delayMs) {
    send(command);
    // One deadline from the moment the Set is out, however many other
    // messages arrive meanwhile: a unit that reports other values without
    // pause cannot hold the caller past it.
    const Clock::time_point deadline = clock_->now() + std::chrono::milliseconds(replyTimeoutMs);
    clock_->sleep(std::chrono::milliseconds::zero());
    for (unsigned count = 0; count < maximumMessagesPerReply; ++count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_->now()).count();
        if (left <= 0) {
            break;
        }
        device_->setTimeout(static_cast<std::uint32_t>(left));
        if (!link_->receive(*device_)) {
            break;
        }
        const Command* reply = link_->command();
        if (reply == nullptr) {
            break;
        }
        dispatch(*reply);
        if (reply->commandType().code() == CommandType::Status && command.isAnsweredBy(*reply)) {
            break;
        }
    }
    clock_->sleep(std::chrono::milliseconds(delayMs));
}

void QUIPProtocol::awaitReply(const CommandType& expected, std::uint32_t timeoutMs) {
    for (unsigned count = 1;; ++count) {
        device_->setTimeout(timeoutMs);
        if (!link_->receive(*device_)) {
            throw ProtocolException("Expected response not received");
        }
        const Command* command = link_->command();
        if (command != nullptr) {
            dispatch(*command);
        }
        if (count >= maximumMessagesPerReply || command == nullptr) {
            throw ProtocolException("Expected response not received");
        }
        if (command->commandType() == expected) {
            return;
        }
    }
}

void QUIPProtocol::flashStep(const Command& command) {
    send(command);
    awaitReply(CommandType::lookUp(CommandType::FlashOperationDone), flashTimeoutMs);
}

std::string QUIPProtocol::requestLog(const CommandType& request, const CommandType& reply) {
    send(LogRequestCommand(request));
    awaitReply(reply, replyTimeoutMs);
    return cache_[LogCommand::logSlot].toString();
}
