#pragma once

#include <QDialog>

class ExceptionHandler;
class ParameterSet;
class Win32TabControl;

// The advanced settings: three pages under a tab control, "Audio Settings",
// "Channel Assignments" and "Program Selection". Every change is written at
// once; "Close" only closes.
class CAdvancedSettings : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 155;
    static constexpr int kTabControl = 1028;
    static constexpr int kCloseButton = 2;

    // Neither the set nor the handler is owned.
    CAdvancedSettings(ParameterSet* parameterSet, ExceptionHandler* exceptionHandler,
                      QWidget* parent = nullptr);

    Win32TabControl* tabControl() const { return tabControl_; }

private:
    void selectionChanged();

    // The pages are its children.
    Win32TabControl* tabControl_;
};
