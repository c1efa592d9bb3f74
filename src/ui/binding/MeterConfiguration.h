#pragma once

// How a level meter maps a reading onto its bar and how fast the bar moves.
// Levels are in the scaler's units (decibels for the unit's meters).
struct MeterConfiguration {
    // False: a vertical bar growing upwards.
    bool horizontal = false;
    // Added after gain.
    double offset = 0.0;
    // The bar is drawn from here towards the level.
    double reference = 0.0;
    // The level at the top (right) edge.
    double top = 0.0;
    // The level at the bottom (left) edge; also the scaler's floor.
    double floor = -60.0;
    // Units per second; 0 or less moves at once.
    double riseRate = 0.0;
    double fallRate = 0.0;
    // Multiplies the raw reading.
    double gain = 1.0;
};
