#pragma once

#include "ui/binding/Win32Controller.h"
#include "ui/look/PalettePropertyPage.h"

class ExceptionHandler;
class ParameterSet;

// The "Audio Settings" page: the global audio delay and the decoding options,
// each a Disable/Enable radio pair.
class CMiscellaneous : public PalettePropertyPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 135;
    static constexpr int kDelaySlider = 1259;
    static constexpr int kDelayText = 1260;
    static constexpr int kSilentSwitchDisable = 1209;
    static constexpr int kSilentSwitchEnable = 1210;

    // Neither the set nor the handler is owned.
    CMiscellaneous(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                   QWidget* parent = nullptr);

private:
    Win32Controller controller_;
};
