#include "ui/windows/ModalRunner.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

ModalRunner* installed = nullptr;

// The window the dialog was opened from takes the keyboard back. When the
// dialog's end closed that window too (a dropped connection, a finished
// update), the nearest one still open below it does, so that some window
// always has the focus.
void returnFocus(const QWidget* dialog) {
    QWidget* owner = dialog->parentWidget();
    while (owner != nullptr && !owner->window()->isVisible()) {
        owner = owner->window()->parentWidget();
    }
    if (owner != nullptr) {
        owner->window()->activateWindow();
    }
}

} // namespace

ModalRunner::~ModalRunner() = default;

int ModalRunner::runDialog(QDialog& dialog) {
    return dialog.exec();
}

QString ModalRunner::chooseFile(QWidget* parent, const FileRequest& request) {
    QFileDialog dialog(parent, request.caption, QString(), request.filter);
    const bool save = request.mode == FileRequest::Mode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    const int result = runDialog(dialog);
    returnFocus(&dialog);
    if (result != QDialog::Accepted) {
        return QString();
    }
    return dialog.selectedFiles().value(0);
}

ModalRunner& ModalRunner::current() {
    static ModalRunner defaultRunner;
    return installed != nullptr ? *installed : defaultRunner;
}

ModalRunner* ModalRunner::install(ModalRunner* runner) {
    ModalRunner* previous = installed;
    installed = runner;
    return previous;
}

int ModalRunner::run(QDialog& dialog) {
    const int result = current().runDialog(dialog);
    returnFocus(&dialog);
    return result;
}

void ModalRunner::message(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("&OK"));
    run(box);
}
