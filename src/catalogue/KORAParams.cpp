#include "catalogue/KORAParams.h"
#include "base/KORAParameterIds.h"

#include "catalogue/ParameterDependencies.h"
#include "model/ParameterFormatter.h"

#include <memory>

namespace {

std::vector<std::string> numbered(const std::string& prefix, int count) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        texts.push_back(prefix + std::to_string(i));
    }
    return texts;
}

const std::vector<std::string> frameRates = {"No Lock", "23.98 fps", "24 fps",
                                             "25 fps",  "29.97 fps", "30 fps",
                                             "50 fps",  "59.94 fps", "60 fps"};

const std::vector<std::string> programConfigurations = {
    "5.1+2", "5.1+2x1", "4+4",   "4+2x2", "4+2+2x1", "4+4x1",      "4x2",     "3x2+2x1", "2x2+4x1",
    "2+6x1", "8x1",     "5.1",   "4+2",   "4+2x1",   "3x2",        "2x2+2x1", "2+4x1",   "6x1",
    "4",     "2+2",     "2+2x1", "4x1",   "7.1",     "7.1 Screen", "Unknown"};

const std::vector<std::string> sampleRates = {"No Lock", "48.4 kHz", "44.1 kHz", "32 kHz"};

const std::vector<std::string> decodings = {"No Input",      "LR Discrete", "Tessel",
                                            "Verlo Digital", "Verlo E",     "Muted PCM"};

const std::vector<std::string> inputChoices = {"0", "1", "2", "3", "4", "5"};

const std::vector<std::string> portSelections = {"Not Selectable", "Selectable"};

const std::vector<std::string> channels = {"Left",          "Right",          "Center", "Subwoofer",
                                           "Left Surround", "Right Surround", "Seven",  "Eight"};

std::vector<std::string> automationPorts() {
    std::vector<std::string> texts = numbered("Automation Port ", 8);
    texts.emplace_back("Unassigned");
    return texts;
}

// The highest program of each multi-program configuration, in identifier order
// from 0x0500; the last five configurations have a single program.
constexpr int programSelectionMaxima[] = {1, 2, 1, 2, 3, 4, 3, 4, 5, 6, 7, 1, 2,
                                          2, 3, 4, 5, 1, 2, 3, 0, 0, 0, 0, 0};

} // namespace

KORAParams::KORAParams(GenericProtocol& protocol) : ParameterSet(protocol) {
    setLocalImplementation(localUnit_);
    buildParameters();

    // The unit reports dialogue normalization as a level, not as a listed setting.
    auto& dialNorm = makeFormatter<DialNormFormatter>("Dialog Normalization");
    statusParameters().find(ParameterId(0x0112)).setFormatter(&dialNorm);

    addPollGroup(1);

    controlParameters().refreshAll(this->protocol());
    // The application's own parameters start with the simulated unit's values.
    controlParameters().refreshAll(localSource());
    statusParameters().refreshAll(this->protocol());

    createRules();
}

KORAParams::~KORAParams() = default;

void KORAParams::writeTextReport(std::ostream&, const std::string&) {}

void KORAParams::writeReportNotes(std::ostream&, const std::string&) {}

void KORAParams::getEventLog(std::string& text) {
    text = protocol()->getEventLog();
}

void KORAParams::getErrorLog(std::string& text) {
    text = protocol()->getErrorLog();
}

void KORAParams::buildParameters() {
    // Status parameters: what the unit reports.
    enumerate(addStatus(0x0100, 0, 8), "Frame Rate", frameRates);
    enumerate(addStatus(0x0101, 0, 24), "Verlo E Program Configuration", programConfigurations);
    enumerate(addStatus(0x0102, 0, 3), "Audio Sample Rate", sampleRates);
    enumerate(addStatus(0x0103, 0, 1), "Option Card", {"None", "SDI"});
    enumerate(addStatus(0x0104, 0, 5), "Current Decoding", decodings);
    enumerate(addStatus(0x0105, 0, 1), "Front Panel Button", {"Video Button", "Film Button"});
    for (std::uint16_t meter = 0; meter < 8; ++meter) {
        addStatus(static_cast<std::uint16_t>(KORAParameterIds::firstLevelMeter.number() + meter), 0,
                  20860)
            .setAlwaysNotify(true);
    }
    std::vector<std::string> programs = numbered("Program ", 8);
    programs.emplace_back("None");
    enumerate(addStatus(0x010e, 0, 8), "Current Program", programs);
    enumerate(addStatus(0x010f, 0, 1), "LFE Enabled", {"", "L"});
    enumerate(addStatus(0x0110, 0, 1), "Tessel Encoded", {"", "Surround"});
    enumerate(addStatus(0x0111, 0, 7), "Verlo Digital Coding mode (acmod))",
              {"---", "1/0", "2/0", "3/0", "2/1", "3/1", "2/2", "3/2"});
    enumerate(addStatus(0x0112, 0, 31), "Verlo Digital Dialogue normalization (dialnorm)", {"-"});
    addStatus(0x0113, 0, -1);
    addStatus(0x0114, 0, -1);

    // Control parameters on the unit: decoding and automation.
    const auto device = [this](std::uint16_t id, int minimum, int maximum) -> ControlParameter& {
        return addDeviceControl(id, ParameterValue(minimum), ParameterValue(maximum));
    };
    const auto local = [this](std::uint16_t id, int minimum, int maximum) -> ControlParameter& {
        return addLocalControl(id, ParameterValue(minimum), ParameterValue(maximum));
    };

    enumerate(device(0x0300, 0, 8), "Cinema Processor",
              {"Arvo A", "Arvo B", "Arvo C", "Arvo D", "Arvo E", "Arvo F", "Other 1", "Other 2",
               "Custom"});
    enumerate(device(0x0301, 0, 3), "SDI Group", {"Group 1", "Group 2", "Group 3", "Group four"});
    enumerate(device(0x0302, 0, 1), "SDI Program", {"Channels 1 and 2", "Channels 3 and 4"});
    device(0x0303, 20, 150);
    device(0x0304, 0, 160);
    enumerate(device(0x0305, 0, 5), "First Choice", inputChoices);
    enumerate(device(0x0306, 0, 5), "Second Choice", inputChoices);
    enumerate(device(0x0307, 0, 5), "Third Choice", inputChoices);
    enumerate(device(0x0308, 0, 5), "Fourth Choice", inputChoices);
    enumerate(device(0x0309, 0, 5), "Fifth Choice", inputChoices);
    enumerate(device(0x030a, 0, 8), "Film", automationPorts());
    enumerate(device(0x030b, 0, 8), "Video", automationPorts());
    enumerate(device(0x030c, 0, 1), "PCM Input Decoding", {"0", "Tessel Decode"});
    enumerate(device(0x030d, 0, 1), "Enable/Disable Surround OV Decoding", {"0", "1"});
    for (std::uint16_t output = 0; output < 8; ++output) {
        device(static_cast<std::uint16_t>(0x030e + output), 0, 7);
    }
    enumerate(device(0x0316, 0, 1), "PCM Mute", {"Don't mute", "Mute"});
    enumerate(device(0x0317, 0, 1), "Dialnorm Enable", {"(Disabled)", ""});
    enumerate(device(0x0318, 0, 1), "Downmix 7.1 to 5.1", {"No", "Yes"});
    enumerate(
        device(0x0319, 0, 7), "Presentation Language",
        {"English", "Cantonese", "French", "German", "Italian", "Japanese", "Mandarin", "Spanish"});
    enumerate(device(0x031a, 0, 1), "Input Selection", {"Film", "Digital Media"});
    enumerate(device(0x031b, 0, 1), "SSM Mode", {"0", "1"});

    // Control parameters on the unit: program selection of each configuration.
    std::uint16_t selection = 0x0500;
    for (const int maximum : programSelectionMaxima) {
        device(selection++, 0, maximum);
    }

    // Control parameters on the unit: its network settings.
    enumerate(device(0x0700, 0, 1), "Automatic/Manual", {"Manual", "Automatic"});
    describeAsText(addDeviceControl(0x0701, MinimumShortValue, MaximumShortValue), "Host Name");
    describeAsText(addDeviceControl(0x0702, MinimumShortValue, MaximumShortValue), "Domain Name");
    describeAsText(addDeviceControl(0x0703, MinimumShortValue, MaximumShortValue), "IP Address");
    describeAsText(addDeviceControl(0x0704, MinimumShortValue, MaximumShortValue), "Subnet Mask");
    describeAsText(addDeviceControl(0x0705, MinimumShortValue, MaximumShortValue),
                   "Default Gateway");

    // Parameters of the application only: selectable input ports.
    std::uint16_t port = 0x0900;
    for (const char* family : {"S/PDIF", "Toslink", "SDI", "4x AES/EBU", "1x AES/EBU"}) {
        for (int i = 0; i < 8; ++i) {
            enumerate(local(port++, 0, 1), std::string(family) + " Port " + std::to_string(i),
                      portSelections);
        }
    }
    local(0x0928, 0, 100);
    describeAsText(addLocalControl(KORAParameterIds::firmwareVersion.number(), MinimumShortValue,
                                   MaximumShortValue),
                   "Firmware Version");

    // Parameters of the application only: the surround delay calculator.
    enumerate(local(0x0b00, 0, 1), "Room Units", {"feet", "meters"});
    local(0x0b01, 0, 200);
    local(0x0b02, 0, 140);
    local(0x0b03, 0, 1);

    // Parameters of the application only: the signal carried by each output.
    for (int channel = 0; channel < 8; ++channel) {
        enumerate(local(static_cast<std::uint16_t>(0x0d00 + channel), 0, 7),
                  "Channel " + std::to_string(channel), channels);
    }
}

Parameter& KORAParams::addStatus(std::uint16_t id, int minimum, int maximum) {
    return statusParameters().add(protocol(), ParameterId(id), ParameterValue(minimum),
                                  ParameterValue(maximum));
}

ControlParameter& KORAParams::addDeviceControl(std::uint16_t id, const ParameterValue& minimum,
                                               const ParameterValue& maximum) {
    return controlParameters().add(protocol(), ParameterId(id), minimum, maximum);
}

ControlParameter& KORAParams::addLocalControl(std::uint16_t id, const ParameterValue& minimum,
                                              const ParameterValue& maximum) {
    return controlParameters().add(localSource(), ParameterId(id), minimum, maximum);
}

void KORAParams::enumerate(Parameter& parameter, const std::string& name,
                           const std::vector<std::string>& texts) {
    auto& formatter = makeFormatter<EnumeratedFormatter>(name);
    for (std::size_t value = 0; value < texts.size(); ++value) {
        formatter.addText(ParameterValue(static_cast<int>(value)), texts[value]);
    }
    parameter.setFormatter(&formatter);
}

void KORAParams::describeAsText(Parameter& parameter, const std::string& name) {
    parameter.setFormatter(&makeFormatter<StringFormatter>(name));
}

void KORAParams::createRules() {
    ParameterMap<Parameter>& status = statusParameters();
    ControlParameterMap& control = controlParameters();
    for (std::uint16_t i = 0; i < 8; ++i) {
        adoptRule(
            std::make_unique<OutputAssignmentTranslation>(0x030e, 0x0d00, i, status, control));
    }
    for (std::uint16_t i = 0; i < 8; ++i) {
        adoptRule(
            std::make_unique<OutputAssignmentTranslation>(0x0d00, 0x030e, i, status, control));
    }
    adoptRule(std::make_unique<CalculateDelayDependencies>(status, control));
    adoptRule(std::make_unique<CinemaProcessorDependencies>(status, control));
    for (const std::uint16_t choice : {0x0305, 0x0306, 0x0307}) {
        adoptRule(std::make_unique<DigitalInputDependencies>(ParameterId(choice), status, control));
    }
    for (const std::uint16_t word : {0x0113, 0x0114}) {
        adoptRule(std::make_unique<FirmwareVersionDisplayConstraints>(ParameterId(word), status,
                                                                      control));
    }
}
