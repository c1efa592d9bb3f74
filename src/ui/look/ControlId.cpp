#include "ui/look/ControlId.h"

namespace {

constexpr const char* kControlIdProperty = "controlId";

} // namespace

void setControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int controlId(const QWidget* control) {
    bool ok = false;
    const int id = control->property(kControlIdProperty).toInt(&ok);
    return ok ? id : -1;
}

QWidget* findControl(const QWidget* window, int id) {
    for (QObject* child : window->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr || control->isWindow()) {
            continue;
        }
        if (controlId(control) == id) {
            return control;
        }
        if (QWidget* inner = findControl(control, id)) {
            return inner;
        }
    }
    return nullptr;
}
