#include "protocol/RetryingProtocol.h"

#include "base/VerloException.h"
#include "support/RecordingProgress.h"
#include "support/RecordingProtocol.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace {

const ParameterId id(0x0301);
const ParameterValue one(1);
const ParameterValueMap written{{id, one}};
const std::uint8_t block[1] = {0};
ParameterValueMap answer;
RecordingProgress progress;

using Call = std::function<void(GenericProtocol&)>;

// Each operation of the front end, and whether a failure is retried: never a
// download block, which the unit would append twice.
const std::tuple<const char*, bool, Call> operations[] = {
    {"setValue", true, [](auto& p) { p.setValue(id, one, 0); }},
    {"setValues", true, [](auto& p) { p.setValues(written, 0); }},
    {"setValuesAndRead", true, [](auto& p) { p.setValuesAndRead(written, answer, 0); }},
    {"getValue", true, [](auto& p) { p.getValue(id); }},
    {"getValues", true, [](auto& p) { p.getValues({id}, answer); }},
    {"setValueAndRead", true, [](auto& p) { p.setValueAndRead(id, one, 0); }},
    {"downloadBlock", false, [](auto& p) { p.downloadBlock(block, 1, 1, false); }},
    {"getEventLog", true, [](auto& p) { p.getEventLog(); }},
    {"getErrorLog", true, [](auto& p) { p.getErrorLog(); }},
    {"getStatus", false, [](auto& p) { p.getStatus(); }},
    {"downloadFile", false, [](auto& p) { p.downloadFile("image.bin", progress); }},
};

TEST(RetryingProtocolTest, TriesOnceMoreAfterAProtocolFailureAndNeverAfterOthers) {
    for (const auto& [name, retried, call] : operations) {
        RecordingProtocol unit;
        RetryingProtocol protocol(&unit, 2);
        unit.failNext(HostException("Error: Illegal Parameter Value"), 3);
        EXPECT_THROW(call(protocol), HostException) << name;
        EXPECT_EQ(unit.failuresLeft, retried ? 1 : 2) << name;
        unit.failNext(VerloException("TRX4 Disconnected"), 2);
        EXPECT_THROW(call(protocol), VerloException) << name;
        EXPECT_EQ(unit.failuresLeft, 1) << name;
        unit.failNext(ProtocolException("CRC error"), 1);
        if (retried) {
            EXPECT_NO_THROW(call(protocol)) << name;
        }
    }
    RecordingProtocol unit;
    unit.device = false;
    EXPECT_TRUE(RetryingProtocol(&unit, 2).hasDevice()) << "without asking";
}

} // namespace
