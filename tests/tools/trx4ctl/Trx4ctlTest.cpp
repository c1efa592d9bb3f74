#include "TracedUnitTest.h"
#include "support/FirmwareImages.h"
#include "support/ThrownMessage.h"

#include "model/ParameterValueMap.h"
#include "protocol/VerloException.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <sstream>

namespace {

ProcessResult runCtl(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return runProcess(TRX4CTL_EXECUTABLE, arguments, input);
}

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        all.push_back(line);
    }
    return all;
}

class Trx4ctl : public TracedUnitTest {
protected:
    void start() { startUnit({"--reboot-seconds", "1"}); }
    ProcessResult ctl(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), {"--tcp", "127.0.0.1:" + std::to_string(unit->port())});
        return runCtl(arguments, input);
    }
    std::string file(const std::string& name) const { return (folder.path() / name).string(); }
};

TEST_F(Trx4ctl, ASavedConfigurationLoadsBackByteForByte) {
    start();
    ASSERT_EQ(ctl({"set", "0x0303=42", "SDI Group=Group four"}).status, 0);
    ASSERT_EQ(ctl({"save", file("a.trx")}).status, 0);
    ASSERT_EQ(ctl({"set", "0x0303=99", "0x0301=0"}).status, 0);
    EXPECT_EQ(ctl({"diff", file("a.trx")}).status, 1);

    const auto loaded = ctl({"load", file("a.trx")});
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    ASSERT_EQ(ctl({"save", file("b.trx")}).status, 0);
    EXPECT_EQ(fileText(file("b.trx")), fileText(file("a.trx")));
    const auto same = ctl({"diff", file("a.trx")});
    EXPECT_EQ(same.status, 0);
    EXPECT_THAT(same.out, IsEmpty());
    // Saving over a file replaces it whole and leaves no temporary beside
    // it; a save that cannot replace its target leaves it as it was.
    ASSERT_EQ(ctl({"save", file("a.trx")}).status, 0);
    std::filesystem::create_directory(file("taken.trx"));
    const auto failed = ctl({"save", file("taken.trx")});
    EXPECT_EQ(failed.status, 4);
    EXPECT_THAT(failed.err, HasSubstr("Error saving " + file("taken.trx")));
    EXPECT_TRUE(std::filesystem::is_directory(file("taken.trx")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              4);
}

TEST_F(Trx4ctl, DiffShowsExactlyTheChangedParameters) {
    start();
    ASSERT_EQ(ctl({"save", file("before.trx")}).status, 0);
    ASSERT_EQ(ctl({"set", "0x0303=30", "sdi group=GROUP 3"}).status, 0);
    const auto diff = ctl({"diff", file("before.trx")});
    EXPECT_EQ(diff.status, 1);
    EXPECT_THAT(lines(diff.out),
                ElementsAre("0x0301 SDI Group: 0 (Group 1) -> 2 (Group 3)", "0x0303: 20 -> 30"));
    ASSERT_EQ(ctl({"save", file("after.trx")}).status, 0);
    const auto files = runCtl({"diff", file("before.trx"), file("after.trx")});
    EXPECT_EQ(files.status, 1);
    EXPECT_EQ(files.out, diff.out);
}

TEST_F(Trx4ctl, SetTakesNamesAndTextsInOneTransactionWithTheRules) {
    start();
    const auto set = ctl({"set", "cinema processor=arvo c", "0x0303=100"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_THAT(lines(set.out), ElementsAre("0x0300 Cinema Processor: 2 (Arvo C)", "0x0303: 100"));
    const auto got = ctl({"get", "0x0300", "0x0303"});
    EXPECT_EQ(got.out, set.out);

    const auto trace = stopAndReadTrace();
    const auto sets = messages(trace, "received", "Set");
    ASSERT_EQ(sets.size(), 1u);
}

TEST_F(Trx4ctl, AnOutOfRangeValueIsRefusedAndNothingIsWritten) {
    start();
    const auto refused = ctl({"set", "0x0301=1", "0x0303=5"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr("20..150"));
    const auto unknownText = ctl({"set", "Cinema Processor=Arvo Z"});
    EXPECT_EQ(unknownText.status, 2);
    EXPECT_THAT(unknownText.err, HasSubstr("0..8"));
    EXPECT_THAT(messages(stopAndReadTrace(), "received", "Set"), IsEmpty());
}

TEST_F(Trx4ctl, AnImageWithABadDigestIsNeverSent) {
    start();
    auto image = signedImage(filledPayload(5000, "FW:2.0.0.1"));
    image[100] ^= 0x01;
    const auto run = ctl({"firmware", "--yes", folder.write("bad.bin", image)});
    EXPECT_EQ(run.status, 4);
    EXPECT_THAT(run.err, HasSubstr("MD5 checksum error"));
    EXPECT_THAT(flashSteps(stopAndReadTrace()), IsEmpty());
}

TEST_F(Trx4ctl, AnUnconfirmedUpdateSendsNothing) {
    start();
    const auto run =
        ctl({"firmware", folder.write("good.bin", signedImage(filledPayload(100, "FW:2.0.0.1")))},
            "n\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.out, HasSubstr("CANNOT be interrupted"));
    EXPECT_THAT(flashSteps(stopAndReadTrace()), IsEmpty());
}

TEST_F(Trx4ctl, AGoodImageIsFlashedAndTheNewVersionShownAfterTheReboot) {
    start();
    const auto run = ctl(
        {"firmware", "--reboot-timeout", "30",
         folder.write("good.bin", signedImage(filledPayload(2 * 4096 + 10, "FW:1.4.2.7 build 9")))},
        "y\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("Current firmware version: 0.0.0.0\n"));
    EXPECT_THAT(run.out, HasSubstr("100%\n"));
    EXPECT_THAT(run.out, HasSubstr("Firmware version: 1.4.2.7\n"));
    EXPECT_THAT(flashSteps(stopAndReadTrace()),
                ElementsAre("Erase Flash", "Download Data 1", "Download Data 2", "Download Data 3",
                            "Burn And Reboot 3"));
}

TEST_F(Trx4ctl, LogsReportsAndTheLiveViewReadTheUnit) {
    start();
    const auto events = ctl({"log", "events"});
    EXPECT_EQ(events.status, 0);
    EXPECT_FALSE(events.out.empty());
    EXPECT_EQ(events.out.find('\r'), std::string::npos);
    EXPECT_EQ(events.out.back(), '\n');

    const auto text = ctl({"report", "--text"});
    EXPECT_EQ(text.status, 0);
    EXPECT_THAT(text.out, HasSubstr("\nCONTROL PARAMETERS\nCinema Processor: Arvo B\n"));
    const auto html = ctl({"report", file("report.html")});
    EXPECT_EQ(html.status, 0);
    EXPECT_THAT(fileText(file("report.html")),
                HasSubstr("<TD>Cinema Processor</TD><TD>Arvo B</TD>"));

    const auto watched = ctl({"watch", "--count", "3"});
    EXPECT_EQ(watched.status, 0);
    const auto allLines = lines(watched.out);
    EXPECT_EQ(std::count_if(allLines.begin(), allLines.end(),
                            [](const std::string& line) { return line.rfind("Meter 8 ", 0) == 0; }),
              3);
}

TEST_F(Trx4ctl, ReachesTheUnitOverASerialLine) {
    startSerialUnit();
    const std::string line = unit->firstLine();
    const auto set = runCtl({"--serial", line, "set", "Cinema Processor=Arvo D"});
    EXPECT_EQ(set.status, 0) << set.err;
    const auto got = runCtl({"--serial", line, "get", "cinema processor"});
    EXPECT_EQ(got.out, "0x0300 Cinema Processor: 3 (Arvo D)\n");
    EXPECT_EQ(messages(stopAndReadTrace(), "received", "Set").size(), 1u);
}

TEST(Trx4ctlOffline, ShowNamesTheRecordsAndRefusesATruncatedFile) {
    TemporaryDirectory folder;
    const std::string saved = (folder.path() / "offline.trx").string();
    ASSERT_EQ(runCtl({"save", saved}).status, 0);
    const auto shown = runCtl({"show", saved});
    EXPECT_EQ(shown.status, 0);
    EXPECT_THAT(shown.out, HasSubstr("0x0300 Cinema Processor: 1 (Arvo B)\n"));

    std::string bytes = fileText(saved);
    bytes.resize(bytes.size() - 3);
    const std::string truncated =
        folder.write("truncated.trx", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    std::istringstream stream(bytes);
    const std::string message =
        thrownMessage<VerloException>([&] { ParameterValueMap records(stream); });
    const auto refused = runCtl({"show", truncated});
    EXPECT_EQ(refused.status, 4);
    EXPECT_THAT(refused.err, HasSubstr(message));
    EXPECT_THAT(refused.out, IsEmpty());

    const auto missing = runCtl({"load", (folder.path() / "none.trx").string()});
    EXPECT_EQ(missing.status, 4);
    EXPECT_THAT(missing.err, HasSubstr("Error opening "));
}

TEST(Trx4ctlOffline, ListsEveryParameterAsJson) {
    const auto listed = runCtl({"list", "--json"});
    ASSERT_EQ(listed.status, 0);
    const auto all = nlohmann::json::parse(listed.out);
    ASSERT_EQ(all.size(), 134u);
    const auto processor = std::find_if(all.begin(), all.end(),
                                        [](const auto& entry) { return entry["id"] == "0x0300"; });
    ASSERT_NE(processor, all.end());
    EXPECT_EQ((*processor)["kind"], "control");
    EXPECT_EQ((*processor)["source"], "device");
    EXPECT_EQ((*processor)["maximum"], 8);
    EXPECT_EQ((*processor)["text"], "Arvo B");
    EXPECT_EQ(runCtl({"--tcp", "127.0.0.1:1", "list"}).status, 3);
    EXPECT_EQ(runCtl({"frobnicate"}).status, 2);
    const auto offlineUpdate = runCtl({"firmware", "--yes", "image.bin"});
    EXPECT_EQ(offlineUpdate.status, 2);
    EXPECT_THAT(offlineUpdate.err, HasSubstr("needs a unit"));
}

} // namespace
