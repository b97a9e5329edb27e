#include "app/MyButton.h"

#include <QIcon>

MyButton::MyButton(QWidget* parent) : QToolButton(parent)
{
    setMouseTracking(true);
    setCheckable(true);
    setIconSize(QSize(32, 32));
}

void MyButton::setIconPath(const QString& path)
{
    if (path == m_iconPath)
        return;
    m_iconPath = path;
    setIcon(QIcon(path));
}

void MyButton::enterEvent(QEvent* event)
{
    QToolButton::enterEvent(event);
    emit ChangePixmap();
}

void MyButton::leaveEvent(QEvent* event)
{
    QToolButton::leaveEvent(event);
    emit OnUpdatePixmap();
}
