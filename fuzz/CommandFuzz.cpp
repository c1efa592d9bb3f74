// Command bodies: the decoder of received messages, and the read of every
// command class whatever its type. A body that decodes must encode again and
// decode to the same encoding.
#include "FuzzDevice.h"

#include "protocol/Command.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"

#include <memory>
#include <vector>

namespace {

std::vector<std::uint8_t> encode(const Command& command) {
    std::vector<std::uint8_t> bytes(command.size());
    if (command.write(bytes.data(), bytes.size()) != bytes.size()) {
        fuzzFailure("a command wrote other than its size");
    }
    return bytes;
}

std::vector<std::unique_ptr<Command>> everyCommandClass() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(std::make_unique<PingRequestCommand>());
    commands.push_back(std::make_unique<PingResponseCommand>());
    commands.push_back(std::make_unique<GetAllCommand>());
    commands.push_back(std::make_unique<EraseFlashCommand>());
    commands.push_back(std::make_unique<BurnAndRebootCommand>());
    commands.push_back(
        std::make_unique<LogRequestCommand>(CommandType::lookUp(CommandType::GetEventLog)));
    commands.push_back(
        std::make_unique<LogRequestCommand>(CommandType::lookUp(CommandType::GetErrorLog)));
    commands.push_back(std::make_unique<SetCommand>());
    commands.push_back(std::make_unique<StatusCommand>());
    commands.push_back(std::make_unique<ErrorCommand>());
    commands.push_back(std::make_unique<FlashOperationDoneCommand>());
    commands.push_back(std::make_unique<DownloadDataCommand>());
    commands.push_back(std::make_unique<LogCommand>(CommandType::lookUp(CommandType::EventLog)));
    commands.push_back(std::make_unique<LogCommand>(CommandType::lookUp(CommandType::ErrorLog)));
    return commands;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzDevice wire(nullptr, 0);
    SerialDevice device(wire);
    ParameterValueMap cache;

    survives([&] {
        const auto decoded = Command::decode(data, size);
        if (decoded->commandType().code() != data[0]) {
            fuzzFailure("decoded as another command type");
        }
        const auto encoded = encode(*decoded);
        const auto again = Command::decode(encoded.data(), encoded.size());
        if (encode(*again) != encoded) {
            fuzzFailure("a decoded command does not encode back to itself");
        }
        QUIPPacket reply;
        decoded->handle(cache, device, reply);
    });

    for (const auto& command : everyCommandClass()) {
        survives([&] {
            if (command->read(data, size) > size) {
                fuzzFailure("a command read past its body");
            }
            encode(*command);
        });
    }
    return 0;
}
