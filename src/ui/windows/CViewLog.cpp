#include "ui/windows/CViewLog.h"

#include "ui/look/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/look/WindowFrame.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

CViewLog::CViewLog(const std::string& eventLog, const std::string& errorLog, QWidget* parent)
    : QDialog(parent), eventLog_(convertLineBreaks(eventLog)),
      errorLog_(convertLineBreaks(errorLog)) {
    setWindowTitle(QStringLiteral("Log"));
    setModal(true);

    logText_ = new QPlainTextEdit;
    setControlId(logText_, kLogText);
    logText_->setReadOnly(true);
    logText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    logText_->setMinimumSize(460, 280);

    auto* event = new QRadioButton(QStringLiteral("&Event"));
    auto* error = new QRadioButton(QStringLiteral("E&rror"));
    setControlId(event, kEventButton);
    setControlId(error, kErrorButton);
    auto* group = new QGroupBox(QStringLiteral("Log"));
    auto* choices = new QHBoxLayout(group);
    choices->addWidget(event);
    choices->addWidget(error);
    choices->addStretch();

    auto* close = new CxShadeButton(QStringLiteral("&Close"));
    setControlId(close, kCloseButton);
    close->setMinimumSize(88, 28);
    close->setShade(CxShadeButton::kBrushedMetal, 8, 10, 0, QColor());
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(group);
    bottom->addStretch();
    bottom->addWidget(close, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logText_);
    layout->addLayout(bottom);
    fixWindowFrame(*this, FrameButtons::CloseOnly);

    connect(event, &QRadioButton::clicked, this, [this] { showLog(eventLog_); });
    connect(error, &QRadioButton::clicked, this, [this] { showLog(errorLog_); });
    showLog(eventLog_);
    event->setChecked(true);
}

std::string CViewLog::convertLineBreaks(const std::string& text) {
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i + 1 == text.size() || text[i + 1] != '\r')) {
            converted += '\r';
        }
        converted += text[i];
    }
    return converted;
}

void CViewLog::showLog(const std::string& text) {
    // Qt breaks lines at a carriage return as well as at a line feed; a
    // break written as carriage returns and a line feed is one break.
    logText_->setPlainText(QString::fromLatin1(text).remove(QLatin1Char('\r')));
}
