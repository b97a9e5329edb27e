#pragma once

// Answers the next modal dialog or message box that opens while the code
// under test runs its own event loop (QMessageBox::exec, QDialog::exec).

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace ertest {

// Polls for a modal widget other than `except` and hands it to `answer` once.
// Returns a flag that tells whether the answer ran.
inline std::shared_ptr<bool> answerNextModal(std::function<void(QWidget*)> answer,
                                             QWidget* except = nullptr, int timeoutMs = 10000)
{
    auto done = std::make_shared<bool>(false);
    auto waited = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    QPointer<QWidget> skip(except);
    *poll = [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip.data() && modal->isVisible()) {
            *done = true;
            answer(modal);
            return;
        }
        *waited += 20;
        if (*waited < timeoutMs)
            QTimer::singleShot(20, *poll);
    };
    QTimer::singleShot(0, *poll);
    return done;
}

// Presses the message box button with the given role, remembering the text.
inline std::shared_ptr<bool> answerMessageBox(QMessageBox::StandardButton button,
                                              QString* textSeen = nullptr,
                                              QString* titleSeen = nullptr)
{
    return answerNextModal([=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        if (textSeen)
            *textSeen = box->text();
        if (titleSeen)
            *titleSeen = box->windowTitle();
        QAbstractButton* b = box->button(button);
        if (b)
            b->click();
        else
            box->reject();
    });
}

}  // namespace ertest
