#include "ui/look/MessageDialog.h"

#include "base/VerloException.h"
#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"
#include "ui/look/WindowStack.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <string>

namespace {

constexpr int kBackgroundBitmap = 136;

struct MessageTemplate {
    int id;
    const char* caption;
    const char* fixedLine; // below the message, or nullptr
};

constexpr MessageTemplate kTemplates[] = {
    {ErrorDialog::kTemplateId, "Error", ErrorDialog::kOffLineLine},
    {MessageDialog::kTemplateId, "TRX4 Remote", nullptr},
};

const MessageTemplate& findTemplate(int id) {
    for (const MessageTemplate& candidate : kTemplates) {
        if (candidate.id == id) {
            return candidate;
        }
    }
    throw VerloException("Unable to load the dialog template with id: " + std::to_string(id));
}

QLabel* addText(QVBoxLayout* layout, const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMinimumWidth(280);
    layout->addWidget(label);
    return label;
}

} // namespace

MessageDialog::MessageDialog(int templateId, const QString& message, QWidget* parent)
    : MessageDialog(templateId, message, QString(), parent) {}

MessageDialog::MessageDialog(int templateId, const QString& message, const QString& detail,
                             QWidget* parent)
    : PaletteDialog(templateId, kBackgroundBitmap, parent) {
    const MessageTemplate& layoutTemplate = findTemplate(templateId);
    setWindowTitle(QString::fromUtf8(layoutTemplate.caption));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(10);
    messageLabel_ = addText(layout, message);
    setControlId(messageLabel_, kMessageControl);
    if (!detail.isEmpty()) {
        addText(layout, detail);
    }
    if (layoutTemplate.fixedLine != nullptr) {
        addText(layout, QString::fromUtf8(layoutTemplate.fixedLine));
    }

    auto* okButton = new CxShadeButton(QStringLiteral("&OK"));
    setControlId(okButton, kOkButton);
    okButton->setDefault(true);
    okButton->setMinimumSize(88, 28);
    okButton->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addStretch();
    layout->addLayout(buttons);
    fixWindowFrame(*this, FrameButtons::CloseOnly);
}

MessageDialog::~MessageDialog() {
    leaveWindowStack();
}

QString MessageDialog::message() const {
    return messageLabel_->text();
}

void MessageDialog::done(int result) {
    leaveWindowStack();
    PaletteDialog::done(result);
}

void MessageDialog::showEvent(QShowEvent* event) {
    PaletteDialog::showEvent(event);
    if (!onWindowStack_) {
        onWindowStack_ = true;
        WindowStack::instance().push(this);
    }
}

void MessageDialog::leaveWindowStack() {
    if (onWindowStack_) {
        onWindowStack_ = false;
        WindowStack::instance().pop();
    }
}

ErrorDialog::ErrorDialog(const QString& message, QWidget* parent)
    : MessageDialog(kTemplateId, QString::fromUtf8(kMessage), message, parent) {}
