#pragma once

#include "base/ParameterId.h"
#include "base/ParameterValue.h"
#include "firmware/FirmwareDownload.h"
#include "model/Subject.h"
#include "ui/binding/ExceptionHandler.h"
#include "ui/binding/MeterConfiguration.h"
#include "ui/binding/Win32ControlParameterObserver.h"
#include "ui/binding/Win32MeterObserver.h"
#include "ui/binding/Win32SliderObserver.h"
#include "ui/binding/Win32TextObserver.h"

#include <QMetaObject>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ControlParameter;
class MeterScaler;
class MeterWidget;
class Parameter;
class ParameterEvaluator;
class ParameterFormatter;
class ParameterSet;
class ProgressCommand;
class QAbstractButton;
class QComboBox;
class QLabel;
class QPixmap;
class QProgressBar;
class QSlider;
class QWidget;

// Binds a window's controls to parameters: creates an observer per control,
// attaches it to the parameter set and keeps it, keyed by the control, until
// the control is bound again or the controller dies. Operator changes run
// through controlChanged and sliderChanged, which send failures to the
// exception handler.
//
// Wiring: binding never connects signals. A window routes an operator's
// change by calling connectChanges for the control once it is bound (or by
// calling controlChanged itself when it needs its own transaction, as a
// validated button does). connectChanges uses the signals that only the
// operator raises (clicked, activated, actionTriggered), so
// updates made by the observers never come back as changes.
class Win32Controller {
public:
    // Neither the parameter set (none allowed until setParameterSet) nor the
    // handler is owned.
    Win32Controller(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler);
    ~Win32Controller();

    Win32Controller(const Win32Controller&) = delete;
    Win32Controller& operator=(const Win32Controller&) = delete;

    // Each bind replaces the control's earlier observer and shows the
    // parameter's value at once. Binding without a parameter set, or to an
    // identifier the set lacks, throws VerloException.
    void bindStatusText(QLabel* control, ParameterId id, ParameterFormatter* formatter = nullptr);
    void bindControlText(QLabel* control, ParameterId id, ParameterFormatter* formatter = nullptr);
    void bindBitmap(QLabel* control, ParameterId id, const ParameterEvaluator* evaluator,
                    const QPixmap& onImage, const QPixmap& offImage, bool isControl);
    // clock defaults to programMilliseconds.
    void bindMeter(MeterWidget* control, ParameterId id, const MeterScaler* scaler,
                   const MeterConfiguration& configuration, MeterClock clock = {});
    void bindCheckBox(QAbstractButton* button, ParameterId id, int value);
    void bindComboBox(QComboBox* combo, ParameterId id, int firstStringId, int lastStringId);
    void bindProgressBar(QProgressBar* bar, ParameterId id);
    // The observer, for configureSlider; it stays the controller's.
    Win32SliderObserver& bindSlider(QSlider* slider, ParameterId id, bool inverted,
                                    bool holdPosition);

    // Applies the control's state in a transaction of its own, committed at
    // once. A control that is not bound as a check box, combo box or
    // progress bar is ignored.
    void controlChanged(QWidget* control);
    // The same on behalf of the caller's transaction, which the caller commits.
    void controlChanged(QWidget* control, Transaction& transaction);
    void sliderChanged(QSlider* slider, ScrollCode code);

    // Route the operator's changes of a bound control to controlChanged
    // (buttons: clicked; lists: activated) or sliderChanged (the slider's
    // actions; releasing the thumb ends tracking, which changes nothing, so
    // it is not routed). Call once per control.
    void connectChanges(QAbstractButton* button);
    void connectChanges(QComboBox* combo);
    void connectChanges(QSlider* slider);

    // Runs command on the route of a control changed by the operator;
    // without a handler what it throws propagates.
    template <class Command> void guard(Command&& command) {
        if (exceptionHandler_ == nullptr) {
            command();
        } else {
            exceptionHandler_->guard(ExceptionHandler::kControlChanged, command);
        }
    }

    void setParameterSet(ParameterSet* parameterSet) { parameterSet_ = parameterSet; }
    ParameterSet* parameterSet() const { return parameterSet_; }
    ExceptionHandler* exceptionHandler() const { return exceptionHandler_; }
    void setHandlerBusy(bool busy);
    // False without a parameter set.
    bool hasDevice() const;

    // The firmware download role, carried out by FirmwareDownload through the
    // protocol of the parameter set in use at each call, so a connection
    // replaced by setParameterSet is followed. Its failures are thrown, for
    // the caller to guard; selecting without a parameter set throws too.
    void selectImage(const std::string& path, ProgressCommand& progress);
    // False when no image was ever selected.
    bool sendNextChunk();
    void resetImage();
    std::uint32_t chunksSent() const;
    // How the last transfer ended, and how often it started again.
    FirmwareDownload::Outcome downloadOutcome() const {
        return download_ != nullptr ? download_->outcome() : FirmwareDownload::Outcome::None;
    }
    unsigned downloadRestarts() const { return download_ != nullptr ? download_->restarts() : 0; }
    bool hasImage() const { return download_ != nullptr && download_->hasImage(); }
    // The selected image's file name without its folder; empty when none.
    std::string imageName() const { return download_ != nullptr ? download_->imageName() : ""; }
    // The selected image, or null.
    const FirmwareImage* image() const {
        return download_ != nullptr ? download_->image() : nullptr;
    }

private:
    // Runs write, which asks the unit to take asked (or, when not given, the
    // pending value) for parameter. When the unit refuses, undo gives the
    // parameter the unit's value back, the observer's control shows it at
    // once and the refusal is thrown again, naming the setting, the value
    // asked and the unit's words.
    template <class Write, class Undo>
    void refusable(ControlParameter& parameter, GenericObserver& observer,
                   const std::optional<ParameterValue>& asked, Write&& write, Undo&& undo);
    ParameterSet& boundSet() const;
    // The download role over the current parameter set's protocol.
    FirmwareDownload& download();

    ExceptionHandler* exceptionHandler_;
    ParameterSet* parameterSet_;
    std::map<QWidget*, std::unique_ptr<Win32ControlParameterObserver>> controlObservers_;
    std::map<QWidget*, std::unique_ptr<GenericObserver>> statusObservers_;
    std::map<QWidget*, std::unique_ptr<Win32TextObserver<ControlParameter>>> controlTextObservers_;
    std::map<QWidget*, std::unique_ptr<Win32SliderObserver>> sliderObservers_;
    std::vector<QMetaObject::Connection> connections_;
    // Made with the first selection; the image lives as long as the controller.
    std::unique_ptr<FirmwareDownload> download_;
};
