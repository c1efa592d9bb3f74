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

// Leaves an unasked-for value behind when it fails, as a list read broken off
// half way does.
class HalfAnswering : public RecordingProtocol {
public:
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override {
        if (failuresLeft > 0) {
            result[ParameterId(0x0999)] = one;
        }
        RecordingProtocol::getValues(ids, result);
    }
};

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
    HalfAnswering unit;
    unit.device = false;
    EXPECT_TRUE(RetryingProtocol(&unit, 2).hasDevice()) << "without asking";
    unit.values = written;
    unit.failNext(ProtocolException("CRC error"));
    ParameterValueMap read;
    RetryingProtocol(&unit, 2).getValues({id}, read);
    EXPECT_EQ(read, written) << "the second attempt starts from the caller's map";
}

} // namespace
