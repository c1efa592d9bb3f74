#include "ui/windows/ModalRunner.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

ModalRunner* installed = nullptr;

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
    if (runDialog(dialog) != QDialog::Accepted) {
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
    return current().runDialog(dialog);
}

void ModalRunner::message(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    run(box);
}
