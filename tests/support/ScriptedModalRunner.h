#pragma once

#include "ui/look/ControlId.h"
#include "ui/windows/ModalRunner.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

// Plays the operator: while it exists it is the process's ModalRunner, and
// each modal run takes the next scripted answer, in order. A run with no
// answer left, or an answer left unused, fails the test.
class ScriptedModalRunner : public ModalRunner {
public:
    struct ShownDialog {
        QStringList texts; // its non-empty labels, in creation order
    };

    ScriptedModalRunner() : previous_(ModalRunner::install(this)) {}
    ~ScriptedModalRunner() override {
        ModalRunner::install(previous_);
        EXPECT_TRUE(answers_.empty() && files_.empty()) << "answers left unused";
    }

    // The operator does answer to the next dialog.
    void answerDialog(std::function<void(QDialog&)> answer) {
        answers_.push_back(std::move(answer));
    }
    // The operator clicks the button with the id in the next dialog.
    void clickInDialog(int id) {
        answerDialog([id](QDialog& dialog) {
            auto* button = findControl<QAbstractButton>(&dialog, id);
            ASSERT_NE(button, nullptr) << "no button " << id;
            button->click();
        });
    }
    // The next file chooser returns the path; an empty one is a cancel.
    void answerFile(const QString& path) { files_.push_back(path); }

    const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
    // What each file chooser was asked for, in order.
    const std::vector<FileRequest::Mode>& fileModes() const { return fileModes_; }

    int runDialog(QDialog& dialog) override {
        ShownDialog& shown = dialogs_.emplace_back();
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->window() == &dialog && !label->text().isEmpty()) {
                shown.texts.append(label->text());
            }
        }
        dialog.setResult(QDialog::Rejected);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected modal dialog " << dialog.windowTitle().toStdString();
        } else {
            const auto answer = answers_.front();
            answers_.pop_front();
            answer(dialog);
        }
        return dialog.result();
    }

    QString chooseFile(QWidget* /*parent*/, const FileRequest& request) override {
        fileModes_.push_back(request.mode);
        if (files_.empty()) {
            ADD_FAILURE() << "unexpected file chooser \"" << request.caption.toStdString() << "\"";
            return QString();
        }
        const QString path = files_.front();
        files_.pop_front();
        return path;
    }

private:
    ModalRunner* previous_;
    std::deque<std::function<void(QDialog&)>> answers_;
    std::deque<QString> files_;
    std::vector<FileRequest::Mode> fileModes_;
    std::vector<ShownDialog> dialogs_;
};
