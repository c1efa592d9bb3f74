#include "ui/binding/Win32BitmapObserver.h"

#include "base/VerloException.h"
#include "model/Parameter.h"
#include "model/ParameterEvaluator.h"

Win32BitmapObserver::Win32BitmapObserver(QLabel* control, const ParameterEvaluator* evaluator,
                                         const QPixmap& onImage, const QPixmap& offImage)
    : control_(control), evaluator_(evaluator), onImage_(onImage), offImage_(offImage) {
    if (control == nullptr || evaluator == nullptr || onImage.isNull() || offImage.isNull()) {
        throw VerloException("Error initializing an indicator light");
    }
}

void Win32BitmapObserver::update(Subject& subject, Transaction* /*hint*/) {
    Parameter* parameter = this->subject();
    if (&subject != parameter || control_ == nullptr) {
        return;
    }
    control_->setPixmap(evaluator_->evaluate(parameter->value()) ? onImage_ : offImage_);
}
