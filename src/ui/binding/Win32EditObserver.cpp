#include "ui/binding/Win32EditObserver.h"

#include "model/ControlParameter.h"
#include "model/ParameterConverter.h"
#include "model/ParameterTransaction.h"

#include <utility>

namespace {

// The operator's vocabulary is not the unit's business.
void filterWords(std::string& text) {
    const std::string word = "fuck";
    const auto found = text.find(word);
    if (found != std::string::npos) {
        text.replace(found, word.size(), "$#*!");
    }
}

} // namespace

Win32EditObserver::Win32EditObserver(QLineEdit* edit, const ParameterConverter& converter)
    : edit_(edit), converter_(converter) {
    if (edit != nullptr) {
        edit->clear();
    }
}

void Win32EditObserver::update(Subject& subject, Transaction* /*hint*/) {
    ControlParameter* parameter = this->subject();
    if (applying_ || &subject != parameter || edit_ == nullptr) {
        return;
    }
    converter_.render(renderedText_, parameter->value());
    edit_->setText(QString::fromLatin1(renderedText_));
    edit_->setEnabled(parameter->available());
    shownText_ = renderedText_;
}

bool Win32EditObserver::applyText(Transaction* transaction) {
    ControlParameter* parameter = subject();
    if (parameter == nullptr || edit_ == nullptr) {
        return false;
    }
    struct Applying {
        bool& flag;
        explicit Applying(bool& applying) : flag(applying) { flag = true; }
        ~Applying() { flag = false; }
    } applying(applying_);

    std::string text = edit_->text().toLatin1().toStdString();
    filterWords(text);
    if (text == shownText_) {
        return false;
    }
    ParameterValue value;
    if (!converter_.parse(value, text)) {
        return false;
    }
    if (transaction != nullptr) {
        parameter->setValue(value, transaction);
    } else {
        ParameterTransaction own;
        parameter->setValue(value, &own);
        own.commit();
    }
    shownText_ = std::move(text);
    return true;
}

void Win32EditObserver::refresh() {
    if (ControlParameter* parameter = subject()) {
        update(*parameter, nullptr);
    }
}
