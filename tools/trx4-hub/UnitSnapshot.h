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

    // Upper bounds of the poll duration buckets, in seconds: polls on
    // loopback take well under a millisecond, a slow unit up to seconds.
    static constexpr std::array<double, 14> pollBucketBounds{
        0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5};

    std::string unit;
    bool up = false;
    std::uint64_t pollErrors = 0;
    // Unix time of the last poll the unit answered; none before the first.
    std::optional<double> lastPollSeconds;
    // Unix time of the unit's last message of any kind; none before the first.
    std::optional<double> lastMessageSeconds;
    // How long the polls took: per bucket, the polls no longer than its bound
    // and longer than the bound before; the total and the count of all.
    std::array<std::uint64_t, pollBucketBounds.size()> pollBuckets{};
    double pollSecondsTotal = 0;
    std::uint64_t polls = 0;

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
    void observePoll(double seconds);
};
