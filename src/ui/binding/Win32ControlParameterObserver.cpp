#include "ui/binding/Win32ControlParameterObserver.h"

#include "model/ControlParameter.h"
#include "ui/look/StringTable.h"

namespace {

// Sets the check mark even on an auto-exclusive radio button, which Qt would
// otherwise keep checked: the parameter, not the button group, decides.
void setCheckMark(QAbstractButton& button, bool checked) {
    if (button.isChecked() == checked) {
        return;
    }
    const bool exclusive = button.autoExclusive();
    button.setAutoExclusive(exclusive && checked);
    button.setChecked(checked);
    button.setAutoExclusive(exclusive);
}

void invalidateOnParent(QWidget& control) {
    if (QWidget* parent = control.parentWidget()) {
        parent->update(control.geometry());
    }
}

} // namespace

Win32CheckBoxObserver::Win32CheckBoxObserver(QAbstractButton* button, int value, bool deferCheck)
    : deferCheck_(deferCheck), button_(button), value_(value) {
    if (button != nullptr) {
        setCheckMark(*button, false);
    }
}

void Win32CheckBoxObserver::update(Subject& subject, Transaction* /*hint*/) {
    ControlParameter* parameter = this->subject();
    if (&subject != parameter || button_ == nullptr) {
        return;
    }
    checked_ = parameter->value().toSignedInt() == value_;
    if (!deferCheck_) {
        setCheckMark(*button_, checked_);
    }
    button_->setEnabled(parameter->available() && parameter->withinLimits(ParameterValue(value_)));
}

void Win32CheckBoxObserver::applyControl(Transaction* transaction) {
    ControlParameter* parameter = subject();
    if (parameter == nullptr || button_ == nullptr) {
        return;
    }
    const bool checked = button_->isChecked();
    // Every button of the parameter first shows its value again, so a click
    // the parameter refuses leaves no stray check mark.
    parameter->notify(nullptr);
    parameter->setValue(ParameterValue(checked ? value_ : 0), transaction);
}

Win32ComboBoxObserver::Win32ComboBoxObserver(QComboBox* combo, int firstStringId, int lastStringId)
    : combo_(combo), firstValue_(0), lastValue_(lastStringId - firstStringId),
      firstStringId_(firstStringId) {
    if (combo == nullptr) {
        return;
    }
    // A combo bound again starts from its own list, not the earlier one's.
    combo->clear();
    for (int id = firstStringId; id <= lastStringId; ++id) {
        combo->addItem(StringTable::load(id));
    }
    combo->setCurrentIndex(0);
}

QString Win32ComboBoxObserver::textOf(int value) const {
    return StringTable::load(firstStringId_ + value);
}

void Win32ComboBoxObserver::update(Subject& subject, Transaction* /*hint*/) {
    ControlParameter* parameter = this->subject();
    if (&subject != parameter || combo_ == nullptr) {
        return;
    }
    invalidateOnParent(*combo_);
    const int minimum = parameter->minimum().toSignedInt();
    const int maximum = parameter->maximum().toSignedInt();
    while (firstValue_ < minimum) {
        combo_->removeItem(0);
        combo_->setCurrentIndex(0);
        ++firstValue_;
    }
    while (firstValue_ > minimum) {
        --firstValue_;
        combo_->insertItem(0, textOf(firstValue_));
    }
    while (lastValue_ > maximum) {
        combo_->removeItem(combo_->count() - 1);
        --lastValue_;
    }
    while (lastValue_ < maximum) {
        ++lastValue_;
        combo_->addItem(textOf(lastValue_));
    }
    selectedIndex_ = parameter->value().toSignedInt() - firstValue_;
    combo_->setCurrentIndex(selectedIndex_);
    combo_->setEnabled(parameter->available());
}

void Win32ComboBoxObserver::applyControl(Transaction* transaction) {
    ControlParameter* parameter = subject();
    if (parameter == nullptr || combo_ == nullptr) {
        return;
    }
    const int index = combo_->currentIndex();
    if (index < 0) {
        return;
    }
    // The list shows the parameter's value until the parameter says otherwise.
    combo_->setCurrentIndex(selectedIndex_);
    parameter->setValue(ParameterValue(static_cast<std::uint16_t>(firstValue_ + index)),
                        transaction);
}

Win32ProgressBarObserver::Win32ProgressBarObserver(QProgressBar* bar) : bar_(bar) {}

void Win32ProgressBarObserver::update(Subject& subject, Transaction* /*hint*/) {
    ControlParameter* parameter = this->subject();
    if (&subject != parameter || bar_ == nullptr) {
        return;
    }
    bar_->setRange(parameter->minimum().toSignedInt(), parameter->maximum().toSignedInt());
    bar_->setEnabled(parameter->available());
    bar_->setValue(parameter->value().toSignedInt());
}

void Win32ProgressBarObserver::applyControl(Transaction* /*transaction*/) {
    // A progress bar only shows its parameter.
}
