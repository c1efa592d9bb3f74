#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ParameterSet;

// What the exporter last learnt of one unit, decoded as the main window
// shows it. Scrapes read copies of it, so they never wait for a unit.
struct UnitSnapshot {
    // The eight output meters, in the order of the front panel.
    static constexpr std::array<const char*, 8> channels{"L", "C", "R", "Ls", "Rs", "SW", "7", "8"};
    // The window's meters show nothing below this and nothing above 0 dBFS;
    // levels are rounded to hundredths of a decibel.
    static constexpr double meterFloorDbfs = -60.0;
    static constexpr double meterTopDbfs = 0.0;

    std::string unit;
    bool up = false;
    std::uint64_t pollErrors = 0;
    // Unix time of the last good poll; none before the first.
    std::optional<double> lastPollSeconds;

    // The unit's state at the last good poll, reported only while up.
    std::array<double, 8> levelsDbfs{};
    // Every text of "Current Decoding" (0x0104), and the current one's index.
    std::vector<std::string> decodingModes;
    std::optional<std::size_t> decoding;
    // 0 at "No Lock".
    double frameRateFps = 0.0;
    // "Film" or "Digital Media", the lit light of the front panel (0x0105).
    std::string frontPanelInput;
    std::string firmwareVersion;

    // Fills the unit's state from a parameter set of the TRX4 catalogue.
    void takeValues(ParameterSet& parameters);
};
