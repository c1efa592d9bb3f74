#pragma once

#include "model/Subject.h"

#include <QLineEdit>
#include <QPointer>

#include <string>

class ControlParameter;
class ParameterConverter;

// An edit box holding a control parameter's value as text. The operator's
// text is taken only when asked (applyText), never on every keystroke.
class Win32EditObserver : public Observer<ControlParameter> {
public:
    // Empties the edit box. The converter is not owned.
    Win32EditObserver(QLineEdit* edit, const ParameterConverter& converter);

    // Shows the value, unless the observer is applying the edit's own text.
    void update(Subject& subject, Transaction* hint) override;
    // Sets the parameter from the edit's text, with transaction or, without
    // one, at once. Returns false, writing nothing, when the text is the one
    // shown last or does not parse.
    virtual bool applyText(Transaction* transaction);
    // Shows the parameter's value again.
    virtual void refresh();

    const std::string& shownText() const { return shownText_; }

private:
    std::string shownText_;
    QPointer<QLineEdit> edit_;
    const ParameterConverter& converter_;
    // Set while applyText runs, so that the change's own notifications do
    // not overwrite the text being applied.
    bool applying_ = false;
    std::string renderedText_;
};
