#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;
class QRadioButton;

// Shows the unit's event log or error log, read before the dialog opened.
class CViewLog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 157;
    static constexpr int kLogText = 1033;
    static constexpr int kEventButton = 1183;
    static constexpr int kErrorButton = 1184;
    static constexpr int kCloseButton = 2;

    CViewLog(const std::string& eventLog, const std::string& errorLog, QWidget* parent = nullptr);

    // Every line feed that no carriage return follows gets one before it.
    static std::string convertLineBreaks(const std::string& text);

    const std::string& eventLog() const { return eventLog_; }
    const std::string& errorLog() const { return errorLog_; }

private:
    void showLog(const std::string& text);

    std::string eventLog_;
    std::string errorLog_;
    QPlainTextEdit* logText_;
};
