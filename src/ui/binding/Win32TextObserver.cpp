#include "ui/binding/Win32TextObserver.h"

#include "model/ControlParameter.h"
#include "model/Parameter.h"

#include <sstream>

template <class T>
Win32TextObserver<T>::Win32TextObserver(QLabel* control, ParameterFormatter* formatter)
    : formatter_(formatter), control_(control),
      area_(control != nullptr ? control->geometry() : QRect()) {
    if (control != nullptr) {
        // A label without a buddy shows "&" literally only as plain text;
        // the parameter texts never carry markup.
        control->setTextFormat(Qt::PlainText);
    }
}

template <class T> Win32TextObserver<T>::~Win32TextObserver() = default;

template <class T> void Win32TextObserver<T>::update(Subject& subject, Transaction* /*hint*/) {
    T* parameter = this->subject();
    if (&subject != parameter || control_ == nullptr) {
        return;
    }
    std::ostringstream text;
    parameter->format(text, parameter->value(), formatter_);
    control_->setText(QString::fromLatin1(text.str()));
    control_->setEnabled(parameter->available());
    if (QWidget* parent = control_->parentWidget()) {
        parent->update(area_);
    }
}

template class Win32TextObserver<Parameter>;
template class Win32TextObserver<ControlParameter>;
