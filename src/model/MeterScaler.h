#pragma once

// Turns a raw level reading into decibels for the level meters.
class MeterScaler {
public:
    virtual ~MeterScaler() = default;

    // Never below floor.
    virtual double scale(double level, double floor) const = 0;
};

// The unit's meters: the low 15 bits of the reading are a fraction of full
// scale; the reading 20860 is 0 dB.
class KORAMeterScaler : public MeterScaler {
public:
    double scale(double level, double floor) const override;
};
