#pragma once

#include <vector>

class GenericObserver;
class Transaction;

// Something observers watch. Notification is synchronous and re-entrant: an
// observer may attach or detach observers, change other subjects or delete
// other observers from inside update. A detached or destroyed observer is never
// called again; one attached during a notification waits for the next one.
class Subject {
public:
    Subject() = default;
    // The copy is watched by every observer of the original as well.
    Subject(const Subject& other);
    Subject& operator=(const Subject&) = delete;
    virtual ~Subject();

    // Appends the observer (it may stand in the list more than once), then
    // updates it at once with a null hint so that it shows the current state.
    void attach(GenericObserver& observer);
    // Removes every occurrence of the observer; no notification.
    void detach(GenericObserver& observer);
    // Calls update on every observer in attachment order.
    void notify(Transaction* hint);

private:
    void link(GenericObserver& observer);
    void unlink(GenericObserver& observer);
    void compact();

    // Detached entries become null while a notification runs, so indexes of the
    // running loops stay valid; the outermost notification removes them.
    std::vector<GenericObserver*> observers_;
    unsigned notifying_ = 0;
    bool hasGaps_ = false;
    // Set by the destructor so that a notification in progress stops at once.
    bool* destroyedFlag_ = nullptr;

    friend class GenericObserver;
};

// Base of every observer. Holds a non-owning pointer to the subject it watches;
// whoever attaches the observer sets it first. Every subject the observer is
// attached to is remembered, so whichever of the two dies first tells the other.
class GenericObserver {
public:
    GenericObserver() = default;
    GenericObserver(const GenericObserver&) = delete;
    GenericObserver& operator=(const GenericObserver&) = delete;

    // hint is null for ordinary notifications, otherwise the transaction on
    // whose behalf the subject changed.
    virtual void update(Subject& subject, Transaction* hint) = 0;
    // Forgets the watched subject when it is the one being destroyed.
    virtual void subjectDestroyed(Subject& subject);
    // Detaches from every subject that still lists this observer.
    virtual ~GenericObserver();

    Subject* subject() const { return subject_; }

protected:
    void setSubject(Subject* subject) { subject_ = subject; }

private:
    Subject* subject_ = nullptr;
    std::vector<Subject*> attachedTo_;

    friend class Subject;
};

// An observer of subjects of type T (Parameter or ControlParameter).
template <class T> class Observer : public GenericObserver {
public:
    T* subject() const { return static_cast<T*>(GenericObserver::subject()); }
    void setSubject(T* subject) { GenericObserver::setSubject(subject); }
};
