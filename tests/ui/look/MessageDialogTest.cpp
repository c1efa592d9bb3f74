#include "ui/look/MessageDialog.h"

#include "protocol/VerloException.h"
#include "ui/binding/ControlId.h"
#include "ui/look/CxShadeButton.h"
#include "ui/windows/WindowStack.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace {

QStringList labelTexts(const QDialog& dialog) {
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    return texts;
}

TEST(MessageDialogTest, TemplatesGiveCaptionTextsAndControlIds) {
    const QString text = QStringLiteral("Error opening /tmp/<b>a&b</b>.trx");
    MessageDialog message(160, text);
    EXPECT_EQ(message.windowTitle(), QStringLiteral("TRX4 Remote"));
    EXPECT_EQ(labelTexts(message), QStringList{text});
    auto* label = findControl<QLabel>(&message, 1019);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), text);

    ErrorDialog error(QStringLiteral("Timed out"));
    EXPECT_EQ(error.templateId(), 152);
    EXPECT_EQ(error.windowTitle(), QStringLiteral("Error"));
    EXPECT_EQ(error.message(), QStringLiteral("Error communicating with the TRX4."));
    EXPECT_EQ(labelTexts(error),
              (QStringList{QStringLiteral("Error communicating with the TRX4."),
                           QStringLiteral("Press Ok to continue in \"off line\" mode")}));

    for (const MessageDialog* dialog : {&message, static_cast<MessageDialog*>(&error)}) {
        const auto* ok = findControl<CxShadeButton>(dialog, 2);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    }
    EXPECT_THROW(MessageDialog(151, text), VerloException);
}

TEST(MessageDialogTest, WhileOpenItIsOnTheWindowStack) {
    QWidget settings;
    settings.winId();
    WindowStack::instance().push(&settings);
    {
        MessageDialog dialog(160, QStringLiteral("Firmware Upgraded"));
        dialog.show();
        EXPECT_EQ(WindowStack::instance().windows(), (QList<QWidget*>{&settings, &dialog}));
        findControl<CxShadeButton>(&dialog, 2)->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(WindowStack::instance().windows(), QList<QWidget*>{&settings});

        dialog.show();
        EXPECT_EQ(WindowStack::instance().windows().size(), 2);
    }
    // Destroyed while open, it left the stack too.
    EXPECT_EQ(WindowStack::instance().windows(), QList<QWidget*>{&settings});
    WindowStack::destroyInstance();
}

} // namespace
