#pragma once

#include "model/ControlParameterMap.h"
#include "model/Parameter.h"
#include "model/ParameterMap.h"
#include "model/Subject.h"

#include <array>
#include <cstdint>

class Transaction;

// A rule that ties other parameters to the one it watches. Every notification
// of the watched parameter runs applyRules; one that carries a new value runs
// valueChanged first. The hint is the transaction on whose behalf the watched
// parameter changed (or null), and a rule's own changes join it.
class ParameterDependencies : public Observer<Parameter> {
public:
    // Attaches itself to subject; the maps are where the rule finds the
    // parameters it reads and changes. None of them is owned.
    ParameterDependencies(Parameter& subject, ParameterMap<Parameter>& statusParameters,
                          ControlParameterMap& controlParameters);

    void update(Subject& subject, Transaction* hint) override;

protected:
    virtual void applyRules(Transaction* hint);
    virtual void valueChanged(Transaction* hint);

    ParameterMap<Parameter>& statusParameters() const { return *statusParameters_; }
    ControlParameterMap& controlParameters() const { return *controlParameters_; }
    // The watched parameter's value as last seen.
    const ParameterValue& lastValue() const { return lastValue_; }

private:
    ControlParameterMap* controlParameters_;
    ParameterMap<Parameter>* statusParameters_;
    ParameterValue lastValue_;
};

// Shows the unit's firmware version, built from the two status words 0x0113
// (low) and 0x0114 (high), as the text "h.h.l.l" in 0x0929, and offers SSM
// Mode (0x031b) only from version 1.3 on. Watches one of the two words.
class FirmwareVersionDisplayConstraints : public ParameterDependencies {
public:
    FirmwareVersionDisplayConstraints(ParameterId word, ParameterMap<Parameter>& statusParameters,
                                      ControlParameterMap& controlParameters);

protected:
    void valueChanged(Transaction* hint) override;
};

// Keeps the first three digital input choices (0x0305..0x0307) free of gaps
// and repeats, and offers a choice only when the one before it names an input.
class DigitalInputDependencies : public ParameterDependencies {
public:
    // Watches one of the three choices; settles them at once in a committed
    // transaction of its own.
    DigitalInputDependencies(ParameterId choice, ParameterMap<Parameter>& statusParameters,
                             ControlParameterMap& controlParameters);

protected:
    void applyRules(Transaction* hint) override;

private:
    std::array<ControlParameter*, 3> choices_;
};

// A cinema processor (0x0300) brings its own automation ports for Film and
// Video; with "Arvo F" the surround delay and its calculator do not apply.
class CinemaProcessorDependencies : public ParameterDependencies {
public:
    CinemaProcessorDependencies(ParameterMap<Parameter>& statusParameters,
                                ControlParameterMap& controlParameters);

protected:
    void applyRules(Transaction* hint) override;

private:
    void updateAvailability();
};

// Setting Calculate Delay (0x0b03) computes the surround delay (0x0303) from
// the room's depth and surround spacing, then sets the trigger back to 0.
class CalculateDelayDependencies : public ParameterDependencies {
public:
    CalculateDelayDependencies(ParameterMap<Parameter>& statusParameters,
                               ControlParameterMap& controlParameters);

protected:
    void applyRules(Transaction* hint) override;

private:
    ControlParameter* delay_;
    ControlParameter* trigger_;
    ControlParameter* distance_;
    ControlParameter* spacing_;
    ControlParameter* units_;
};

// Keeps two inverse views of the output routing in step: the parameter at
// sourceBase + index holding v sets the parameter at targetBase + v to index.
// Signal Output i (0x030e + i) holds the output carrying signal i; Channel k
// (0x0d00 + k) holds the signal carried by output k.
class OutputAssignmentTranslation : public ParameterDependencies {
public:
    // The family from the unit's view to the local one fills the local view at once.
    OutputAssignmentTranslation(std::uint16_t sourceBase, std::uint16_t targetBase,
                                std::uint16_t index, ParameterMap<Parameter>& statusParameters,
                                ControlParameterMap& controlParameters);

protected:
    void valueChanged(Transaction* hint) override;

private:
    std::uint16_t index_;
    std::uint16_t targetBase_;
};
