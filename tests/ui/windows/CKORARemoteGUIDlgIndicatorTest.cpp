#include "UnitProcess.h"
#include "ui/TemporaryProfile.h"

#include "ui/binding/ControlId.h"
#include "ui/look/BitmapResource.h"
#include "ui/look/MeterWidget.h"
#include "ui/windows/CKORARemoteGUIDlg.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

const ParameterId programConfiguration(std::uint16_t{0x0101});
const ParameterId currentDecoding(std::uint16_t{0x0104});
const ParameterId dialnormEnable(std::uint16_t{0x0317});

const int decodingLeds[] = {1094, 1099, 1100, 1095, 1096, 1114};

class MainWindowIndicators : public testing::Test {
protected:
    void SetUp() override { window.initialise(); }

    // Sets a value in the simulated unit and lets one polling tick show it.
    void unitSets(ParameterId id, int value) {
        window.parameterSet()->protocol()->setValue(id, ParameterValue(value), 0);
        window.pollTick();
    }
    QString text(int id) { return findControl<QLabel>(&window, id)->text(); }
    QStringList programLabels() {
        QStringList labels;
        for (int position = 0; position < CKORARemoteGUIDlg::kProgramPositions; ++position) {
            labels << text(CKORARemoteGUIDlg::kFirstProgramLabel + position);
        }
        return labels;
    }
    bool lit(int id) {
        static const QImage on = BitmapResource::load(CKORARemoteGUIDlg::kLedOnBitmap).toImage();
        return findControl<QLabel>(&window, id)->pixmap().toImage() == on;
    }

    TemporaryProfile profile;
    CKORARemoteGUIDlg window{ConnectionType::OffLine, QString(), 1};
};

TEST_F(MainWindowIndicators, OffLineAtStartShowsTheSimulatedUnit) {
    // The simulated unit decodes nothing on the digital-media input, with no
    // program configuration and no current program.
    EXPECT_EQ(programLabels(), QStringList({"", "", "", "", "", "", "", ""}));
    for (int led : decodingLeds) {
        EXPECT_EQ(lit(led), led == 1094) << led;
    }
    for (int position = 0; position < CKORARemoteGUIDlg::kProgramPositions; ++position) {
        EXPECT_FALSE(lit(CKORARemoteGUIDlg::kFirstProgramLed + position)) << position;
    }
    EXPECT_TRUE(lit(1097));
    EXPECT_FALSE(lit(1098));
    EXPECT_EQ(text(1103), "1/0");
    EXPECT_EQ(text(1093), "None");
    EXPECT_EQ(text(1024), "0.0.0.0");
    EXPECT_EQ(text(1201), "");

    unitSets(ParameterId(std::uint16_t{0x010e}), 2);
    for (int position = 0; position < CKORARemoteGUIDlg::kProgramPositions; ++position) {
        EXPECT_EQ(lit(CKORARemoteGUIDlg::kFirstProgramLed + position), position == 2) << position;
    }
}

TEST_F(MainWindowIndicators, ProgramLabelsFollowTheConfiguration) {
    unitSets(programConfiguration, 0);
    EXPECT_EQ(programLabels(), QStringList({"5.1", "2", "", "", "", "", "", ""}));
    unitSets(programConfiguration, 10);
    EXPECT_EQ(programLabels(), QStringList({"1", "1", "1", "1", "1", "1", "1", "1"}));
    unitSets(programConfiguration, 23);
    EXPECT_EQ(programLabels(), QStringList({"7.1S", "", "", "", "", "", "", ""}));
    unitSets(programConfiguration, 24);
    EXPECT_EQ(programLabels(), QStringList({"", "", "", "", "", "", "", ""}));
}

TEST_F(MainWindowIndicators, CurrentDecodingLightsOnlyItsLed) {
    unitSets(currentDecoding, 3);
    for (int led : decodingLeds) {
        EXPECT_EQ(lit(led), led == 1095) << led;
    }
    unitSets(currentDecoding, 9);
    for (int led : decodingLeds) {
        EXPECT_FALSE(lit(led)) << led;
    }
}

TEST_F(MainWindowIndicators, DialnormShowsDisabledOnlyWhenDisabled) {
    window.parameterSet()->controlParameters().find(dialnormEnable).setValue(ParameterValue(0));
    window.pollTick();
    EXPECT_EQ(text(1201), "(Disabled)");
    window.parameterSet()->controlParameters().find(dialnormEnable).setValue(ParameterValue(1));
    window.pollTick();
    EXPECT_EQ(text(1201), "");
}

TEST(MainWindowMeters, TheMetersMoveWithTheUnit) {
    TemporaryProfile profile;
    UnitProcess unit({"--listen", "127.0.0.1:0"});
    CKORARemoteGUIDlg window(ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr,
                             unit.port());
    window.initialise();
    ASSERT_EQ(window.connectionType(), ConnectionType::Ethernet);
    auto* left = findControl<MeterWidget>(&window, CKORARemoteGUIDlg::kFirstMeter);
    ASSERT_NE(left, nullptr);
    std::set<size_t> seen;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (seen.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        window.pollTick();
        const QImage& image = left->image();
        seen.insert(qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes())));
        std::this_thread::sleep_for(30ms);
    }
    EXPECT_GE(seen.size(), 3u);
}

} // namespace
