#pragma once

#include <QToolButton>

// A toolbar button that tells the window when the pointer enters or leaves
// it, so the window can swap its icon and the category caption.
class MyButton : public QToolButton {
    Q_OBJECT
public:
    explicit MyButton(QWidget* parent = nullptr);

    // Sets the icon and remembers its resource name (iconPath()), which the
    // window uses to decide what to show next and the tests read.
    void setIconPath(const QString& path);
    QString iconPath() const { return m_iconPath; }

signals:
    void ChangePixmap();
    void OnUpdatePixmap();

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_iconPath;
};
