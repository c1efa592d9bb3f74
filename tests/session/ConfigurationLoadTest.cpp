#include "session/ConfigurationLoad.h"
#include "base/VerloException.h"
#include "catalogue/RecordedCatalogue.h"
#include "support/RecordingObserver.h"
#include "support/TemporaryDirectory.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <tuple>

namespace {

using namespace std::string_literals;

std::vector<std::uint8_t> fileOf(const ParameterValueMap& values) {
    std::ostringstream stream;
    values.save(stream);
    const std::string bytes = stream.str();
    return {bytes.begin(), bytes.end()};
}

const ParameterId sdiGroup(std::uint16_t{0x0301});
const ParameterId surroundDelay(std::uint16_t{0x0303});

class ConfigurationLoadTest : public ::testing::Test {
protected:
    ConfigurationLoadTest() : before(catalogue.unit.values) { catalogue.build(); }

    // What the load raised, as "Class: message"; empty when it succeeded.
    std::string load(const std::string& path) {
        try {
            ConfigurationLoad::load(*catalogue.params, path, std::chrono::milliseconds(0));
        } catch (const FileException& error) {
            return std::string("FileException: ") + error.what();
        } catch (const HostException& error) {
            return std::string("HostException: ") + error.what();
        } catch (const ProtocolException& error) {
            return std::string("ProtocolException: ") + error.what();
        } catch (const VerloException& error) {
            return std::string("VerloException: ") + error.what();
        }
        return {};
    }

    RecordedCatalogue catalogue;
    const ParameterValueMap before;
    TemporaryDirectory folder;
};

// Each file also holds a good value first, which must not be written either.
TEST_F(ConfigurationLoadTest, AFileThatFailsAnyCheckWritesNothing) {
    const auto with = [](ParameterId id, const ParameterValue& value) {
        return fileOf({{sdiGroup, ParameterValue(2)}, {id, value}});
    };
    const std::string pipe = (folder.path() / "pipe.trx").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string big = folder.write("big.trx", with(surroundDelay, ParameterValue(30)));
    std::filesystem::resize_file(big, 1024 * 1024 + 1);
    const std::pair<std::string, std::string> rows[] = {
        {folder.write("zeros.trx", std::vector<std::uint8_t>(943, 0)), "holds no settings"},
        {folder.write("unknown.trx", with(ParameterId(std::uint16_t{0x0F01}), ParameterValue(1))),
         "record 0x0F01: no control parameter has this identifier"},
        {folder.write("status.trx", with(ParameterId(std::uint16_t{0x0113}), ParameterValue(1))),
         "record 0x0113: no control parameter has this identifier"},
        {folder.write("wide.trx", with(surroundDelay, ParameterValue(151))),
         "record 0x0303: holds 151; it takes 20..150"},
        {folder.write("word.trx", with(ParameterId(std::uint16_t{0x0300}), ParameterValue("ab"s))),
         "record 0x0300 Cinema Processor: holds 24930; it takes 0..8"},
        {folder.write("text.trx", with(ParameterId(std::uint16_t{0x0300}), ParameterValue("abc"s))),
         "record 0x0300 Cinema Processor: holds 3 bytes; it takes 0..8"},
        {folder.write("long.trx", with(ParameterId(std::uint16_t{0x0701}),
                                       ParameterValue(std::string(128, 'a')))),
         "record 0x0701 Host Name: holds 128 bytes of text; it takes at most 127"},
        {pipe, "Error opening " + pipe + ": it is not a regular file"},
        {big, big + " is 1048577 bytes long, too long for a configuration file"},
    };
    for (const auto& [path, message] : rows) {
        const std::string failure = load(path);
        EXPECT_EQ(failure.rfind("FileException: ", 0), 0u) << failure;
        EXPECT_NE(failure.find(message), std::string::npos) << failure;
        EXPECT_NE(failure.find(path), std::string::npos) << failure;
        EXPECT_EQ(catalogue.written(), std::vector<std::string>{}) << path;
    }
    EXPECT_EQ(catalogue.unit.values, before);
}

// 0x0301 is written first; once the unit holds it, the fault of the row
// strikes the write of 0x0303 and what follows.
TEST_F(ConfigurationLoadTest, AFailedLoadSetsBackWhatItWroteOrSaysWhatDiffers) {
    const std::string path = folder.write(
        "load.trx", fileOf({{sdiGroup, ParameterValue(2)}, {surroundDelay, ParameterValue(30)}}));
    const std::string failed = "Loading " + path + " failed: ";
    const std::string setBack = "; the settings held before the load were set back";
    const std::tuple<const char*, std::function<void(RecordingProtocol&)>, std::string, bool>
        rows[] = {
            {"a value the unit keeps refusing",
             [](RecordingProtocol& unit) { unit.refused.insert(surroundDelay); },
             "VerloException: " + failed + "the unit did not take 0x0303 (file 30, holds 20)" +
                 setBack,
             true},
            {"an Error reply",
             [](RecordingProtocol& unit) {
                 unit.failNext(HostException("Error: Illegal Parameter Value"));
             },
             "HostException: " + failed + "Error: Illegal Parameter Value" + setBack, true},
            {"an Error reply, and SDI Group refused on the way back",
             [](RecordingProtocol& unit) {
                 unit.failNext(HostException("Error: Illegal Parameter Value"));
                 unit.refused.insert(sdiGroup);
             },
             "HostException: " + failed +
                 "Error: Illegal Parameter Value; setting back the settings held before failed "
                 "(the "
                 "unit did not take back SDI Group (before 0 (Group 1), holds 2 (Group 3))); these "
                 "settings now differ from before: SDI Group (before 0 (Group 1), now 2 (Group 3))",
             false},
            {"a lost connection",
             [](RecordingProtocol& unit) {
                 unit.failNext(ProtocolException("Lost Connection to the Device"), 100);
             },
             "ProtocolException: " + failed +
                 "Lost Connection to the Device; the settings held before could not be set back; "
                 "these settings may now differ: SDI Group (before 0 (Group 1), last read 2 (Group "
                 "3))",
             false},
        };
    for (const auto& [name, fault, message, unitAsBefore] : rows) {
        catalogue.unit.values = before;
        catalogue.unit.refused.clear();
        catalogue.unit.failuresLeft = 0;
        catalogue.build();
        RecordingObserverOf<ControlParameter> gate;
        gate.onUpdate = [&](Subject&, Transaction*) {
            if (catalogue.unit.values[sdiGroup] == ParameterValue(2)) {
                fault(catalogue.unit);
                gate.onUpdate = nullptr;
            }
        };
        gate.watch(catalogue.control(0x0301));
        EXPECT_EQ(load(path), message) << name;
        EXPECT_EQ(catalogue.unit.values == before, unitAsBefore) << name;
    }
}

} // namespace
