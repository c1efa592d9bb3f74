#include "ui/binding/Win32Controller.h"

#include "model/ControlParameter.h"
#include "model/ParameterSet.h"
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
        ParameterTransaction transaction;
        found->second->applyControl(&transaction);
        transaction.commit();
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
        if (found != sliderObservers_.end()) {
            found->second->apply(code);
        }
    });
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
