#pragma once

#include "ui/binding/Win32Controller.h"
#include "ui/look/PalettePropertyPage.h"

class ExceptionHandler;
class ParameterSet;

// The "Program Selection" page: the SDI audio group and program, and which
// program of a multi-program input the unit decodes.
class CProgramSelection : public PalettePropertyPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 158;
    // The single-program rows, always checked.
    static constexpr int kSevenOneButton = 1221;
    static constexpr int kFiveOneButton = 1225;

    CProgramSelection(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                      QWidget* parent = nullptr);

private:
    Win32Controller controller_;
};
