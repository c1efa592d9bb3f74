#pragma once

#include "base/Clock.h"
#include "base/ParameterValueMap.h"
#include "protocol/ProtocolImplementation.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class Command;
class CommandType;
class QUIPLink;
class SerialDevice;
class SetCommand;

// Talks to a real unit over a byte device through a link. Reads are answered
// from a cache that the unit's Status messages keep current; writes wait
// until the unit reports the written values back.
class QUIPProtocol : public ProtocolImplementation {
public:
    static constexpr std::uint32_t replyTimeoutMs = 2000;
    static constexpr std::uint32_t pollTimeoutMs = 1;
    static constexpr std::uint32_t flashTimeoutMs = 30000;
    static constexpr std::chrono::seconds pingInterval{15};
    // A unit silent this long is pinged; a ping unanswered this long means the
    // connection is lost.
    static constexpr std::chrono::seconds silenceLimit{2};
    static constexpr std::chrono::seconds pingAnswerLimit{2};
    static constexpr unsigned maximumMessagesPerReply = 300;
    static constexpr unsigned maximumMessagesPerGetAll = 20;
    static constexpr std::size_t blockSize = 4096;
    // A Status at least this long answers a Get All as the full response does.
    static constexpr std::size_t minimumGetAllStatusLength = 100;

    // Called with every message the unit sends, after it has been taken in.
    using MessageListener = std::function<void(const Command&)>;

    // Reads every value from the unit (Get All) before returning. Device,
    // link and clock are not owned and must outlive the protocol.
    QUIPProtocol(SerialDevice& device, QUIPLink& link, Clock& clock, MessageListener listener = {});
    QUIPProtocol(SerialDevice& device, QUIPLink& link);
    // Tells the unit the host is leaving and lets go of the status code
    // tables, which other connections may still be using.
    ~QUIPProtocol() override;
    QUIPProtocol(const QUIPProtocol&) = delete;
    QUIPProtocol& operator=(const QUIPProtocol&) = delete;

    DeviceStatus getStatus() override;
    void setValue(ParameterId id, const ParameterValue& value, std::uint32_t delayMs) override;
    // The cached value; an identifier never reported gets a default value.
    ParameterValue getValue(ParameterId id) override;
    // Takes in at most one pending message, then answers from the cache.
    // Pings without waiting when the unit has been silent for silenceLimit or
    // no ping went out for pingInterval; fails with "Lost Connection to the
    // Device" once a ping has had no message at all for pingAnswerLimit, and
    // again at every later call, so a retry does not wait a second time.
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override;
    bool hasDevice() override;
    // When the unit last sent a message (the end of the Get All at first).
    Clock::time_point lastMessageTime() const { return lastMessageTime_; }
    // Takes in every message already waiting (at most
    // maximumMessagesPerReply) without waiting for another, then pings or
    // fails as getValues does, and returns how many messages it took in. For a
    // caller that polls far less often than the unit sends its Status, which
    // getValues alone, taking one message a call, could not keep up with.
    std::size_t takeInPending();
    // Sends the file in blocks numbered from 1; never asks for the burn.
    void downloadFile(const std::string& fileName, ProgressCommand& progress) override;
    // Block 1 erases the flash first; burn writes the image and reboots the unit.
    void downloadBlock(const std::uint8_t* bytes, std::size_t count, std::uint32_t blockNumber,
                       bool burn) override;
    void setValues(const ParameterValueMap& values, std::uint32_t delayMs) override;
    std::string getEventLog() override;
    std::string getErrorLog() override;
    // Sends one flash step (Erase Flash, Download Data or Burn And Reboot) as
    // it is and waits for its Flash Operation Done: FlashException with the
    // unit's code when that is not 0. For a caller that relays another host's
    // steps, which downloadBlock would pad with an empty block.
    void flashStep(const Command& command);

private:
    void getAll();
    void requestAll();
    // Any message at all shows that the unit is alive.
    void received();
    void checkSilence();
    void dispatch(const Command& command);
    void sendAndConfirm(const SetCommand& command, std::uint32_t delayMs);
    void send(const Command& command);
    void awaitReply(const CommandType& expected, std::uint32_t timeoutMs);
    std::string requestLog(const CommandType& request, const CommandType& reply);

    SerialDevice* device_;
    QUIPLink* link_;
    Clock* clock_;
    ParameterValueMap cache_;
    Clock::time_point lastPingTime_;
    Clock::time_point lastMessageTime_;
    // When the ping that no message has followed yet went out.
    std::optional<Clock::time_point> unansweredPing_;
    MessageListener listener_;
};
