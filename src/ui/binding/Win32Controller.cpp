#include "ui/binding/Win32Controller.h"

#include "base/VerloException.h"
#include "model/ControlParameter.h"
#include "model/ParameterSet.h"
#include "model/ParameterText.h"
#include "model/ParameterTransaction.h"
#include "ui/binding/Win32BitmapObserver.h"
#include "ui/look/MeterWidget.h"
#include "ui/look/WaitCursor.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QSlider>

Win32Controller::Win32Controller(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler)
    : exceptionHandler_(exceptionHandler), parameterSet_(parameterSet) {}

Win32Controller::~Win32Controller() {
    // A control that outlives the controller must no longer reach it.
    for (const QMetaObject::Connection& connection : connections_) {
        QObject::disconnect(connection);
    }
}

ParameterSet& Win32Controller::boundSet() const {
    if (parameterSet_ == nullptr) {
        throw VerloException("No parameter set to bind a control to");
    }
    return *parameterSet_;
}

void Win32Controller::bindStatusText(QLabel* control, ParameterId id,
                                     ParameterFormatter* formatter) {
    ParameterSet& set = boundSet();
    statusObservers_.erase(control);
    auto observer = std::make_unique<Win32TextObserver<Parameter>>(control, formatter);
    set.observeStatus(id, *observer);
    statusObservers_[control] = std::move(observer);
}

void Win32Controller::bindControlText(QLabel* control, ParameterId id,
                                      ParameterFormatter* formatter) {
    ParameterSet& set = boundSet();
    controlTextObservers_.erase(control);
    auto observer = std::make_unique<Win32TextObserver<ControlParameter>>(control, formatter);
    set.observeControl(id, *observer);
    controlTextObservers_[control] = std::move(observer);
}

void Win32Controller::bindBitmap(QLabel* control, ParameterId id,
                                 const ParameterEvaluator* evaluator, const QPixmap& onImage,
                                 const QPixmap& offImage, bool isControl) {
    ParameterSet& set = boundSet();
    statusObservers_.erase(control);
    auto observer = std::make_unique<Win32BitmapObserver>(control, evaluator, onImage, offImage);
    if (isControl) {
        set.observeControl(id, *observer);
    } else {
        set.observeStatus(id, *observer);
    }
    statusObservers_[control] = std::move(observer);
}

void Win32Controller::bindMeter(MeterWidget* control, ParameterId id, const MeterScaler* scaler,
                                const MeterConfiguration& configuration, MeterClock clock) {
    ParameterSet& set = boundSet();
    statusObservers_.erase(control);
    auto observer =
        std::make_unique<Win32MeterObserver>(control, scaler, configuration, std::move(clock));
    set.observeStatus(id, *observer);
    statusObservers_[control] = std::move(observer);
}

void Win32Controller::bindCheckBox(QAbstractButton* button, ParameterId id, int value) {
    ParameterSet& set = boundSet();
    controlObservers_.erase(button);
    auto observer = std::make_unique<Win32CheckBoxObserver>(button, value);
    set.observeControl(id, *observer);
    controlObservers_[button] = std::move(observer);
}

void Win32Controller::bindComboBox(QComboBox* combo, ParameterId id, int firstStringId,
                                   int lastStringId) {
    ParameterSet& set = boundSet();
    controlObservers_.erase(combo);
    auto observer = std::make_unique<Win32ComboBoxObserver>(combo, firstStringId, lastStringId);
    set.observeControl(id, *observer);
    controlObservers_[combo] = std::move(observer);
}

void Win32Controller::bindProgressBar(QProgressBar* bar, ParameterId id) {
    ParameterSet& set = boundSet();
    controlObservers_.erase(bar);
    auto observer = std::make_unique<Win32ProgressBarObserver>(bar);
    set.observeControl(id, *observer);
    controlObservers_[bar] = std::move(observer);
}

Win32SliderObserver& Win32Controller::bindSlider(QSlider* slider, ParameterId id, bool inverted,
                                                 bool holdPosition) {
    ParameterSet& set = boundSet();
    sliderObservers_.erase(slider);
    auto observer = std::make_unique<Win32SliderObserver>(slider, inverted, holdPosition);
    set.observeControl(id, *observer);
    Win32SliderObserver& made = *observer;
    sliderObservers_[slider] = std::move(observer);
    return made;
}

void Win32Controller::controlChanged(QWidget* control) {
    // The cursor goes before the guard hands a failure on.
    guard([&] {
        const WaitCursor waiting;
        const auto found = controlObservers_.find(control);
        if (found == controlObservers_.end()) {
            return;
        }
        Win32ControlParameterObserver& observer = *found->second;
        ParameterTransaction transaction;
        const auto write = [&] {
            observer.applyControl(&transaction);
            transaction.commit();
        };
        if (ControlParameter* parameter = observer.subject()) {
            // The value asked is pending until the transaction is rolled back.
            refusable(*parameter, observer, std::nullopt, write, [&] { transaction.rollback(); });
        } else {
            write();
        }
    });
}

void Win32Controller::controlChanged(QWidget* control, Transaction& transaction) {
    guard([&] {
        const WaitCursor waiting;
        const auto found = controlObservers_.find(control);
        if (found != controlObservers_.end()) {
            found->second->applyControl(&transaction);
        }
    });
}

void Win32Controller::sliderChanged(QSlider* slider, ScrollCode code) {
    guard([&] {
        const WaitCursor waiting;
        const auto found = sliderObservers_.find(slider);
        if (found == sliderObservers_.end()) {
            return;
        }
        Win32SliderObserver& observer = *found->second;
        const std::optional<ParameterValue> asked = observer.wanted(code);
        if (asked) {
            ControlParameter& parameter = *observer.subject();
            refusable(
                parameter, observer, *asked, [&] { parameter.setValue(*asked); }, [] {});
        }
    });
}

template <class Write, class Undo>
void Win32Controller::refusable(ControlParameter& parameter, GenericObserver& observer,
                                const std::optional<ParameterValue>& asked, Write&& write,
                                Undo&& undo) {
    try {
        write();
    } catch (const HostException& refusal) {
        const ParameterValue wanted = asked.value_or(parameter.value());
        try {
            undo();
        } catch (const HostException&) {
            // Rules that follow the setting wrote to a unit that refuses them
            // too; the next refresh shows what it holds.
        }
        // The control must not go on showing a value the unit does not hold,
        // even when the notification of the undo broke off before it.
        observer.update(parameter, nullptr);
        const std::string name = ParameterText::label(parameter);
        throw HostException("The TRX4 refused " + name + " \"" +
                            ParameterText::valueText(parameter, wanted) + "\" (" + refusal.what() +
                            "). " + name + " shows the TRX4's value again: \"" +
                            ParameterText::valueText(parameter, parameter.value()) + "\".");
    }
}

void Win32Controller::connectChanges(QAbstractButton* button) {
    connections_.push_back(QObject::connect(button, &QAbstractButton::clicked, button,
                                            [this, button] { controlChanged(button); }));
}

void Win32Controller::connectChanges(QComboBox* combo) {
    connections_.push_back(QObject::connect(combo, &QComboBox::activated, combo,
                                            [this, combo] { controlChanged(combo); }));
}

void Win32Controller::connectChanges(QSlider* slider) {
    connections_.push_back(QObject::connect(
        slider, &QAbstractSlider::actionTriggered, slider, [this, slider](int action) {
            sliderChanged(slider, scrollCodeOf(static_cast<QAbstractSlider::SliderAction>(action)));
        }));
}

void Win32Controller::setHandlerBusy(bool busy) {
    if (exceptionHandler_ != nullptr) {
        exceptionHandler_->setBusy(busy);
    }
}

bool Win32Controller::hasDevice() const {
    return parameterSet_ != nullptr && parameterSet_->hasDevice();
}

FirmwareDownload& Win32Controller::download() {
    if (parameterSet_ == nullptr || parameterSet_->protocol() == nullptr) {
        throw VerloException("No parameter set to download through");
    }
    GenericProtocol& protocol = *parameterSet_->protocol();
    if (download_ == nullptr) {
        download_ = std::make_unique<FirmwareDownload>(protocol);
    } else {
        download_->setProtocol(protocol);
    }
    return *download_;
}

void Win32Controller::selectImage(const std::string& path, ProgressCommand& progress) {
    download().selectImage(path, progress);
}

bool Win32Controller::sendNextChunk() {
    return download_ != nullptr && download().sendNextChunk();
}

void Win32Controller::resetImage() {
    if (download_ != nullptr) {
        download().resetImage();
    }
}

std::uint32_t Win32Controller::chunksSent() const {
    return download_ != nullptr ? download_->chunksSent() : 0;
}
