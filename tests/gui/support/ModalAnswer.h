#pragma once

// Answers the message boxes that the code under test opens with their own
// event loops (QMessageBox::exec), one button each, in the order they come.

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace ertest {

// Presses `buttons` in turn on the next boxes; any other dialog is rejected.
// Returns the texts of the boxes answered so far. The minute's bound is only
// there so that a box that never comes ends the polling.
inline std::shared_ptr<QStringList> answerBoxes(const QList<QMessageBox::StandardButton>& buttons)
{
    auto seen = std::make_shared<QStringList>();
    auto last = std::make_shared<QPointer<QWidget>>();
    auto poll = std::make_shared<std::function<void()>>();
    const QDeadlineTimer bound(60000);
    *poll = [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != *last && modal->isVisible()) {
            *last = modal;
            auto* box = qobject_cast<QMessageBox*>(modal);
            *seen << (box ? box->text() : QString());
            if (box && box->button(buttons.at(seen->size() - 1)))
                box->button(buttons.at(seen->size() - 1))->click();
            else
                static_cast<QDialog*>(modal)->reject();
        }
        if (seen->size() < buttons.size() && !bound.hasExpired())
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
    return seen;
}

}  // namespace ertest
