#pragma once

#include "model/Subject.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPointer>
#include <QProgressBar>

class ControlParameter;

// A control that shows a control parameter and, for those the operator can
// change, turns the control's new state into a parameter change.
class Win32ControlParameterObserver : public Observer<ControlParameter> {
public:
    // Sets the parameter from the control's state on behalf of transaction.
    virtual void applyControl(Transaction* transaction) = 0;
};

// A check box, radio button or push-like button that stands for one value of
// its parameter: checked while the parameter holds that value, enabled while
// the parameter is available and the value lies within its limits. Two
// buttons bound to one parameter with values 0 and 1 act as a radio pair.
class Win32CheckBoxObserver : public Win32ControlParameterObserver {
public:
    // Clears the check mark. With deferCheck the observer never sets it.
    Win32CheckBoxObserver(QAbstractButton* button, int value, bool deferCheck = false);

    void update(Subject& subject, Transaction* hint) override;
    // Sets the parameter to the value when the button is checked, else to 0.
    void applyControl(Transaction* transaction) override;

    bool checked() const { return checked_; }

private:
    bool deferCheck_;
    QPointer<QAbstractButton> button_;
    int value_;
    bool checked_ = false;
};

// A drop-down list of the texts of the parameter's values: the text of value
// v is string firstStringId + v. The list follows the parameter's limits and
// selects its value.
class Win32ComboBoxObserver : public Win32ControlParameterObserver {
public:
    // Replaces the list by strings firstStringId..lastStringId (values
    // 0..last - first) and selects the first; a missing string throws VerloException "Unable to
    // load the string with id: " and the id.
    Win32ComboBoxObserver(QComboBox* combo, int firstStringId, int lastStringId);

    void update(Subject& subject, Transaction* hint) override;
    // Sets the parameter to the value of the selected entry.
    void applyControl(Transaction* transaction) override;

    int firstValue() const { return firstValue_; }
    int lastValue() const { return lastValue_; }

private:
    QString textOf(int value) const;

    QPointer<QComboBox> combo_;
    int firstValue_;
    int lastValue_;
    int selectedIndex_ = 0;
    int firstStringId_;
};

// A progress bar spanning the parameter's limits at its value. Display only.
class Win32ProgressBarObserver : public Win32ControlParameterObserver {
public:
    explicit Win32ProgressBarObserver(QProgressBar* bar);

    void update(Subject& subject, Transaction* hint) override;
    void applyControl(Transaction* transaction) override;

private:
    QPointer<QProgressBar> bar_;
};
