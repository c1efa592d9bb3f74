#include "ui/ModalRunner.h"

#include "support/ScriptedModalRunner.h"
#include "ui/MessageDialog.h"

#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

const FileRequest kLoad{FileRequest::Mode::Open, QStringLiteral("Load Settings"),
                        QStringLiteral("TRX4 Files (*.trx);;All Files (*)"), QStringLiteral("trx")};

TEST(ModalRunnerTest, AScriptedOperatorAnswersDialogsMessagesAndFileChoosers) {
    ScriptedModalRunner runner;
    runner.clickInDialog(MessageDialog::kOkButton);
    runner.answerDialog([](QDialog& dialog) { dialog.reject(); });
    runner.answerFile(QStringLiteral("/home/booth/main.trx"));

    MessageDialog dialog(160, QStringLiteral("Firmware Upgraded"));
    EXPECT_EQ(ModalRunner::run(dialog), QDialog::Accepted);
    ModalRunner::message(nullptr, QStringLiteral("TRX4 Remote"),
                         QStringLiteral("Please enter a value between 5 and 200"));
    EXPECT_EQ(ModalRunner::current().chooseFile(nullptr, kLoad),
              QStringLiteral("/home/booth/main.trx"));

    ASSERT_EQ(runner.dialogs().size(), 2U);
    EXPECT_EQ(runner.dialogs()[0].texts, QStringList{QStringLiteral("Firmware Upgraded")});
    EXPECT_EQ(runner.dialogs()[1].title, QStringLiteral("TRX4 Remote"));
    EXPECT_TRUE(runner.dialogs()[1].texts.contains(
        QStringLiteral("Please enter a value between 5 and 200")));
    EXPECT_EQ(runner.fileRequests().at(0).defaultSuffix, QStringLiteral("trx"));
}

TEST(ModalRunnerTest, UnexpectedOrUnusedAnswersFailAndTheDefaultComesBack) {
    ModalRunner& defaultRunner = ModalRunner::current();
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedModalRunner runner;
            MessageDialog dialog(160, QStringLiteral("surprise"));
            EXPECT_EQ(ModalRunner::run(dialog), QDialog::Rejected);
        },
        "unexpected modal dialog \"TRX4 Remote\"");
    EXPECT_NONFATAL_FAILURE(
        {
            ScriptedModalRunner runner;
            runner.answerFile(QString());
        },
        "1 file answer(s) unused");
    EXPECT_EQ(&ModalRunner::current(), &defaultRunner);
}

// Takes over dialogs only, so the default file chooser reaches it as a dialog.
struct FileDialogAnswerer : ModalRunner {
    int runDialog(QDialog& dialog) override {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        EXPECT_NE(chooser, nullptr);
        if (chooser != nullptr) {
            suffix = chooser->defaultSuffix();
            filters = chooser->nameFilters();
            saving = chooser->acceptMode() == QFileDialog::AcceptSave;
            chooser->selectFile(pick);
        }
        // Not accept(): on a bad choice it would open a message box of its own.
        dialog.done(QDialog::Accepted);
        return dialog.result();
    }
    QString pick, suffix;
    QStringList filters;
    bool saving = false;
};

TEST(ModalRunnerTest, TheDefaultFileChooserAsksWhatTheRequestSays) {
    const QTemporaryDir folder;
    FileDialogAnswerer answerer;
    answerer.pick = folder.filePath(QStringLiteral("theatre.trx"));
    EXPECT_EQ(answerer.chooseFile(nullptr, kLoad), answerer.pick);
    EXPECT_FALSE(answerer.saving);
    EXPECT_EQ(answerer.suffix, QStringLiteral("trx"));
    EXPECT_EQ(answerer.filters,
              (QStringList{QStringLiteral("TRX4 Files (*.trx)"), QStringLiteral("All Files (*)")}));
}

} // namespace
