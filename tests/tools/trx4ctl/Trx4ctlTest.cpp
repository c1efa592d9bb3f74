#include "TracedUnitTest.h"
#include "base/ParameterValueMap.h"
#include "support/FirmwareImages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <regex>
#include <sstream>
#include <tuple>

namespace {

using testing::HasSubstr;
using namespace std::string_literals;
namespace fs = std::filesystem;

ProcessResult runCtl(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return runProcess(TRX4CTL_EXECUTABLE, arguments, input);
}

class Trx4ctl : public TracedUnitTest {
protected:
    void SetUp() override { startUnit({"--reboot-seconds", "1"}); }
    ProcessResult ctl(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), {"--tcp", "127.0.0.1:" + std::to_string(unit->port())});
        return runCtl(arguments, input);
    }
    std::string file(const std::string& name) const { return (folder.path() / name).string(); }
};

TEST_F(Trx4ctl, DiffShowsTheChangesAndASavedConfigurationLoadsBackByteForByte) {
    ASSERT_EQ(ctl({"save", file("before.trx")}).status, 0);
    ASSERT_EQ(ctl({"set", "0x0303=30", "sdi group=GROUP 3"}).status, 0);
    const auto diff = ctl({"diff", file("before.trx")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_EQ(diff.out, "0x0301 SDI Group: 0 (Group 1) -> 2 (Group 3)\n0x0303: 20 -> 30\n");
    ASSERT_EQ(ctl({"save", file("after.trx")}).status, 0);
    EXPECT_EQ(runCtl({"diff", file("before.trx"), file("after.trx")}).out, diff.out);

    ASSERT_EQ(ctl({"load", file("before.trx")}).status, 0);
    // Saving over a file replaces it whole and leaves no temporary beside it.
    ASSERT_EQ(ctl({"save", file("after.trx")}).status, 0);
    EXPECT_EQ(fileText(file("after.trx")), fileText(file("before.trx")));
    EXPECT_EQ(ctl({"diff", file("before.trx")}).status, 0);
    // Saving through a link replaces the link's target; the link stays.
    fs::create_directory(file("kept"));
    fs::create_symlink("kept/target.trx", file("link.trx"));
    ASSERT_EQ(ctl({"save", file("link.trx")}).status, 0);
    EXPECT_TRUE(fs::is_symlink(file("link.trx")));
    EXPECT_EQ(fileText(file("kept/target.trx")), fileText(file("before.trx")));
    // A target that is no regular file or has no folder is refused and left as it was.
    fs::create_directory(file("taken.trx"));
    ASSERT_EQ(::mkfifo(file("pipe.trx").c_str(), 0600), 0);
    for (const auto& [name, reason] : {std::pair{"taken.trx", "it is a directory"},
                                       {"pipe.trx", "it is not a regular file"},
                                       {"none/none.trx", "No such file or directory"}}) {
        const auto failed = ctl({"save", file(name)});
        EXPECT_EQ(failed.status, 4) << name;
        EXPECT_EQ(failed.err, "trx4ctl: Error saving " + file(name) + ": " + reason + "\n");
    }
    EXPECT_TRUE(fs::is_directory(file("taken.trx")));
    EXPECT_TRUE(fs::is_fifo(file("pipe.trx")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 7);
}

TEST_F(Trx4ctl, AnImageIsSentOnlyWhenTheOperatorConfirms) {
    const std::string good =
        folder.write("good.bin", signedImage(filledPayload(2 * 4096 + 10, "FW:1.4.2.7 build 9")));
    const auto declined = ctl({"firmware", good}, "n\n");
    EXPECT_EQ(declined.status, 2);
    EXPECT_THAT(declined.out, HasSubstr("CANNOT be interrupted"));
    // The image is checked and the operator asked before any connection.
    EXPECT_EQ(countEvents(readTrace(tracePath), "host-connected"), 0u);

    const auto run = ctl({"firmware", "--reboot-timeout", "30", good}, "y\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, testing::ContainsRegex("Current firmware version: 1\\.4\\.0\\.0\n(.|\n)*"
                                                "100%\n(.|\n)*Firmware version: 1\\.4\\.2\\.7\n"));
    EXPECT_THAT(flashSteps(stopAndReadTrace()),
                testing::ElementsAre("Erase Flash", "Download Data 1", "Download Data 2",
                                     "Download Data 3", "Burn And Reboot 3"));
}

// Logs, reports and the live view show the values set, control characters escaped.
TEST_F(Trx4ctl, SetWritesInOneTransactionOrNotAtAllAndEveryViewShowsWhatItWrote) {
    const auto set =
        ctl({"set", "cinema processor=arvo c", "0x0303=100", "Host Name=a\x1b[31mb\x7f"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "0x0300 Cinema Processor: 2 (Arvo C)\n0x0303: 100\n"
                       "0x0701 Host Name: a\\x1B[31mb\\x7F\n");
    EXPECT_EQ(ctl({"get", "0x0300", "0x0303", "0x0701"}).out, set.out);
    for (const auto& [assignment, range] :
         {std::pair{"0x0303=5", "20..150"}, std::pair{"Cinema Processor=Arvo Z", "0..8"}}) {
        const auto refused = ctl({"set", "0x0301=1", assignment});
        EXPECT_EQ(refused.status, 2) << assignment;
        EXPECT_THAT(refused.err, HasSubstr(range));
    }
    const std::string log = ctl({"log", "events"}).out;
    EXPECT_THAT(log, testing::StartsWith("TRX4 event log\n"));
    EXPECT_THAT(log, HasSubstr(" 0x0701 set to \"a\\x1B[31mb\\x7F\"\n"));
    const std::string report = ctl({"report", "--text"}).out;
    EXPECT_THAT(report, HasSubstr("\nCONTROL PARAMETERS\nCinema Processor: Arvo C\n"));
    EXPECT_THAT(report, HasSubstr("\nHost Name: a\\x1B[31mb\\x7F\n"));
    // Arvo C's automation ports 6 and 4 are the window's pins 7 and 5.
    EXPECT_THAT(report, HasSubstr("\nAutomation Port N is pin N+1 in the window's"));
    EXPECT_EQ(ctl({"get", "Film", "Video"}).out,
              "0x030A Film: 6 (Automation Port 6, pin 7 in the window)\n"
              "0x030B Video: 4 (Automation Port 4, pin 5 in the window)\n");
    const auto listed = nlohmann::json::parse(ctl({"list", "--json"}).out);
    EXPECT_EQ(listed.at(10).at("windowPin"), 7); // Film, with "value" 6
    EXPECT_FALSE(listed.at(0).contains("windowPin"));
    EXPECT_THAT(ctl({"report"}).out,
                HasSubstr("<TD>Host Name</TD><TD>a\\x1B[31mb\\x7F</TD></TR>\r\n"));
    EXPECT_EQ(ctl({"report", file("report.html")}).status, 0);
    EXPECT_THAT(fileText(file("report.html")),
                HasSubstr("<TD>Cinema Processor</TD><TD>Arvo C</TD>"));
    // How a file cannot be written is the saving's; the report only passes it on.
    EXPECT_EQ(ctl({"report", file("none/report.html")}).status, 4);
    const std::string watched = ctl({"watch", "--count", "3"}).out;
    const std::regex lastMeter("\nMeter 8 ");
    EXPECT_EQ(std::distance(std::sregex_iterator(watched.begin(), watched.end(), lastMeter),
                            std::sregex_iterator()),
              3);
    EXPECT_EQ(messages(stopAndReadTrace(), "received", "Set").size(), 1u);
}

// Every Nth frame from the unit goes out corrupted; every second frame is a
// reply. Every 4th: each attempt loses a reply before its burn. Every 12th:
// the reply to the burn is lost, after the burn.
TEST_F(Trx4ctl, ALostReplyIsNeverASuccessAndTheExitStatusTellsWhetherTheBurnWasSent) {
    const auto payload = filledPayload(3 * 4096, "FW:1.4.2.9");
    const std::string image = folder.write("three.bin", signedImage(payload));
    const struct {
        const char* every;
        int status;
        std::string message;
    } rows[] = {
        {"4", 3,
         "The firmware transfer broke off 4 times, the last time with \"Expected response not "
         "received\": the burn was never sent. Run the update again."},
        {"12", 5,
         "the unit did not confirm the burn, so the outcome of the update is unknown; the unit "
         "now reports firmware version 1.4.2.9"},
    };
    // The unit over TCP would share the trace file.
    unit.reset();
    for (const auto& row : rows) {
        startSerialUnit(
            {"--corrupt-every", row.every, "--status-interval-ms", "0", "--reboot-seconds", "1"});
        const auto run = runCtl({"--serial", unit->firstLine(), "firmware", "--yes", image});
        EXPECT_EQ(run.status, row.status) << row.every;
        EXPECT_EQ(run.err, "trx4ctl: " + row.message + "\n") << row.every;
        EXPECT_THAT(run.out, testing::Not(HasSubstr("Upgraded"))) << row.every;
        // What the unit burnt, if anything, as its event log tells it.
        const std::string log = runCtl({"--serial", unit->firstLine(), "log", "events"}).out;
        const std::string burnt = "Burning 3 blocks (12288 bytes, MD5 " + md5Hex(payload) + ")";
        EXPECT_EQ(log.find(burnt) != log.npos, row.status == 5) << row.every;
        const auto lines = stopAndReadTrace();
        // Each attempt starts again from the erase.
        EXPECT_EQ(messages(lines, "received", "Erase Flash").size(), row.status == 3 ? 4u : 1u)
            << row.every;
        const auto burns = messages(lines, "received", "Burn And Reboot");
        EXPECT_EQ(burns.size(), row.status == 5 ? 1u : 0u) << row.every;
    }
}

// A burn the unit received is never reported as never sent.
TEST_F(Trx4ctl, ARefusedBurnAndAUnitThatDoesNotComeBackAreToldApart) {
    const std::string image =
        folder.write("one.bin", signedImage(filledPayload(4096, "FW:1.4.2.9")));
    const struct {
        std::vector<std::string> unitOptions;
        std::string timeout;
        int status;
        std::string message;
    } rows[] = {
        {{"--flash-error", "burn:2"}, "120", 3, "(the unit received the burn and refused it)\n"},
        {{"--reboot-seconds", "5"},
         "1",
         5,
         "the unit confirmed the burn but did not answer within 1 s\n"},
    };
    for (const auto& row : rows) {
        startUnit(row.unitOptions);
        const auto run = ctl({"firmware", "--yes", "--reboot-timeout", row.timeout, image});
        EXPECT_EQ(run.status, row.status) << row.timeout;
        EXPECT_THAT(run.err, testing::EndsWith(row.message)) << row.timeout;
    }
}

// Each row against a unit of its own, started with the row's options.
TEST_F(Trx4ctl, AWriteTheUnitDoesNotHoldOrCannotTakeFailsWithItsExitStatus) {
    const struct {
        std::vector<std::string> unitOptions;
        std::string message;
    } rows[] = {
        {{"--status-interval-ms", "0", "--ignore-set"},
         "the unit does not hold the values written after 3000 ms: Cinema Processor (written 2 "
         "(Arvo C), holds 1 (Arvo B)), 0x0303 (written 30, holds 20)"},
        {{"--status-interval-ms", "0", "--set-error", "2"}, "Error: Illegal Parameter Value"},
    };
    for (const auto& row : rows) {
        startUnit(row.unitOptions);
        const auto run = ctl({"set", "0x0303=30", "Cinema Processor=Arvo C"});
        EXPECT_EQ(run.status, 3) << row.unitOptions.back();
        EXPECT_EQ(run.err, "trx4ctl: " + row.message + "\n") << row.unitOptions.back();
        EXPECT_EQ(run.out, "") << row.unitOptions.back();
    }
}

// A file that fails any check changes nothing on the unit; nor does a load the
// unit refuses, whose message keeps the unit's words.
TEST_F(Trx4ctl, ALoadThatFailsLeavesTheUnitAsItWas) {
    ASSERT_EQ(ctl({"save", file("before.trx")}).status, 0);
    const auto with = [&](const std::string& name, std::uint16_t id, const ParameterValue& value) {
        std::ostringstream bytes;
        ParameterValueMap{{ParameterId(std::uint16_t{0x0301}), ParameterValue(2)},
                          {ParameterId(id), value}}
            .save(bytes);
        const std::string text = bytes.str();
        return folder.write(name, {text.begin(), text.end()});
    };
    // The checks of a file are the load's own and tried with it; here only
    // that a refused file ends trx4ctl with status 4 and names the file.
    const std::string wide = with("wide.trx", 0x0303, ParameterValue(151));
    const auto rejected = ctl({"load", wide});
    EXPECT_EQ(rejected.status, 4);
    EXPECT_THAT(rejected.err, HasSubstr(wide + ": record 0x0303: holds 151; it takes 20..150"));
    EXPECT_EQ(ctl({"diff", file("before.trx")}).status, 0);

    const std::string good = with("good.trx", 0x0303, ParameterValue(30));
    startUnit({"--status-interval-ms", "0", "--set-error", "2"});
    const auto refused = ctl({"load", good});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.err, "trx4ctl: Loading " + good +
                               " failed: Error: Illegal Parameter Value; the settings held before "
                               "the load were set back\n");
    EXPECT_EQ(ctl({"diff", file("before.trx")}).status, 0);
}

TEST(Trx4ctlAddress, ReachesAUnitOverIPv6) {
    const UnitProcess unit({"--listen", "[::1]:0"});
    const auto run = runCtl({"--tcp", "[::1]:" + std::to_string(unit.port()), "get", "0x0303"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "0x0303: 20\n");
}

TEST(Trx4ctlOffline, ListsShowsAndGivesEachFailureItsExitStatusAndMessage) {
    const auto all = nlohmann::json::parse(runCtl({"list", "--json"}).out);
    EXPECT_EQ(all.size(), 134u);
    EXPECT_EQ(all.at(0), nlohmann::json::parse(R"({"id": "0x0300", "kind": "control",
        "name": "Cinema Processor", "source": "device", "minimum": 0, "maximum": 8, "value": 1,
        "text": "Arvo B"})"));
    EXPECT_THAT(runCtl({"list"}).out,
                HasSubstr("\n0x0B00  control/local  0..1  0 (feet)  Room Units  (not stored on "
                          "the unit)\n"));
    TemporaryDirectory folder;
    const std::string whole = (folder.path() / "whole.trx").string();
    ASSERT_EQ(runCtl({"save", whole}).status, 0);
    const std::string bytes = fileText(whole);
    const std::string longer = folder.write("longer.trx", {bytes.begin(), bytes.end()});
    fs::resize_file(longer, bytes.size() + 3);
    const auto shown = runCtl({"show", longer});
    EXPECT_THAT(shown.out, HasSubstr("0x0300 Cinema Processor: 1 (Arvo B)\n"));
    EXPECT_EQ(shown.err, "trx4ctl: " + longer + ": 3 bytes after the checksum ignored\n");
    EXPECT_EQ(runCtl({"show", whole}).err, "");
    const std::string cut = folder.write("cut.trx", {bytes.begin(), bytes.end() - 3});
    const std::string none = (folder.path() / "none.trx").string();
    const std::string zeros = folder.write("zeros.trx", std::vector<std::uint8_t>(943, 0));
    auto corrupt = signedImage(filledPayload(5000, "FW:2.0.0.1"));
    corrupt[100] ^= 0x01;
    const std::string bad = folder.write("bad.bin", corrupt);
    // Nothing listens on port 1: a firmware image is checked before any connection.
    const std::string closed = "127.0.0.1:1";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    } rows[] = {
        {{"show", cut}, 4, cut + ": Error reading the checksum."},
        {{"load", zeros}, 4, zeros + " holds no settings"},
        {{"show", zeros}, 0, zeros + " holds no settings"},
        {{"load", none}, 4, "Error opening " + none + ": No such file or directory"},
        {{"--tcp", closed, "firmware", "--yes", folder.path().string()},
         4,
         "Error opening " + folder.path().string() + ": it is a directory, not a file"},
        {{"--tcp", closed, "firmware", "--yes", bad},
         4,
         bad + ": MD5 checksum error: the image's contents"},
        {{"frobnicate"}, 2, "A subcommand is required"},
        {{"firmware", "--yes", "image.bin"}, 2, "needs a unit"},
        {{"--tcp", "", "save", whole}, 2, "'' names no host"},
        {{"--tcp", " :4444", "save", whole}, 2, "--tcp needs a host"},
        {{"--serial", " ", "save", whole}, 2, "--serial needs a port"},
        {{"set", "=30"}, 2, "a parameter needs an identifier or a name, not ''"},
        {{"set", "0x0303="}, 2, "0x0303 needs a value"},
        {{"set", "0x0303=30", "0x0B00=1"},
         2,
         "Room Units (0x0B00) is not stored on the unit; only the application keeps it"},
        {{"--offline", "save", whole}, 0, "working with the simulated unit"},
        {{"--offline", "save", (folder.path() / std::string(250, 'n')).string()},
         0,
         "working with the simulated unit"},
        {{"set", "Host Name=" + std::string(128, 'a')},
         2,
         "Host Name takes at most 127 bytes of text, not 128"},
    };
    for (const auto& row : rows) {
        const auto run = runCtl(row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments[0];
        EXPECT_THAT(run.err, HasSubstr(row.message)) << row.arguments[0];
        EXPECT_EQ(run.out, "") << row.arguments[0];
    }
    EXPECT_EQ(fileText(whole), bytes);

    // Output nobody got is no success, whether the disk is full or there is no output at all.
    for (const auto& [command, redirection, reason] :
         {std::tuple{"list", "> /dev/full", "No space left on device"},
          std::tuple{"report --text", ">&-", "Bad file descriptor"},
          std::tuple{"get 0x0303", "> /dev/full", "No space left on device"}}) {
        const auto run =
            runProcess("/bin/sh", {"-c", std::string(TRX4CTL_EXECUTABLE) + " --offline " + command +
                                             " " + redirection});
        EXPECT_EQ(run.status, 4) << command;
        EXPECT_THAT(run.err, HasSubstr(std::string("Error writing the output: ") + reason))
            << command;
    }
}

} // namespace
