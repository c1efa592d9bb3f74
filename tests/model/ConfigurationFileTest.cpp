#include "base/ParameterValueMap.h"
#include "base/VerloException.h"
#include "model/ControlParameterMap.h"
#include "model/ParameterTransaction.h"
#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string fileOf(const ParameterValueMap& values) {
    std::ostringstream stream;
    values.save(stream);
    return stream.str();
}

ParameterValueMap loaded(const Bytes& bytes) {
    std::istringstream stream(std::string(bytes.begin(), bytes.end()));
    return ParameterValueMap(stream);
}

TEST(ConfigurationFileTest, LayoutAndSignedChecksumAreByteExact) {
    const std::tuple<const char*, ParameterValueMap, Bytes> rows[] = {
        {"worked example",
         {{ParameterId(3, 1), ParameterValue(2)}},
         {1, 0, 0, 0, 3, 1, 2, 0, 0, 0, 0, 2, 9, 0, 0, 0}},
        {"no records", {}, Bytes(8, 0)},
        // 1 + (-128 + 5) + 3 + 3 * -128 = -503.
        {"signed bytes",
         {{ParameterId(0x80, 5), ParameterValue(std::string("\x80\x80\x80"))}},
         {1, 0, 0, 0, 0x80, 5, 3, 0, 0, 0, 0x80, 0x80, 0x80, 0x09, 0xFE, 0xFF, 0xFF}},
    };
    for (const auto& [name, values, bytes] : rows) {
        const std::string file = fileOf(values);
        EXPECT_EQ(Bytes(file.begin(), file.end()), bytes) << name;
        EXPECT_EQ(loaded(bytes), values) << name;
    }
    // Count 2, (3,1) = 2, (3,1) = 5, checksum 21, then two stray bytes.
    const Bytes twice{2, 0, 0, 0, 3, 1, 2, 0,  0, 0, 0, 2,    3,
                      1, 2, 0, 0, 0, 0, 5, 21, 0, 0, 0, 0xAA, 0xBB};
    EXPECT_EQ(loaded(twice), (ParameterValueMap{{ParameterId(3, 1), ParameterValue(5)}}));

    // A full disk may show only when the bytes finally leave.
    std::ofstream full("/dev/full", std::ios::binary);
    EXPECT_EQ(thrownMessage<VerloException>([&] { std::get<1>(rows[0]).save(full); }),
              "Error saving a parameter value.");
}

TEST(ConfigurationFileTest, DamagedOrShortFilesAreRefusedWithTheirReason) {
    const std::string saved =
        fileOf({{ParameterId(3, 1), ParameterValue(2)}, {ParameterId(3, 2), ParameterValue(7)}});
    const Bytes good(saved.begin(), saved.end());
    const auto cut = [&](std::size_t length) { return Bytes(good.begin(), good.begin() + length); };
    const auto changed = [&](std::size_t at, std::uint8_t byte) {
        Bytes bytes = good;
        bytes[at] = byte;
        return bytes;
    };
    const std::tuple<const char*, Bytes, const char*> rows[] = {
        {"a value byte changed", changed(11, 3), "The checksum does not match."},
        {"three count bytes", cut(3), "Error reading the parameter count."},
        {"nothing after the count", cut(4), "Error reading the checksum."},
        {"one identifier byte", cut(5), "Error restoring a parameter id"},
        {"three length bytes", cut(9), "Error restoring a parameter value."},
        {"one value byte", cut(11), "Error restoring a parameter value."},
        {"no checksum", cut(good.size() - 4), "Error reading the checksum."},
        // The reader takes the checksum as the start of a third record.
        {"count 3 for 2 records", changed(0, 3), "Error restoring a parameter value."},
        {"count of four billion", changed(3, 0xFF), "Error restoring a parameter value."},
        {"value length of four billion",
         {1, 0, 0, 0, 3, 1, 0xFF, 0xFF, 0xFF, 0xFF, 'A'},
         "Error restoring a parameter value."},
    };
    for (const auto& [name, file, message] : rows) {
        EXPECT_EQ(thrownMessage<VerloException>([&] { loaded(file); }), message) << name;
    }
}

// Three control parameters of the unit, each 1, limits 0..9.
class ConfigurationRestoreTest : public ::testing::Test {
protected:
    ConfigurationRestoreTest() {
        for (std::uint16_t id : {0x0301, 0x0302, 0x0303}) {
            unit.values[ParameterId(id)] = ParameterValue(1);
            controls.add(&unit, ParameterId(id), ParameterValue(0), ParameterValue(9));
        }
        controls.refreshAll(&unit);
    }

    int writesOf(std::uint16_t id) const {
        return static_cast<int>(std::count_if(unit.writes.begin(), unit.writes.end(),
                                              [id](const auto& w) { return w.id.number() == id; }));
    }
    // What the restore raised; empty when it succeeded.
    std::string restore(const std::string& file) {
        std::istringstream stream(file);
        return failureOf<VerloException>([&] { controls.restore(stream); });
    }

    const std::string invalid = "This is not a valid configuration file for this device";
    RecordingProtocol unit;
    ControlParameterMap controls;
};

TEST_F(ConfigurationRestoreTest, ARefusedValueIsOfferedAgainAndASaveTakesThePendingValues) {
    // 0x0301 is taken only once 0x0303 holds 5, as a rule of the unit might demand.
    unit.refused.insert(ParameterId(0x0301));
    ControlParameter& opener = controls.find(ParameterId(0x0303));
    RecordingObserverOf<ControlParameter> gate;
    gate.onUpdate = [&](Subject&, Transaction*) {
        if (opener.value() == ParameterValue(5)) {
            unit.refused.clear();
        }
    };
    gate.watch(opener);

    EXPECT_EQ(restore(fileOf({{ParameterId(0x0301), ParameterValue(2)},
                              {ParameterId(0x0302), ParameterValue(1)},
                              {ParameterId(0x0303), ParameterValue(5)}})),
              "");
    EXPECT_EQ(writesOf(0x0301), 2);
    EXPECT_EQ(writesOf(0x0302), 0) << "unchanged values are not written";
    EXPECT_EQ(controls.find(ParameterId(0x0301)).value(), ParameterValue(2));

    ParameterTransaction edit;
    controls.find(ParameterId(0x0302)).setValue(ParameterValue(4), &edit);
    std::ostringstream stream;
    controls.save(stream);
    EXPECT_EQ(stream.str(), fileOf({{ParameterId(0x0301), ParameterValue(2)},
                                    {ParameterId(0x0302), ParameterValue(4)},
                                    {ParameterId(0x0303), ParameterValue(5)}}));
}

TEST_F(ConfigurationRestoreTest, EveryFailureBecomesOneMessageAndKeepsWhatWasWritten) {
    unit.refused.insert(ParameterId(0x0302));
    EXPECT_EQ(restore(fileOf({{ParameterId(0x0302), ParameterValue(7)},
                              {ParameterId(0x0303), ParameterValue(8)}})),
              invalid);
    EXPECT_EQ(writesOf(0x0302), 5) << "offered five times";
    EXPECT_EQ(writesOf(0x0303), 1);

    EXPECT_EQ(restore(fileOf({{ParameterId(0x0301), ParameterValue(3)},
                              {ParameterId(0x0304), ParameterValue(5)}})),
              invalid);
    EXPECT_EQ(unit.values[ParameterId(0x0301)], ParameterValue(3));
    EXPECT_EQ(restore(std::string("\x01\0\0\0\x03", 5)), invalid) << "a file cut short";
    unit.failNext(ProtocolException("TRX4 Disconnected"));
    EXPECT_EQ(restore(fileOf({{ParameterId(0x0301), ParameterValue(2)}})), invalid);
    EXPECT_EQ(unit.values[ParameterId(0x0301)], ParameterValue(3));
}

} // namespace
