#include "ui/windows/ModalRunner.h"

#include <QFileDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const FileRequest kLoad{FileRequest::Mode::Open, QStringLiteral("Load Settings"),
                        QStringLiteral("TRX4 Files (*.trx);;All Files (*)"), QStringLiteral("trx")};

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
