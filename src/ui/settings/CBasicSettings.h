#pragma once

#include "model/ParameterConverter.h"
#include "ui/binding/Win32Controller.h"
#include "ui/binding/Win32EditObserver.h"
#include "ui/look/PaletteDialog.h"

#include <memory>

class CxShadeButton;
class ExceptionHandler;
class KORAExceptionHandler;
class ParameterSet;
class QLineEdit;

// The "Settings" dialog: presentation language, cinema processor, digital
// input priorities, automation pins, input selector and the surround delay
// with its calculator. Every change is written at once; the dialog opens the
// advanced settings and the log viewer.
class CBasicSettings : public PaletteDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 154;
    static constexpr int kLanguageList = 1016;
    static constexpr int kProcessorList = 1239;
    static constexpr int kFirstChoiceList = 1114;
    static constexpr int kSecondChoiceList = 1115;
    static constexpr int kThirdChoiceList = 1116;
    static constexpr int kFilmPinList = 1237;
    static constexpr int kMediaPinList = 1238;
    static constexpr int kFilmInput = 1043;
    static constexpr int kMediaInput = 1044;
    static constexpr int kDelaySlider = 1240;
    static constexpr int kDelayText = 1247;
    static constexpr int kDistanceEdit = 1243;
    static constexpr int kSpacingEdit = 1244;
    static constexpr int kDistanceUnits = 1245;
    static constexpr int kSpacingUnits = 1246;
    static constexpr int kFeet = 1241;
    static constexpr int kMeters = 1242;
    static constexpr int kCalculate = 1248;
    static constexpr int kAdvanced = 1198;
    static constexpr int kUpdateSoftware = 1199;
    static constexpr int kViewLog = 1200;
    static constexpr int kClose = 2;

    // Neither the set nor the handler is owned.
    CBasicSettings(ParameterSet* parameterSet, QWidget* parent, ExceptionHandler* exceptionHandler);
    ~CBasicSettings() override;

private:
    void calculate();
    void openAdvanced();
    void openLog();
    void openUpdate();
    // The controller's handler as the unit's; throws VerloException
    // "invalid exception handler" when it is another kind.
    KORAExceptionHandler& unitHandler() const;
    // Runs dialog modally while it is registered with handler and on the
    // window stack.
    void runRegistered(QDialog& dialog, KORAExceptionHandler& handler);
    // The number at the start of the edit's text (-1 when there is none); a
    // number within 5..limit is written at once, any other is refused with a
    // message and the edit selected for correction.
    int validateDistance(QLineEdit& edit, Win32EditObserver& observer, int limit);

    Win32Controller controller_;
    ParameterSet* parameterSet_;
    IntParameterConverter converter_{1};
    QLineEdit* distanceEdit_;
    QLineEdit* spacingEdit_;
    CxShadeButton* calculateButton_;
    std::unique_ptr<Win32EditObserver> distanceObserver_;
    std::unique_ptr<Win32EditObserver> spacingObserver_;
};
