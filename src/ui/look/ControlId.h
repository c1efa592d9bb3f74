#pragma once

#include <QWidget>

// Every control that the application's windows name by a number carries that
// number as its control id, so that code and tests find it the same way.

// Gives control the id; ids are positive, as in the dialog templates.
void setControlId(QWidget* control, int id);

// The control's id, or -1 when it has none.
int controlId(const QWidget* control);

// The first control inside window (in creation order, depth first) with the
// id, or nullptr. Separate windows inside it (child dialogs) are not searched:
// their controls belong to them.
QWidget* findControl(const QWidget* window, int id);

template <class Control> Control* findControl(const QWidget* window, int id) {
    return qobject_cast<Control*>(findControl(window, id));
}
