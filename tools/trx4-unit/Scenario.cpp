#include "Scenario.h"

namespace {

ParameterValueMap statusOf(std::initializer_list<std::pair<std::uint16_t, int>> pairs) {
    ParameterValueMap values;
    for (const auto& [id, value] : pairs) {
        values[ParameterId(id)] = ParameterValue(value);
    }
    return values;
}

// Identifiers of the decoding status that the scenarios set.
constexpr std::uint16_t frameRate = 0x0100;
constexpr std::uint16_t programConfiguration = 0x0101;
constexpr std::uint16_t sampleRate = 0x0102;
constexpr std::uint16_t currentDecoding = 0x0104;
constexpr std::uint16_t currentProgram = 0x010E;
constexpr std::uint16_t lfeEnabled = 0x010F;
constexpr std::uint16_t tesselEncoded = 0x0110;
constexpr std::uint16_t codingMode = 0x0111;
constexpr std::uint16_t dialogueNormalization = 0x0112;

std::vector<Scenario> buildScenarios() {
    std::vector<Scenario> scenarios;

    // Feature film in digital 5.1: the screen channels play near full scale.
    scenarios.push_back({"digital",
                         "Verlo Digital 3/2 with LFE, 24 fps, dialnorm -27 dB",
                         statusOf({{frameRate, 2},
                                   {programConfiguration, 24},
                                   {sampleRate, 1},
                                   {currentDecoding, 3},
                                   {currentProgram, 8},
                                   {lfeEnabled, 1},
                                   {tesselEncoded, 0},
                                   {codingMode, 7},
                                   {dialogueNormalization, 27}}),
                         {-4.0, -4.0, -3.0, -14.0, -12.0, -12.0, std::nullopt, std::nullopt},
                         false});

    scenarios.push_back({"no-input",
                         "No digital input: nothing locked, all meters at rest",
                         statusOf({{frameRate, 0},
                                   {programConfiguration, 24},
                                   {sampleRate, 0},
                                   {currentDecoding, 0},
                                   {currentProgram, 8},
                                   {lfeEnabled, 0},
                                   {tesselEncoded, 0},
                                   {codingMode, 0},
                                   {dialogueNormalization, 0}}),
                         {},
                         false});

    scenarios.push_back({"pcm",
                         "PCM L/R discrete at 48 kHz: only Left and Right play",
                         statusOf({{frameRate, 2},
                                   {programConfiguration, 24},
                                   {sampleRate, 1},
                                   {currentDecoding, 1},
                                   {currentProgram, 8},
                                   {lfeEnabled, 0},
                                   {tesselEncoded, 0},
                                   {codingMode, 2},
                                   {dialogueNormalization, 0}}),
                         {-3.0, -3.5, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt},
                         false});

    // Configuration 0 "5.1+2": the operator picks the program with 0x0500.
    scenarios.push_back({"multi-program",
                         "Verlo E 5.1+2 multi-program; Current Program follows Program Selection 0",
                         statusOf({{frameRate, 3},
                                   {programConfiguration, 0},
                                   {sampleRate, 1},
                                   {currentDecoding, 4},
                                   {currentProgram, 0},
                                   {lfeEnabled, 1},
                                   {tesselEncoded, 0},
                                   {codingMode, 7},
                                   {dialogueNormalization, 24}}),
                         {-5.0, -5.0, -2.0, -16.0, -10.0, -10.0, -20.0, -20.0},
                         true});
    return scenarios;
}

} // namespace

const std::vector<Scenario>& Scenario::all() {
    static const std::vector<Scenario> scenarios = buildScenarios();
    return scenarios;
}

const Scenario* Scenario::find(std::string_view name) {
    for (const Scenario& scenario : all()) {
        if (scenario.name == name) {
            return &scenario;
        }
    }
    return nullptr;
}

const Scenario& Scenario::defaultScenario() {
    return all().front();
}
