#pragma once

#include "model/Subject.h"

#include <QLabel>
#include <QPointer>
#include <QRect>

class ParameterFormatter;

// Shows a parameter's value as the text of a static control (for a control
// parameter, the pending value). The control is enabled while the parameter
// is available.
template <class T> class Win32TextObserver : public Observer<T> {
public:
    // formatter (not owned) replaces the parameter's own when given.
    explicit Win32TextObserver(QLabel* control, ParameterFormatter* formatter = nullptr);
    ~Win32TextObserver() override;

    void update(Subject& subject, Transaction* hint) override;

private:
    ParameterFormatter* formatter_;
    QPointer<QLabel> control_;
    // The control's place on its parent, repainted so that the background
    // behind the transparent text is drawn again.
    QRect area_;
};

class Parameter;
class ControlParameter;
extern template class Win32TextObserver<Parameter>;
extern template class Win32TextObserver<ControlParameter>;
