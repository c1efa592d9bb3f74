#pragma once

#include "ui/binding/Win32Controller.h"
#include "ui/look/PalettePropertyPage.h"

class ExceptionHandler;
class ParameterSet;

// The "Channel Assignments" page: which signal each of the eight output
// channels carries.
class CChannelAssignments : public PalettePropertyPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 132;
    // Lists kFirstList .. kFirstList + 7 for "Channel 1" .. "Channel 8".
    static constexpr int kFirstList = 1249;

    CChannelAssignments(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                        QWidget* parent = nullptr);

private:
    Win32Controller controller_;
};
