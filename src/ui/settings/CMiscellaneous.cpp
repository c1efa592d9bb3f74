#include "ui/settings/CMiscellaneous.h"

#include "ui/look/ControlId.h"
#include "ui/settings/SettingsLayout.h"
#include "ui/windows/ModalRunner.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kBackgroundBitmap = 136;

struct Pair {
    const char* group;
    const char* note; // a second line under the group's label, or nullptr
    int disableId;
    const char* disable;
    int enableId;
    const char* enable;
    std::uint16_t parameter;
};

// Each button has a key of its own on the page, hence the wandering letters.
constexpr Pair kPairs[] = {
    {"Mute on PCM", nullptr, 1196, "&Disable", 1197, "&Enable", 0x0316},
    {"PCM Input Ch. 1/2 Decode", nullptr, 1207, "L/&R Discrete", 1208, "&Tessel", 0x030c},
    {"Silent Switch Mode", nullptr, CMiscellaneous::kSilentSwitchDisable, "Di&sable",
     CMiscellaneous::kSilentSwitchEnable, "E&nable", 0x031b},
    {"Downmix Screen Channels", "(L, Le, C, Re, R-->L, C, R)", 1204, "D&isable", 1205, "Ena&ble",
     0x0318},
    {"Dialogue Normalization", nullptr, 1201, "Dis&able", 1202, "Enab&le", 0x0317},
};
// Kept on the page but never shown: the unit decides this one itself.
constexpr Pair kHiddenPair{
    "Set Surround OV Flag", nullptr, 1199, "Disable", 1200, "Enable", 0x030d};

QGroupBox* addPair(Win32Controller& controller, const Pair& pair) {
    auto* group = new QGroupBox(QString::fromLatin1(pair.group));
    auto* layout = new QVBoxLayout(group);
    if (pair.note != nullptr) {
        layout->addWidget(new QLabel(QString::fromLatin1(pair.note)));
    }
    const int ids[] = {pair.disableId, pair.enableId};
    const char* texts[] = {pair.disable, pair.enable};
    for (int value = 0; value < 2; ++value) {
        auto* button = new QRadioButton(QString::fromLatin1(texts[value]));
        setControlId(button, ids[value]);
        layout->addWidget(button);
        controller.bindCheckBox(button, ParameterId(pair.parameter), value);
        controller.connectChanges(button);
    }
    return group;
}

} // namespace

CMiscellaneous::CMiscellaneous(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                               QWidget* parent)
    : PalettePropertyPage(kTemplateId, kBackgroundBitmap, parent),
      controller_(parameterSet, exceptionHandler) {
    auto* layout = new QGridLayout(this);

    auto* delayGroup = new QGroupBox(QStringLiteral("Global Audio Delay"));
    DelaySlider delay = addDelaySlider(delayGroup, kDelaySlider, kDelayText, 160, 0, "&mSec");
    controller_.bindSlider(delay.slider, ParameterId(0x0304), true, false)
        .configureSlider(10, 1, 5);
    controller_.connectChanges(delay.slider);
    controller_.bindControlText(delay.text, ParameterId(0x0304));
    layout->addWidget(delayGroup, 0, 0, 3, 1);

    int row = 0;
    int column = 1;
    for (const Pair& pair : kPairs) {
        layout->addWidget(addPair(controller_, pair), row, column);
        if (++column == 3) {
            column = 1;
            ++row;
        }
    }
    QGroupBox* hidden = addPair(controller_, kHiddenPair);
    layout->addWidget(hidden, row, column);
    hidden->hide();

    // The latency note follows every click, whether or not the mode changed.
    const auto tell = [this](int id, const char* text) {
        auto* button = findControl<QRadioButton>(this, id);
        connect(button, &QRadioButton::clicked, this, [this, text] {
            ModalRunner::message(this, QStringLiteral("TRX4 Remote"), QString::fromLatin1(text));
        });
    };
    tell(kSilentSwitchDisable,
         "Disabling Silent Switch Mode reduces PCM decode latency to the minimum value of 12ms.");
    tell(kSilentSwitchEnable, "Enabling Silent Switch Mode increases PCM decode latency by 42ms.");
}
