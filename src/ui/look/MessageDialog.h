#pragma once

#include "ui/look/PaletteDialog.h"

class QLabel;

// A message box in the application's look: the message in static 1019 and a
// shaded "OK" button, id 2, that closes it. While it is open it is on the
// window stack.
class MessageDialog : public PaletteDialog {
    Q_OBJECT

public:
    // Template 160: caption "TRX4 Remote", the message on several lines.
    static constexpr int kTemplateId = 160;
    static constexpr int kMessageControl = 1019;
    static constexpr int kOkButton = 2;

    // Throws VerloException when the template is not one of the message
    // templates (152, 160).
    MessageDialog(int templateId, const QString& message, QWidget* parent = nullptr);
    // With the detail, when not empty, on a line of its own below the message.
    MessageDialog(int templateId, const QString& message, const QString& detail,
                  QWidget* parent = nullptr);
    ~MessageDialog() override;

    QString message() const;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void leaveWindowStack();

    QLabel* messageLabel_;
    bool onWindowStack_ = false;
};

// The dialog that tells the operator that talking to the unit failed and the
// application goes on off line.
class ErrorDialog : public MessageDialog {
    Q_OBJECT

public:
    // Template 152: caption "Error", a fixed line below the message.
    static constexpr int kTemplateId = 152;
    static constexpr const char* kMessage = "Error communicating with the TRX4.";
    static constexpr const char* kOffLineLine = "Press Ok to continue in \"off line\" mode";

    // The operator reads kMessage, then the failure's own message (when there
    // is one), then kOffLineLine.
    explicit ErrorDialog(const QString& message = QString(), QWidget* parent = nullptr);
};
