#include "ui/settings/CBasicSettings.h"

#include "model/ParameterSet.h"
#include "model/ParameterTransaction.h"
#include "protocol/GenericProtocol.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WaitCursor.h"
#include "ui/look/WindowFrame.h"
#include "ui/settings/CAdvancedSettings.h"
#include "ui/settings/SettingsLayout.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/CViewLog.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/ModalRunner.h"
#include "ui/windows/OpenWindowRegistration.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

constexpr int kBackgroundBitmap = 136;
// A distance is read from at most this many characters of its edit.
constexpr int kDistanceCharacters = 40;
constexpr int kShortestDistance = 5;
constexpr int kLongestDistance = 200;
constexpr int kWidestSpacing = 140;

QComboBox* makeList(int id) {
    auto* list = new QComboBox;
    setControlId(list, id);
    list->setMinimumWidth(150);
    return list;
}

QRadioButton* makeRadio(int id, const char* text) {
    auto* button = new QRadioButton(QString::fromLatin1(text));
    setControlId(button, id);
    return button;
}

QLabel* makeText(int id) {
    auto* text = new QLabel;
    setControlId(text, id);
    text->setMinimumWidth(50);
    return text;
}

QLabel* buddyLabel(const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromLatin1(text));
    label->setBuddy(buddy);
    return label;
}

CxShadeButton* makeButton(int id, const char* text) {
    auto* button = new CxShadeButton(QString::fromLatin1(text));
    setControlId(button, id);
    button->setMinimumSize(110, 28);
    return button;
}

} // namespace

CBasicSettings::CBasicSettings(ParameterSet* parameterSet, QWidget* parent,
                               ExceptionHandler* exceptionHandler)
    : PaletteDialog(kTemplateId, kBackgroundBitmap, parent),
      controller_(parameterSet, exceptionHandler), parameterSet_(parameterSet) {
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    QComboBox* language = makeList(kLanguageList);
    QComboBox* processor = makeList(kProcessorList);
    QComboBox* choices[] = {makeList(kFirstChoiceList), makeList(kSecondChoiceList),
                            makeList(kThirdChoiceList)};
    QComboBox* filmPin = makeList(kFilmPinList);
    QComboBox* mediaPin = makeList(kMediaPinList);
    QRadioButton* filmInput = makeRadio(kFilmInput, "F&ilm");
    QRadioButton* mediaInput = makeRadio(kMediaInput, "Di&gital Media");
    QRadioButton* feet = makeRadio(kFeet, "&Feet");
    QRadioButton* meters = makeRadio(kMeters, "&Meters");
    distanceEdit_ = new QLineEdit;
    setControlId(distanceEdit_, kDistanceEdit);
    spacingEdit_ = new QLineEdit;
    setControlId(spacingEdit_, kSpacingEdit);
    QLabel* distanceUnits = makeText(kDistanceUnits);
    QLabel* spacingUnits = makeText(kSpacingUnits);
    calculateButton_ = makeButton(kCalculate, "&Calculate");
    calculateButton_->setKind(CxShadeButton::Kind::CheckBox);
    CxShadeButton* advanced = makeButton(kAdvanced, "&Advanced...");
    CxShadeButton* updateSoftware = makeButton(kUpdateSoftware, "&Update Software...");
    CxShadeButton* viewLog = makeButton(kViewLog, "&View Log...");
    CxShadeButton* close = makeButton(kClose, "Cl&ose");

    // Left: the lists and the input selector.
    auto* lists = new QFormLayout;
    lists->addRow(QStringLiteral("Prese&ntation Language:"), language);
    lists->addRow(QStringLiteral("Cinema &Processor:"), processor);
    auto* input = new QGroupBox(QStringLiteral("Digital Input"));
    auto* inputLayout = new QFormLayout(input);
    inputLayout->addRow(QStringLiteral("&1st Choice:"), choices[0]);
    inputLayout->addRow(QStringLiteral("&2nd Choice:"), choices[1]);
    inputLayout->addRow(QStringLiteral("&3rd Choice:"), choices[2]);
    auto* pins = new QGroupBox(QStringLiteral("CP Automation Pin Assignments"));
    auto* pinLayout = new QFormLayout(pins);
    pinLayout->addRow(QStringLiteral("Fi&lm:"), filmPin);
    pinLayout->addRow(QStringLiteral("&Digital Media:"), mediaPin);
    auto* selector = new QGroupBox(QStringLiteral("Input Selector"));
    auto* selectorLayout = new QHBoxLayout(selector);
    selectorLayout->addWidget(filmInput);
    selectorLayout->addWidget(mediaInput);
    auto* left = new QVBoxLayout;
    left->addLayout(lists);
    left->addWidget(input);
    left->addWidget(pins);
    left->addWidget(selector);
    left->addStretch();

    // Right: the surround delay and its calculator.
    auto* surround = new QGroupBox(QStringLiteral("Digital Media Surround Delay"));
    auto* sliderBox = new QWidget;
    DelaySlider delay = addDelaySlider(sliderBox, kDelaySlider, kDelayText, 150, 20, "mS&ec");
    auto* calculator = new QGridLayout;
    calculator->addWidget(
        buddyLabel("Distance from &screen to rear wall of theatre", distanceEdit_), 0, 0, 1, 2);
    calculator->addWidget(distanceEdit_, 1, 0);
    calculator->addWidget(distanceUnits, 1, 1);
    calculator->addWidget(
        buddyLabel("Average distance bet&ween Left and Right Surround channels", spacingEdit_), 2,
        0, 1, 2);
    calculator->addWidget(spacingEdit_, 3, 0);
    calculator->addWidget(spacingUnits, 3, 1);
    auto* units = new QWidget;
    auto* unitLayout = new QHBoxLayout(units);
    unitLayout->setContentsMargins(0, 0, 0, 0);
    unitLayout->addWidget(feet);
    unitLayout->addWidget(meters);
    calculator->addWidget(units, 4, 0, 1, 2);
    calculator->addWidget(calculateButton_, 5, 0);
    calculator->setRowStretch(6, 1);
    auto* surroundLayout = new QHBoxLayout(surround);
    surroundLayout->addWidget(sliderBox);
    surroundLayout->addLayout(calculator);

    auto* buttons = new QHBoxLayout;
    for (CxShadeButton* button : {advanced, updateSoftware, viewLog}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    buttons->addWidget(close);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addWidget(surround, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);

    for (CxShadeButton* button : {close, advanced, updateSoftware, viewLog, calculateButton_}) {
        button->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    }

    controller_.bindComboBox(language, ParameterId(0x0319), 22400, 22407);
    controller_.bindComboBox(processor, ParameterId(0x0300), 112, 120);
    controller_.bindComboBox(filmPin, ParameterId(0x030a), 200, 208);
    controller_.bindComboBox(mediaPin, ParameterId(0x030b), 200, 208);
    for (int i = 0; i < 3; ++i) {
        controller_.bindComboBox(choices[i], ParameterId(static_cast<std::uint16_t>(0x0305 + i)),
                                 208, 213);
    }
    distanceObserver_ = std::make_unique<Win32EditObserver>(distanceEdit_, converter_);
    spacingObserver_ = std::make_unique<Win32EditObserver>(spacingEdit_, converter_);
    parameterSet->observeControl(ParameterId(0x0b01), *distanceObserver_);
    parameterSet->observeControl(ParameterId(0x0b02), *spacingObserver_);
    controller_.bindControlText(delay.text, ParameterId(0x0303));
    controller_.bindControlText(distanceUnits, ParameterId(0x0b00));
    controller_.bindControlText(spacingUnits, ParameterId(0x0b00));
    controller_.bindSlider(delay.slider, ParameterId(0x0303), true, false)
        .configureSlider(10, 1, 10);
    controller_.bindCheckBox(feet, ParameterId(0x0b00), 0);
    controller_.bindCheckBox(meters, ParameterId(0x0b00), 1);
    controller_.bindCheckBox(calculateButton_, ParameterId(0x0b03), 1);
    controller_.bindCheckBox(filmInput, ParameterId(0x031a), 0);
    controller_.bindCheckBox(mediaInput, ParameterId(0x031a), 1);
    updateSoftware->setEnabled(controller_.hasDevice());

    for (QComboBox* list : {language, processor, filmPin, mediaPin}) {
        controller_.connectChanges(list);
    }
    for (QComboBox* list : choices) {
        controller_.connectChanges(list);
    }
    for (QRadioButton* button : {feet, meters, filmInput, mediaInput}) {
        controller_.connectChanges(button);
    }
    controller_.connectChanges(delay.slider);
    connect(calculateButton_, &QAbstractButton::clicked, this, &CBasicSettings::calculate);
    connect(advanced, &QAbstractButton::clicked, this, &CBasicSettings::openAdvanced);
    connect(viewLog, &QAbstractButton::clicked, this, &CBasicSettings::openLog);
    connect(updateSoftware, &QAbstractButton::clicked, this, &CBasicSettings::openUpdate);
    connect(close, &QAbstractButton::clicked, this, &QDialog::accept);
}

CBasicSettings::~CBasicSettings() = default;

KORAExceptionHandler& CBasicSettings::unitHandler() const {
    auto* handler = dynamic_cast<KORAExceptionHandler*>(controller_.exceptionHandler());
    if (handler == nullptr) {
        throw VerloException("invalid exception handler");
    }
    return *handler;
}

void CBasicSettings::runRegistered(QDialog& dialog, KORAExceptionHandler& handler) {
    const OpenWindowRegistration registration(handler, &dialog);
    ModalRunner::run(dialog);
}

void CBasicSettings::openAdvanced() {
    controller_.guard([this] {
        KORAExceptionHandler& handler = unitHandler();
        CAdvancedSettings dialog(parameterSet_, &handler, this);
        runRegistered(dialog, handler);
    });
}

void CBasicSettings::openUpdate() {
    controller_.guard([this] { CDownload::openFrom(controller_, this); });
}

void CBasicSettings::openLog() {
    // Reading the logs talks to the unit, so it is guarded like any change.
    controller_.guard([this] {
        KORAExceptionHandler& handler = unitHandler();
        GenericProtocol& unit = *parameterSet_->protocol();
        std::string events;
        std::string errors;
        {
            const WaitCursor waiting;
            events = unit.getEventLog();
            errors = unit.getErrorLog();
        }
        CViewLog dialog(events, errors, this);
        runRegistered(dialog, handler);
    });
}

void CBasicSettings::calculate() {
    // The transaction ends inside the guard: a failed write is rolled back
    // before the handler may drop the connection and with it the parameters.
    controller_.guard([this] {
        ParameterTransaction transaction;
        // A distance that was refused leaves the calculation undone.
        const int distance = validateDistance(*distanceEdit_, *distanceObserver_, kLongestDistance);
        if (distance < kShortestDistance || distance > kLongestDistance) {
            return;
        }
        const int spacing = validateDistance(*spacingEdit_, *spacingObserver_, kWidestSpacing);
        if (spacing < kShortestDistance || spacing > kWidestSpacing) {
            return;
        }
        const WaitCursor waiting;
        controller_.controlChanged(calculateButton_, transaction);
        transaction.commit();
    });
    calculateButton_->setChecked(false);
}

int CBasicSettings::validateDistance(QLineEdit& edit, Win32EditObserver& observer, int limit) {
    const std::string text = edit.text().left(kDistanceCharacters).toStdString();
    char* end = nullptr;
    const long read = std::strtol(text.c_str(), &end, 10);
    // Numbers beyond an int are out of any limit all the same.
    const int number =
        end == text.c_str() ? -1 : static_cast<int>(std::clamp<long>(read, INT_MIN, INT_MAX));
    if (number >= kShortestDistance && number <= limit) {
        const WaitCursor waiting;
        observer.applyText(nullptr);
    } else {
        ModalRunner::message(this, QStringLiteral("TRX4 Remote"),
                             QStringLiteral("Please enter a value between 5 and %1").arg(limit));
        edit.setFocus();
        edit.selectAll();
    }
    return number;
}
