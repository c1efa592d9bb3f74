// Writes the fuzz targets' seed corpora from real messages: the emulated
// unit's replies to the host's requests, a saved configuration of the
// off-line catalogue and small valid firmware images. Run it again (with the
// corpus folder as argument) when the protocol or the file formats change.
#include "Scenario.h"
#include "UnitOptions.h"
#include "UnitResponder.h"
#include "UnitState.h"

#include "catalogue/KORAParams.h"
#include "firmware/MD5Validator.h"
#include "protocol/Command.h"
#include "protocol/DummyKORAProtocol.h"
#include "protocol/ForwardingProtocol.h"
#include "protocol/QUIPFrame.h"

#include "support/UnitWire.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bodyOf(const Command& command) {
    Bytes body(command.size());
    command.write(body.data(), body.size());
    return body;
}

class CorpusWriter {
public:
    explicit CorpusWriter(std::filesystem::path root) : root_(std::move(root)) {}

    void write(const std::string& target, const std::string& name, const Bytes& bytes) {
        const auto folder = root_ / target;
        std::filesystem::create_directories(folder);
        std::ofstream file(folder / name, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path root_;
};

void append(Bytes& to, const Bytes& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// A framed-protocol record: frame type, 2-byte length, payload.
Bytes record(std::uint8_t type, const Bytes& payload = {}) {
    Bytes out{type, static_cast<std::uint8_t>(payload.size() >> 8),
              static_cast<std::uint8_t>(payload.size() & 0xFF)};
    append(out, payload);
    return out;
}

Bytes image(const std::string& payload) {
    Bytes bytes{0x54, 0x52, 0x58, 0x34};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    const auto digest = MD5Validator::digest(bytes.data(), bytes.size());
    bytes.insert(bytes.end(), digest.begin(), digest.end());
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " CORPUS-FOLDER\n";
        return 2;
    }
    CorpusWriter corpus(argv[1]);

    // The unit's answers to one session of the host's requests.
    UnitState state(UnitState::catalogueRanges());
    UnitOptions options;
    UnitResponder unit(state, Scenario::defaultScenario(), options);
    const auto ask = [&unit](const Command& request) {
        const Bytes body = bodyOf(request);
        auto outcome = unit.respond(UnitRequest::decode(body.data(), body.size()), 1.5);
        return bodyOf(*outcome.replies.at(0));
    };
    const Bytes block(64, 0xA5);
    const std::vector<std::pair<std::string, Bytes>> replies{
        {"get-all-response", ask(GetAllCommand())},
        {"status", bodyOf(*unit.liveStatus(2.0))},
        {"set-confirmed", ask(SetCommand(ParameterId(3, 3), ParameterValue(25)))},
        {"set-refused", ask(SetCommand(ParameterId(3, 3), ParameterValue(151)))},
        {"event-log", ask(LogRequestCommand(CommandType::lookUp(CommandType::GetEventLog)))},
        {"error-log", ask(LogRequestCommand(CommandType::lookUp(CommandType::GetErrorLog)))},
        {"erase-done", ask(EraseFlashCommand())},
        {"download-done", ask(DownloadDataCommand(block.data(), block.size()))},
        {"ping-request", bodyOf(PingRequestCommand())},
        {"ping-response", ask(PingRequestCommand())},
        {"flash-failed", bodyOf(FlashOperationDoneCommand(2))},
    };

    Bytes session;
    Bytes framedSession{0};
    for (const auto& [name, body] : replies) {
        corpus.write("command", name, body);
        corpus.write("packet", name, unitwire::packet(body));
        Bytes frames{0};
        append(frames, unitwire::dataFrame(body));
        corpus.write("frame", name, frames);
        append(session, unitwire::packet(body));
        append(framedSession, unitwire::dataFrame(body));
    }
    corpus.write("packet", "session", session);
    corpus.write("frame", "session", framedSession);
    // Sending: the unit pings before it acknowledges, then acknowledges.
    Bytes pingFirst{1};
    append(pingFirst, unitwire::dataFrame(bodyOf(PingRequestCommand())));
    append(pingFirst, unitwire::frame(QUIPFrame::Acknowledgement));
    append(pingFirst, unitwire::frame(QUIPFrame::Acknowledgement));
    corpus.write("frame", "ping-before-acknowledgement", pingFirst);

    // A whole serial session: Get All, polls, a write, a log and a flash block.
    const auto body = [&replies](const std::string& name) {
        for (const auto& [known, bytes] : replies) {
            if (known == name) {
                return bytes;
            }
        }
        throw std::logic_error("no reply " + name);
    };
    Bytes conversation = record(QUIPFrame::Acknowledgement);
    append(conversation, record(QUIPFrame::Data, body("get-all-response")));
    append(conversation, record(QUIPFrame::Data, body("status")));
    append(conversation, record(QUIPFrame::Acknowledgement));
    append(conversation, record(QUIPFrame::Data, body("ping-response")));
    append(conversation, record(QUIPFrame::Acknowledgement));
    append(conversation, record(QUIPFrame::Data, body("set-confirmed")));
    append(conversation, record(QUIPFrame::Acknowledgement));
    append(conversation, record(QUIPFrame::Data, body("event-log")));
    for (int step = 0; step < 3; ++step) {
        append(conversation, record(QUIPFrame::Acknowledgement));
        append(conversation, record(QUIPFrame::Data, body("erase-done")));
    }
    corpus.write("framed-protocol", "session", conversation);
    Bytes refused = record(QUIPFrame::Acknowledgement);
    append(refused, record(QUIPFrame::Data, body("get-all-response")));
    append(refused, record(QUIPFrame::Acknowledgement));
    append(refused, record(QUIPFrame::Data, body("set-refused")));
    append(refused, record(QUIPFrame::Disconnect));
    corpus.write("framed-protocol", "refused-then-gone", refused);

    // Identifiers and values as they travel and as files store them.
    int written = 0;
    for (const auto& [id, value] : state.values()) {
        Bytes wire(2 + value.encodedSize());
        id.encode(wire.data(), 2);
        value.encode(wire.data() + 2, wire.size() - 2);
        std::ostringstream file;
        std::int32_t checksum = 0;
        id.save(file, checksum);
        value.save(file, checksum);
        const std::string stored = file.str();
        char name[8];
        std::snprintf(name, sizeof name, "%04x", id.number());
        corpus.write("parameter-value", std::string(name) + "-wire", wire);
        corpus.write("parameter-value", std::string(name) + "-file",
                     Bytes(stored.begin(), stored.end()));
        if (++written == 6) {
            break;
        }
    }

    // The off-line catalogue's configuration, and the unit's values as one.
    DummyKORAProtocol simulated;
    ForwardingProtocol front(&simulated);
    KORAParams params(front);
    std::ostringstream saved;
    params.saveControls(saved);
    const std::string configuration = saved.str();
    corpus.write("configuration", "factory", Bytes(configuration.begin(), configuration.end()));
    std::ostringstream unitValues;
    state.values().save(unitValues);
    const std::string values = unitValues.str();
    corpus.write("configuration", "unit-values", Bytes(values.begin(), values.end()));

    corpus.write("firmware-image", "version", image("FW:1.3.0.0 image body"));
    corpus.write("firmware-image", "empty-payload", image(""));
    corpus.write("firmware-image", "two-chunks", image(std::string(4096 + 100, 'x')));
    return 0;
}
