#include "protocol/Command.h"

#include "base/VerloException.h"
#include "protocol/QUIPPacket.h"
#include "protocol/SerialDevice.h"
#include "support/ScriptedDevice.h"
#include "support/ThrownMessage.h"
#include "support/UnitWire.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace unitwire;

namespace {

std::unique_ptr<Command> decode(const Bytes& body) {
    return Command::decode(body.data(), body.size());
}
std::string decodeFailure(const Bytes& body) {
    return failureOf<VerloException>([&] { decode(body); });
}

// Applies received bodies as the protocol does, to its cache and reply link.
struct Handler {
    ScriptedDevice transport;
    SerialDevice device{transport};
    QUIPPacket reply;
    ParameterValueMap cache;

    void handle(const Bytes& body) { decode(body)->handle(cache, device, reply); }
    template <class E> std::string failure(Code reply, std::uint16_t status) {
        return failureOf<E>([&] { handle(statusCodeBody(reply, status)); });
    }
};

} // namespace

TEST(CommandTest, BodiesThatAreNoMessageOfTheUnitAreRejected) {
    for (const std::uint8_t code : {18, 127, 128, 255}) {
        EXPECT_EQ(decodeFailure({code, 0, 0, 0, 0}), "unrecognized command type") << int{code};
    }
    // Requests of the host, and the codes reserved for none.
    for (const std::uint8_t code : {2, 3, 5, 6, 7, 9, 11, 16, 17}) {
        EXPECT_EQ(decodeFailure({code}), "unrecognized message") << int{code};
    }
    EXPECT_EQ(decodeFailure({}), "missing command type in buffer");
    EXPECT_EQ(decodeFailure({Error}), "error type id not found in buffer");
    EXPECT_EQ(decodeFailure({Error, 0, 0, 2}), "error type id not found in buffer");
    EXPECT_EQ(decodeFailure({FlashOperationDone, 0, 0}), "Missing flash operation success code");
    EXPECT_EQ(decodeFailure({FlashOperationDone, 0, 0, 0}), "error type id not found in buffer");
    EXPECT_EQ(decodeFailure(join({body(Status, {{0x0102, integer(5)}}), {0x07}})),
              "id not found in buffer");

    const SetCommand set(ParameterId(0x0301), ParameterValue(7));
    Bytes buffer(set.size());
    EXPECT_EQ(failureOf<VerloException>([&] { set.write(buffer.data(), set.size() - 1); }),
              "not enough room for command in buffer");
}

TEST(CommandTest, ListsAndLogsRunToTheEndOfTheBodyAndStatusCodesRaiseTheUnitsMessage) {
    Handler handler;
    handler.handle({Status});
    EXPECT_TRUE(handler.cache.empty());
    handler.handle(textBody(EventLog, "boot\r\nlock 48k"));
    EXPECT_EQ(handler.cache.at(ParameterId(0xFFFF)).toString(), "boot\r\nlock 48k");
    handler.handle({ErrorLog});
    EXPECT_EQ(handler.cache.at(ParameterId(0xFFFF)).toString(), "");

    // The unit's status codes, read big-endian after two bytes the host skips.
    EXPECT_EQ(handler.failure<HostException>(Error, 1), "Error: Illegal Parameter Id");
    EXPECT_EQ(handler.failure<HostException>(Error, 2), "Error: Illegal Parameter Value");
    EXPECT_EQ(handler.failure<HostException>(Error, 3), "Error: Conflicting Parameter Values");
    for (const std::uint16_t unknown : {0x0000, 0x0200, 0xFFFF}) {
        EXPECT_EQ(handler.failure<HostException>(Error, unknown), "Error: Host Error") << unknown;
    }
    EXPECT_EQ(handler.failure<FlashException>(FlashOperationDone, 0), "");
    EXPECT_EQ(handler.failure<FlashException>(FlashOperationDone, 1),
              "Error: The client should retry the operation");
    EXPECT_EQ(handler.failure<FlashException>(FlashOperationDone, 2),
              "Error: The unit needs to be returned to Verlo for servicing");
    EXPECT_EQ(handler.failure<FlashException>(FlashOperationDone, 3), "Error: Host Error");
}
