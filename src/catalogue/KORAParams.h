#pragma once

#include "model/ParameterSet.h"
#include "protocol/DummyKORAProtocol.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The TRX4's parameter set: its 134 parameters with their limits and texts,
// the rules that tie them together and the unit's status polling. Parameters
// that live only in the application (groups 9, 11 and 13) keep their values in
// an embedded simulated unit and never reach the real one.
class KORAParams : public ParameterSet {
public:
    // Builds the table over protocol (not owned) and reads every first value;
    // a failure of the unit propagates.
    explicit KORAParams(GenericProtocol& protocol);
    ~KORAParams() override;

    // This unit has no plain-text report; the HTML report stands.
    void writeTextReport(std::ostream& stream, const std::string& title) override;
    // Notes of this kind of unit appended to a report; the TRX4 has none.
    virtual void writeReportNotes(std::ostream& stream, const std::string& title);

    // The unit's logs, read through the protocol given to the constructor.
    void getEventLog(std::string& text);
    void getErrorLog(std::string& text);

protected:
    // Registers the whole table; called once, by the constructor.
    virtual void buildParameters();

private:
    Parameter& addStatus(std::uint16_t id, int minimum, int maximum);
    ControlParameter& addDeviceControl(std::uint16_t id, const ParameterValue& minimum,
                                       const ParameterValue& maximum);
    ControlParameter& addLocalControl(std::uint16_t id, const ParameterValue& minimum,
                                      const ParameterValue& maximum);
    // texts[i] is the text of the value i.
    void enumerate(Parameter& parameter, const std::string& name,
                   const std::vector<std::string>& texts);
    void describeAsText(Parameter& parameter, const std::string& name);
    void createRules();

    DummyKORAProtocol localUnit_;
};
