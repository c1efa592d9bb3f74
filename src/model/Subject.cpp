#include "model/Subject.h"

#include <algorithm>

Subject::Subject(const Subject& other) {
    for (GenericObserver* observer : other.observers_) {
        if (observer != nullptr) {
            observers_.push_back(observer);
            link(*observer);
        }
    }
}

Subject::~Subject() {
    if (destroyedFlag_ != nullptr) {
        *destroyedFlag_ = true;
    }
    // An observer told here may delete or detach others; their entries become
    // null (the list is never compacted from here on) and the loop skips them.
    ++notifying_;
    for (GenericObserver* observer : observers_) {
        if (observer == nullptr) {
            continue;
        }
        unlink(*observer);
        observer->subjectDestroyed(*this);
    }
}

void Subject::attach(GenericObserver& observer) {
    observers_.push_back(&observer);
    link(observer);
    observer.update(*this, nullptr);
}

void Subject::detach(GenericObserver& observer) {
    unlink(observer);
}

void Subject::notify(Transaction* hint) {
    bool destroyed = false;
    bool* const outerFlag = destroyedFlag_;
    destroyedFlag_ = &destroyed;
    ++notifying_;

    // Restores the state on every way out, exceptions from observers included,
    // unless the subject died meanwhile; then only the outer loops are told.
    struct Exit {
        Subject& subject;
        bool& destroyed;
        bool* outerFlag;
        ~Exit() {
            if (destroyed) {
                if (outerFlag != nullptr) {
                    *outerFlag = true;
                }
                return;
            }
            subject.destroyedFlag_ = outerFlag;
            if (--subject.notifying_ == 0 && subject.hasGaps_) {
                subject.compact();
            }
        }
    } exit{*this, destroyed, outerFlag};

    // Observers attached meanwhile stand beyond count and wait for the next round.
    const std::size_t count = observers_.size();
    for (std::size_t i = 0; i < count; ++i) {
        GenericObserver* observer = observers_[i];
        if (observer == nullptr) {
            continue;
        }
        observer->update(*this, hint);
        if (destroyed) {
            return;
        }
    }
}

void Subject::link(GenericObserver& observer) {
    auto& subjects = observer.attachedTo_;
    if (std::find(subjects.begin(), subjects.end(), this) == subjects.end()) {
        subjects.push_back(this);
    }
}

void Subject::unlink(GenericObserver& observer) {
    for (GenericObserver*& entry : observers_) {
        if (entry == &observer) {
            entry = nullptr;
            hasGaps_ = true;
        }
    }
    if (notifying_ == 0 && hasGaps_) {
        compact();
    }
    auto& subjects = observer.attachedTo_;
    subjects.erase(std::remove(subjects.begin(), subjects.end(), this), subjects.end());
}

void Subject::compact() {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), nullptr), observers_.end());
    hasGaps_ = false;
}

void GenericObserver::subjectDestroyed(Subject& subject) {
    if (subject_ == &subject) {
        subject_ = nullptr;
    }
}

GenericObserver::~GenericObserver() {
    while (!attachedTo_.empty()) {
        attachedTo_.back()->unlink(*this);
    }
}
