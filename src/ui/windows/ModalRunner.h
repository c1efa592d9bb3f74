#pragma once

#include <QString>

class QDialog;
class QWidget;

// What a file chooser asks the operator for.
struct FileRequest {
    enum class Mode { Open, Save };

    Mode mode = Mode::Open;
    QString caption;
    // In Qt's form, for example "TRX4 Files (*.trx);;All Files (*)".
    QString filter;
    // Appended to a typed name that has none, for example "trx".
    QString defaultSuffix;
};

// The one way the application runs anything modally: dialogs, message boxes
// and file choosers. Tests install their own runner to play the operator.
class ModalRunner {
public:
    virtual ~ModalRunner();

    // Runs the dialog modally and returns its result code.
    virtual int runDialog(QDialog& dialog);
    // Lets the operator choose a file; returns its full path, or an empty
    // text when the operator cancels. An existing file chosen for saving is
    // overwritten only after the operator has confirmed it.
    virtual QString chooseFile(QWidget* parent, const FileRequest& request);

    // The runner in use: the installed one, or the default one.
    static ModalRunner& current();
    // Makes runner the one in use (nullptr restores the default) and returns
    // the one installed before (nullptr for the default).
    static ModalRunner* install(ModalRunner* runner);

    // Runs the dialog through the current runner; then the window it was
    // opened from (or the nearest open one below) is made active again.
    static int run(QDialog& dialog);
    // Shows a plain message box with an OK button through the current runner.
    static void message(QWidget* parent, const QString& caption, const QString& text);
};
