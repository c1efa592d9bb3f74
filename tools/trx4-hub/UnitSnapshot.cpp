#include "UnitSnapshot.h"

#include "base/KORAParameterIds.h"
#include "base/ParameterId.h"
#include "model/MeterScaler.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterSet.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

const ParameterId frameRate(std::uint16_t{0x0100});
const ParameterId currentDecoding(std::uint16_t{0x0104});
const ParameterId frontPanelButton(std::uint16_t{0x0105});

// The value as the catalogue's formatter writes it.
std::string textOf(const Parameter& parameter, const ParameterValue& value) {
    std::ostringstream text;
    if (parameter.formatter() != nullptr) {
        parameter.formatter()->format(text, value);
    } else {
        text << value.toSignedInt();
    }
    return text.str();
}

} // namespace

void UnitSnapshot::takeValues(ParameterSet& parameters) {
    const KORAMeterScaler scaler;
    for (std::size_t i = 0; i < levelsDbfs.size(); ++i) {
        const Parameter& meter = parameters.findParameter(ParameterId(
            static_cast<std::uint16_t>(KORAParameterIds::firstLevelMeter.number() + i)));
        const double level =
            std::min(scaler.scale(meter.value().toSignedInt(), meterFloorDbfs), meterTopDbfs);
        // Hundredths of a decibel are more than any meter shows; adding 0
        // turns a rounded -0 into 0.
        levelsDbfs[i] = std::round(level * 100) / 100 + 0.0;
    }

    const Parameter& decodingParameter = parameters.findParameter(currentDecoding);
    decodingModes.clear();
    decoding.reset();
    const int current = decodingParameter.value().toSignedInt();
    for (int mode = decodingParameter.minimum().toSignedInt();
         mode <= decodingParameter.maximum().toSignedInt(); ++mode) {
        if (mode == current) {
            decoding = decodingModes.size();
        }
        decodingModes.push_back(textOf(decodingParameter, ParameterValue(mode)));
    }

    // "23.98 fps" and the like; "No Lock" reads as 0.
    const Parameter& rate = parameters.findParameter(frameRate);
    frameRateFps = std::strtod(textOf(rate, rate.value()).c_str(), nullptr);

    // The front panel's lights: "Film" for the film button, "Digital Media"
    // for the other.
    frontPanelInput =
        parameters.findParameter(frontPanelButton).value().toInt() == 1 ? "Film" : "Digital Media";

    firmwareVersion =
        parameters.findParameter(KORAParameterIds::firmwareVersion).value().toString();
}

void UnitSnapshot::observePoll(double seconds) {
    const auto bucket = std::lower_bound(pollBucketBounds.begin(), pollBucketBounds.end(), seconds);
    if (bucket != pollBucketBounds.end()) {
        ++pollBuckets[static_cast<std::size_t>(bucket - pollBucketBounds.begin())];
    }
    pollSecondsTotal += seconds;
    ++polls;
}
