#include "model/ParameterSet.h"

#include "base/VerloException.h"
#include "model/ParameterReport.h"

#include <algorithm>
#include <ostream>

namespace {

constexpr const char* htmlRowFailed = "Error formatting a parameter as html.";
constexpr const char* textRowFailed = "Error formatting a parameter as text.";

} // namespace

ParameterSet::ParameterSet(GenericProtocol& protocol)
    : protocol_(&protocol), localSource_(std::make_unique<ForwardingProtocol>(&localUnit_)) {}

ParameterSet::~ParameterSet() {
    for (auto& rule : rules_) {
        rule.reset();
    }
    for (auto& observer : observers_) {
        observer.reset();
    }
    formatters_.clear();
}

void ParameterSet::refreshControls() {
    controlParameters_.refreshAll(protocol_);
}

void ParameterSet::observeControl(ParameterId id, Observer<ControlParameter>& observer) {
    ControlParameter& parameter = controlParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

void ParameterSet::observeControl(ParameterId id, Observer<Parameter>& observer) {
    ControlParameter& parameter = controlParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

ParameterValue ParameterSet::setControl(ParameterId id, const ParameterValue& value) {
    refreshControls();
    ControlParameter& parameter = controlParameters_.find(id);
    parameter.setValue(value);
    return parameter.value();
}

void ParameterSet::setControlsAndRead(const ParameterValueMap& values, ParameterValueMap& results,
                                      std::uint32_t delayMs) {
    refreshControls();
    protocol_->setValuesAndRead(values, results, delayMs);
    controlParameters_.updateAll(results);
}

void ParameterSet::writeHtmlReport(std::ostream& stream, const std::string& title) {
    stream << "<HTML><HEAD><TITLE>" << title << "</TITLE> </HEAD> <BODY>\r\n";
    stream << "<H1>" << title << "</H1>\n";
    writeHtmlTableHead(stream, "CONTROL PARAMETERS");
    writeHtmlRows(stream, controlParameters_, std::nullopt, htmlRowFailed);
    stream << "</TABLE>\r\n";
    writeHtmlTableHead(stream, "STATUS PARAMETERS");
    writeHtmlRows(stream, statusParameters_, std::nullopt, htmlRowFailed);
    stream << "</TABLE>\r\n</BODY></HTML>\r\n";
}

void ParameterSet::writeTextReport(std::ostream& stream, const std::string& title) {
    stream << title << "\r\n\r\nCONTROL PARAMETERS\r\n";
    writeTextRows(stream, controlParameters_, std::nullopt, "", textRowFailed);
    stream << "STATUS PARAMETERS\r\n";
    writeTextRows(stream, statusParameters_, std::nullopt, "", textRowFailed);
}

bool ParameterSet::hasDevice() {
    return protocol_->hasDevice();
}

void ParameterSet::writeControlTextGroup(std::ostream& stream, std::uint8_t group,
                                         const std::string& title) {
    stream << "\r\n" << title << "\r\n";
    writeTextRows(stream, controlParameters_, group, "\t", nullptr);
}

void ParameterSet::writeStatusTextGroup(std::ostream& stream, std::uint8_t group,
                                        const std::string& title) {
    stream << "\r\n" << title << "\r\n";
    writeTextRows(stream, statusParameters_, group, "\t", nullptr);
}

void ParameterSet::writeControlHtmlGroup(std::ostream& stream, std::uint8_t group,
                                         const std::string& title) {
    writeHtmlTableHead(stream, title);
    writeHtmlRows(stream, controlParameters_, group, nullptr);
    stream << "</TABLE>\r\n";
}

void ParameterSet::writeStatusHtmlGroup(std::ostream& stream, std::uint8_t group,
                                        const std::string& title) {
    writeHtmlTableHead(stream, title);
    writeHtmlRows(stream, statusParameters_, group, nullptr);
    stream << "</TABLE>\r\n";
}

void ParameterSet::observeStatus(ParameterId id, Observer<Parameter>& observer) {
    Parameter& parameter = statusParameters_.find(id);
    observer.setSubject(&parameter);
    parameter.attach(observer);
}

Parameter& ParameterSet::findParameter(ParameterId id) {
    if (ControlParameter* control = controlParameters_.lookup(id)) {
        return *control;
    }
    return statusParameters_.find(id);
}

void ParameterSet::pollNext() {
    if (pollGroups_.empty()) {
        return;
    }
    statusParameters_.refreshGroup(protocol_, pollGroups_[nextPoll_]);
    // Only a group that was read moves on; a failed one is tried again first.
    nextPoll_ = (nextPoll_ + 1) % pollGroups_.size();
}

void ParameterSet::saveControls(std::ostream& stream) {
    controlParameters_.save(stream);
}

void ParameterSet::restoreControls(std::istream& stream) {
    controlParameters_.restore(stream);
}

void ParameterSet::setLocalImplementation(ProtocolImplementation& implementation) {
    GenericProtocol* const current = localSource_.get();
    const auto usesLocal = [current](const auto& map) {
        return std::any_of(map.begin(), map.end(), [current](const auto& entry) {
            return entry.second.source() == current;
        });
    };
    if (usesLocal(statusParameters_) || usesLocal(controlParameters_)) {
        throw VerloException("The local source cannot be replaced once parameters use it");
    }
    localSource_ = std::make_unique<ForwardingProtocol>(&implementation);
}

void ParameterSet::adoptRule(std::unique_ptr<GenericObserver> rule) {
    rules_.push_back(std::move(rule));
}

void ParameterSet::adoptObserver(std::unique_ptr<GenericObserver> observer) {
    observers_.push_back(std::move(observer));
}

void ParameterSet::addPollGroup(std::uint8_t group) {
    // The tail is the entry just before the head; the head moves up by one.
    pollGroups_.insert(pollGroups_.begin() + static_cast<std::ptrdiff_t>(nextPoll_), group);
    if (pollGroups_.size() > 1) {
        ++nextPoll_;
    }
}
