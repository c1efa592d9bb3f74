// The front ends above the protocol: the one that checks list answers and
// the one that tries again.
#include "protocol/ForwardingProtocol.h"
#include "protocol/RetryingProtocol.h"

#include "base/VerloException.h"
#include "protocol/DummyKORAProtocol.h"
#include "support/RecordingProgress.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
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

// Answers every list with the same map, whatever was asked.
class ScriptedLists : public RecordingProtocol {
public:
    void getValues(const ParameterIdList&, ParameterValueMap& result) override {
        result.insert(values.begin(), values.end());
    }
};

TEST(ForwardingProtocolTest, ListsReadBackMustAnswerExactlyWhatWasAsked) {
    const ParameterId a(0x0101);
    const ParameterId b(0x0102);
    const ParameterValue v(1);
    const std::string missing = "The device did not return all of the requested parameters";
    const std::tuple<ParameterIdList, ParameterValueMap, std::string> rows[] = {
        {{a, b}, {{a, v}, {b, v}}, ""},
        {{a, a}, {{a, v}}, missing},
        {{a, b},
         {{a, v}, {b, v}, {ParameterId(0x0103), v}},
         "The device returned some unasked for parameters"},
        {{a, b},
         {{a, v}, {ParameterId(0x0109), v}},
         "The device returned some parameters that were not asked for."},
    };
    for (const auto& [asked, answer, failure] : rows) {
        ScriptedLists unit;
        unit.values = answer;
        ForwardingProtocol protocol(&unit);
        ParameterValueMap result;
        EXPECT_EQ(failureOf<ProtocolException>([&] { protocol.getValues(asked, result); }), failure)
            << asked.size() << " asked, " << answer.size() << " answered";
    }
    // A single write reads back what the unit kept.
    RecordingProtocol unit;
    unit.values[a] = ParameterValue(3);
    unit.refused.insert(a);
    EXPECT_EQ(ForwardingProtocol(&unit).setValueAndRead(a, v, 0), ParameterValue(3));
}

// Off line: the simulated unit keeps the eight signal outputs a permutation.
TEST(ForwardingProtocolTest, TheSimulatedUnitSwapsASignalOutputsValueWithItsHolder) {
    // Written identifier and value, then another identifier and its value afterwards.
    const std::tuple<std::uint16_t, int, std::uint16_t, int> rows[] = {
        {0x0310, 5, 0x0313, 2}, {0x0315, 0, 0x030e, 7}, {0x030e, 7, 0x0315, 0},
        {0x0310, 9, 0x0313, 5}, {0x0d02, 5, 0x0d05, 5},
    };
    for (const auto& [id, value, other, after] : rows) {
        DummyKORAProtocol simulated;
        ForwardingProtocol unit(&simulated);
        ParameterValueMap read;
        unit.setValuesAndRead({{ParameterId(id), ParameterValue(value)}}, read, 0);
        EXPECT_EQ(read, (ParameterValueMap{{ParameterId(id), ParameterValue(value)}})) << id;
        EXPECT_EQ(unit.getValue(ParameterId(other)), ParameterValue(after))
            << id << " to " << value;
        EXPECT_EQ(unit.getEventLog() + unit.getErrorLog(), "No EventsNo Errors");
    }
}

} // namespace
