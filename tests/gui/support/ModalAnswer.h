#pragma once

// Answers the next modal dialog or message box that opens while the code
// under test runs its own event loop (QMessageBox::exec, QDialog::exec).

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace ertest {

// Polls for a visible modal widget other than `except` and hands it to
// `answer` once. Returns a flag that tells whether the answer ran.
inline std::shared_ptr<bool> answerNextModal(std::function<void(QWidget*)> answer, QWidget* except = nullptr)
{
    auto done = std::make_shared<bool>(false);
    auto polls = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    QPointer<QWidget> skip(except);
    *poll = [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != skip.data() && modal->isVisible()) {
            *done = true;
            answer(modal);
        } else if (++*polls < 500) {  // bounded only so that a missing box fails
            QTimer::singleShot(20, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
    return done;
}

// Presses the message box button with the given role, remembering the text;
// any other dialog is rejected.
inline std::shared_ptr<bool> answerMessageBox(QMessageBox::StandardButton button, QString* textSeen = nullptr)
{
    return answerNextModal([=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box && textSeen)
            *textSeen = box->text();
        if (box && box->button(button))
            box->button(button)->click();
        else
            static_cast<QDialog*>(modal)->reject();
    });
}

}  // namespace ertest
