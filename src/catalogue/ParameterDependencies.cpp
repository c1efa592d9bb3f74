#include "catalogue/ParameterDependencies.h"
#include "base/KORAParameterIds.h"

#include "model/ParameterTransaction.h"

#include <cstdio>
#include <string>

namespace {

constexpr ParameterId firmwareLow(0x0113);
constexpr ParameterId firmwareHigh(0x0114);
constexpr ParameterId ssmMode(0x031b);
constexpr ParameterId cinemaProcessor(0x0300);
constexpr ParameterId film(0x030a);
constexpr ParameterId video(0x030b);
constexpr ParameterId surroundDelay(0x0303);
constexpr ParameterId calculateDelay(0x0b03);
constexpr ParameterId screenToRearWall(0x0b01);
constexpr ParameterId surroundSpacing(0x0b02);
constexpr ParameterId roomUnits(0x0b00);

constexpr int unassignedPort = 8;
constexpr int arvoF = 5;

// Availability keys name the parameter that decided, by its identifier.
std::uint32_t keyOf(const Parameter& parameter) {
    return parameter.id().number();
}

} // namespace

ParameterDependencies::ParameterDependencies(Parameter& subject,
                                             ParameterMap<Parameter>& statusParameters,
                                             ControlParameterMap& controlParameters)
    : controlParameters_(&controlParameters), statusParameters_(&statusParameters),
      lastValue_(subject.value()) {
    setSubject(&subject);
    subject.attach(*this);
}

void ParameterDependencies::update(Subject& subject, Transaction* hint) {
    Parameter* watched = this->subject();
    if (&subject != watched) {
        return;
    }
    if (watched->value() != lastValue_) {
        lastValue_ = watched->value();
        valueChanged(hint);
    }
    applyRules(hint);
}

void ParameterDependencies::applyRules(Transaction*) {}

void ParameterDependencies::valueChanged(Transaction*) {}

FirmwareVersionDisplayConstraints::FirmwareVersionDisplayConstraints(
    ParameterId word, ParameterMap<Parameter>& statusParameters,
    ControlParameterMap& controlParameters)
    : ParameterDependencies(statusParameters.find(word), statusParameters, controlParameters) {
    valueChanged(nullptr);
}

void FirmwareVersionDisplayConstraints::valueChanged(Transaction* hint) {
    const int low = statusParameters().find(firmwareLow).value().toSignedInt();
    const int high = statusParameters().find(firmwareHigh).value().toSignedInt();
    // The high bytes are signed on the unit, so 0xFF01 reads as -1.1.
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", high >> 8, high & 0xFF, low >> 8, low & 0xFF);
    controlParameters()
        .find(KORAParameterIds::firmwareVersion)
        .setValue(ParameterValue(std::string(text)), hint);
    controlParameters().find(ssmMode).setAvailable(high >= 0x0103, 0);
}

DigitalInputDependencies::DigitalInputDependencies(ParameterId choice,
                                                   ParameterMap<Parameter>& statusParameters,
                                                   ControlParameterMap& controlParameters)
    : ParameterDependencies(controlParameters.find(choice), statusParameters, controlParameters),
      choices_{&controlParameters.find(ParameterId(0x0305)),
               &controlParameters.find(ParameterId(0x0306)),
               &controlParameters.find(ParameterId(0x0307))} {
    ParameterTransaction settle;
    applyRules(&settle);
    settle.commit();
}

void DigitalInputDependencies::applyRules(Transaction* hint) {
    const auto chosen = [this](std::size_t i) { return choices_[i]->value().toInt() != 0; };
    // Each change below notifies the changed choice, whose own rule runs again
    // from inside it; the values are therefore read afresh every time.
    for (std::size_t i = 0; i < 2; ++i) {
        if (!chosen(i) && chosen(i + 1)) {
            const ParameterValue next = choices_[i + 1]->value();
            choices_[i]->setValue(next, hint);
        }
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (!chosen(i)) {
            continue;
        }
        for (std::size_t j = i + 1; j < choices_.size(); ++j) {
            if (choices_[j]->value() == choices_[i]->value()) {
                choices_[j]->setValue(ParameterValue(0), hint);
            }
        }
    }
    for (std::size_t i = 0; i < 2; ++i) {
        choices_[i + 1]->setAvailable(chosen(i), keyOf(*choices_[i]));
    }
}

CinemaProcessorDependencies::CinemaProcessorDependencies(ParameterMap<Parameter>& statusParameters,
                                                         ControlParameterMap& controlParameters)
    : ParameterDependencies(controlParameters.find(cinemaProcessor), statusParameters,
                            controlParameters) {
    updateAvailability();
}

void CinemaProcessorDependencies::applyRules(Transaction* hint) {
    int filmPort = unassignedPort;
    int videoPort = unassignedPort;
    switch (lastValue().toSignedInt()) {
    case 0: // Arvo A, C, E and F
    case 2:
    case 4:
    case 5:
        filmPort = 6;
        videoPort = 4;
        break;
    case 1: // Arvo B
        filmPort = 6;
        videoPort = 7;
        break;
    default:
        break;
    }
    controlParameters().find(film).setValue(ParameterValue(filmPort), hint);
    controlParameters().find(video).setValue(ParameterValue(videoPort), hint);
    updateAvailability();
}

void CinemaProcessorDependencies::updateAvailability() {
    const bool delayApplies = lastValue().toSignedInt() != arvoF;
    const std::uint32_t key = keyOf(*subject());
    for (const ParameterId id :
         {surroundDelay, calculateDelay, screenToRearWall, surroundSpacing, roomUnits}) {
        controlParameters().find(id).setAvailable(delayApplies, key);
    }
}

CalculateDelayDependencies::CalculateDelayDependencies(ParameterMap<Parameter>& statusParameters,
                                                       ControlParameterMap& controlParameters)
    : ParameterDependencies(controlParameters.find(calculateDelay), statusParameters,
                            controlParameters),
      delay_(&controlParameters.find(surroundDelay)),
      trigger_(&controlParameters.find(calculateDelay)),
      distance_(&controlParameters.find(screenToRearWall)),
      spacing_(&controlParameters.find(surroundSpacing)),
      units_(&controlParameters.find(roomUnits)) {}

void CalculateDelayDependencies::applyRules(Transaction* hint) {
    if (lastValue().toInt() == 0) {
        return;
    }
    trigger_->setValue(ParameterValue(0), hint);
    const double depth = distance_->value().toSignedInt();
    const double spacing = spacing_->value().toSignedInt();
    // The speed of sound per second in feet, else in meters.
    const double speed = units_->value().toInt() == 0 ? 1130.0 : 344.424;
    // Sound from the screen travels two thirds of the room; from a surround, half
    // the spacing. The delay makes up the difference, in whole milliseconds.
    const double milliseconds =
        ((depth * 0.6666666666666666) - (spacing * 0.5)) * 1000.0 / speed + 0.5;
    // Clamped before it is narrowed, so that no reading wraps into the range.
    long delay = static_cast<long>(milliseconds);
    if (delay > 150) {
        delay = 150;
    } else if (delay < 20) {
        delay = 20;
    }
    delay_->setValue(ParameterValue(static_cast<int>(delay)), hint);
}

OutputAssignmentTranslation::OutputAssignmentTranslation(std::uint16_t sourceBase,
                                                         std::uint16_t targetBase,
                                                         std::uint16_t index,
                                                         ParameterMap<Parameter>& statusParameters,
                                                         ControlParameterMap& controlParameters)
    : ParameterDependencies(
          controlParameters.find(ParameterId(static_cast<std::uint16_t>(sourceBase + index))),
          statusParameters, controlParameters),
      index_(index), targetBase_(targetBase) {
    if (targetBase_ == 0x0d00) {
        valueChanged(nullptr);
    }
}

void OutputAssignmentTranslation::valueChanged(Transaction*) {
    // Routing changes take effect at once, whatever transaction brought them.
    const auto target = static_cast<std::uint16_t>(lastValue().toInt() + targetBase_);
    controlParameters().find(ParameterId(target)).setValue(ParameterValue(index_));
}
