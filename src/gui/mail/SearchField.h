#pragma once

#include <QLineEdit>

// The item list's search field: Escape empties it.
class SearchField : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
