#pragma once

#include "model/Subject.h"

#include <QLabel>
#include <QPixmap>
#include <QPointer>

class Parameter;
class ParameterEvaluator;

// A lamp: shows onImage in a picture control while the evaluator holds for
// the parameter's value, offImage otherwise.
class Win32BitmapObserver : public Observer<Parameter> {
public:
    // Throws VerloException "Error initializing a Win32BitmapObserver" when
    // the control, the evaluator (not owned) or either image is missing.
    Win32BitmapObserver(QLabel* control, const ParameterEvaluator* evaluator,
                        const QPixmap& onImage, const QPixmap& offImage);

    void update(Subject& subject, Transaction* hint) override;

private:
    QPointer<QLabel> control_;
    const ParameterEvaluator* evaluator_;
    QPixmap onImage_;
    QPixmap offImage_;
};
