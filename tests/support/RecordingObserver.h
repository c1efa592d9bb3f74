#pragma once

#include "model/Parameter.h"
#include "model/Subject.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

// An observer that records every update and subjectDestroyed it receives and
// can run an action from inside update. Observers sharing a journal write
// their names into it, which shows the order in which they ran.
template <class T> class RecordingObserverOf : public Observer<T> {
public:
    struct Call {
        Subject* subject;
        Transaction* hint;
    };

    explicit RecordingObserverOf(std::string name = {}, std::vector<std::string>* journal = nullptr)
        : name_(std::move(name)), journal_(journal) {}

    std::vector<Call> calls;
    int destroyedCalls = 0;
    std::function<void(Subject&, Transaction*)> onUpdate;

    void update(Subject& subject, Transaction* hint) override {
        calls.push_back({&subject, hint});
        if (journal_ != nullptr) {
            journal_->push_back(name_);
        }
        if (onUpdate) {
            onUpdate(subject, hint);
        }
    }
    void subjectDestroyed(Subject& subject) override {
        ++destroyedCalls;
        Observer<T>::subjectDestroyed(subject);
    }

    // Points the observer at subject and attaches it there.
    void watch(T& subject) {
        this->setSubject(&subject);
        subject.attach(*this);
    }

private:
    std::string name_;
    std::vector<std::string>* journal_;
};

using RecordingObserver = RecordingObserverOf<Parameter>;
