#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValueMap.h"
#include "base/VerloException.h"
#include "protocol/GenericProtocol.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

// The parameters of one kind (T is Parameter or ControlParameter), held by value
// in identifier order. std::map is node-based: a parameter never moves once
// inserted, so the pointers that observers and transactions keep stay valid.
template <class T> class ParameterMap {
public:
    using Container = std::map<ParameterId, T>;

    ParameterMap() = default;
    ParameterMap(const ParameterMap&) = delete;
    ParameterMap& operator=(const ParameterMap&) = delete;
    virtual ~ParameterMap() = default;

    // Offers values to every parameter in identifier order; each one that
    // changes notifies at once.
    virtual void updateAll(const ParameterValueMap& values) {
        for (auto& entry : parameters_) {
            entry.second.update(values);
        }
    }
    // Reads the parameters of this source and group with one getValues call
    // and applies the answer with updateAll.
    virtual void refreshGroup(GenericProtocol* protocol, std::uint8_t group) {
        refresh(protocol, true, group);
    }
    // The same for every parameter of this source.
    virtual void refreshAll(GenericProtocol* protocol) { refresh(protocol, false, 0); }
    // Raises "Couldn't find parameter " when there is none.
    virtual T& find(ParameterId id) {
        T* parameter = lookup(id);
        if (parameter == nullptr) {
            throw VerloException("Couldn't find parameter " + id.toText() + "\n");
        }
        return *parameter;
    }

    // The parameter with this identifier, or null.
    T* lookup(ParameterId id) {
        const auto entry = parameters_.find(id);
        return entry == parameters_.end() ? nullptr : &entry->second;
    }

    // Builds a parameter in place; an identifier can be added only once.
    template <class... Arguments>
    T& add(GenericProtocol* source, ParameterId id, Arguments&&... arguments) {
        const auto [entry, added] =
            parameters_.try_emplace(id, source, id, std::forward<Arguments>(arguments)...);
        if (!added) {
            throw VerloException("Parameter added twice: " + id.toText());
        }
        return entry->second;
    }

    std::size_t size() const { return parameters_.size(); }
    typename Container::iterator begin() { return parameters_.begin(); }
    typename Container::iterator end() { return parameters_.end(); }
    typename Container::const_iterator begin() const { return parameters_.begin(); }
    typename Container::const_iterator end() const { return parameters_.end(); }

private:
    void refresh(GenericProtocol* protocol, bool oneGroup, std::uint8_t group) {
        // The request list is reused from call to call: polling runs many times
        // a second. It is free again before updateAll, which may come back here.
        request_.clear();
        for (const auto& [id, parameter] : parameters_) {
            if (parameter.source() == protocol && (!oneGroup || id.group() == group)) {
                request_.push_back(id);
            }
        }
        ParameterValueMap answer;
        protocol->getValues(request_, answer);
        updateAll(answer);
    }

    Container parameters_;
    ParameterIdList request_;
};
