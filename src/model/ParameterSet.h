#pragma once

#include "model/ControlParameterMap.h"
#include "model/Parameter.h"
#include "model/ParameterFormatter.h"
#include "model/ParameterMap.h"
#include "model/Subject.h"
#include "protocol/DummyProtocol.h"
#include "protocol/ForwardingProtocol.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// All parameters of one unit: status parameters and control parameters, each
// in their map, with the formatters and rule observers that belong to them.
// The set owns all of these; the protocol front end it talks to is not owned.
// Parameters that live only in the application read and write the local
// source, a unit simulated in memory that the set owns.
class ParameterSet {
public:
    explicit ParameterSet(GenericProtocol& protocol);
    ParameterSet(const ParameterSet&) = delete;
    ParameterSet& operator=(const ParameterSet&) = delete;
    // Deletes the rule observers first (each detaches itself from a parameter
    // that still exists), then the formatters, then the parameters, which tell
    // any observer still attached, and last the local source.
    virtual ~ParameterSet();

    // Re-reads every control parameter of the unit.
    virtual void refreshControls();
    // Points the observer at the control parameter and attaches it, which
    // updates it at once.
    virtual void observeControl(ParameterId id, Observer<ControlParameter>& observer);
    // The same for an observer that needs only the Parameter side.
    void observeControl(ParameterId id, Observer<Parameter>& observer);
    // Refreshes the controls, then sets one (a value outside its limits is
    // ignored) and returns its pending value.
    virtual ParameterValue setControl(ParameterId id, const ParameterValue& value);
    // Refreshes the controls, writes values and reads them back through the
    // unit, then takes what was read in two phases.
    virtual void setControlsAndRead(const ParameterValueMap& values, ParameterValueMap& results,
                                    std::uint32_t delayMs);
    // An HTML page of every control and then every status parameter, each
    // showing the unit's value. The title is written as given.
    virtual void writeHtmlReport(std::ostream& stream, const std::string& title);
    // The same as plain text lines.
    virtual void writeTextReport(std::ostream& stream, const std::string& title);
    virtual bool hasDevice();
    // Sections of a report covering the parameters of one group only.
    virtual void writeControlTextGroup(std::ostream& stream, std::uint8_t group,
                                       const std::string& title);
    virtual void writeStatusTextGroup(std::ostream& stream, std::uint8_t group,
                                      const std::string& title);
    virtual void writeControlHtmlGroup(std::ostream& stream, std::uint8_t group,
                                       const std::string& title);
    virtual void writeStatusHtmlGroup(std::ostream& stream, std::uint8_t group,
                                      const std::string& title);

    void observeStatus(ParameterId id, Observer<Parameter>& observer);
    // A control parameter, else a status parameter; raises "Couldn't find
    // parameter " when neither exists.
    Parameter& findParameter(ParameterId id);
    // Refreshes the status group at the head of the poll rotation and moves it
    // to the tail. Does nothing while no group is to be polled.
    void pollNext();
    // Configuration files of the control parameters (ControlParameterMap).
    void saveControls(std::ostream& stream);
    void restoreControls(std::istream& stream);

    ParameterMap<Parameter>& statusParameters() { return statusParameters_; }
    ControlParameterMap& controlParameters() { return controlParameters_; }
    GenericProtocol* protocol() const { return protocol_; }
    GenericProtocol* localSource() const { return localSource_.get(); }

protected:
    // Puts another simulated unit (not owned) behind the local source. Only
    // before any parameter uses the local source: theirs would be left dangling.
    void setLocalImplementation(ProtocolImplementation& implementation);

    template <class Formatter, class... Arguments>
    Formatter& makeFormatter(Arguments&&... arguments) {
        auto formatter = std::make_unique<Formatter>(std::forward<Arguments>(arguments)...);
        Formatter& made = *formatter;
        formatters_.push_back(std::move(formatter));
        return made;
    }
    // The set owns these from now on; rules are deleted before other observers.
    void adoptRule(std::unique_ptr<GenericObserver> rule);
    void adoptObserver(std::unique_ptr<GenericObserver> observer);
    // Appends a status group to the tail of the poll rotation.
    void addPollGroup(std::uint8_t group);

private:
    GenericProtocol* protocol_;
    DummyProtocol localUnit_;
    std::unique_ptr<ForwardingProtocol> localSource_;
    ParameterMap<Parameter> statusParameters_;
    ControlParameterMap controlParameters_;
    std::vector<std::unique_ptr<GenericObserver>> rules_;
    std::vector<std::unique_ptr<GenericObserver>> observers_;
    std::vector<std::unique_ptr<ParameterFormatter>> formatters_;
    // A rotation: pollGroups_[nextPoll_] is the head, the entry before it the tail.
    std::vector<std::uint8_t> pollGroups_;
    std::size_t nextPoll_ = 0;
};
