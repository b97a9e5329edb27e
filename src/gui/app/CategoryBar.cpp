#include "app/CategoryBar.h"

#include "app/MyButton.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QToolBar>

namespace {

struct CategoryLook {
    const char* name;
    const char* normal;
    const char* hover;
    const char* checked;
    const char* objectName;
};

// Indexed by CategoryBar::Category.
const CategoryLook kCategories[CategoryBar::kCount] = {
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Mail"), ":/images/img_Mail.png", ":/images/img_HoverMail.png",
     ":/images/img_MailClick.png", "MailButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Address Book"), ":/images/img_Address.png",
     ":/images/img_HoverAddress.png", ":/images/img_AddressClick.png", "AddressBookButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Calendar"), ":/images/img_Calender.png",
     ":/images/img_HoverCalender.png", ":/images/img_CalendarClick.png", "CalendarButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Notes"), ":/images/img_Notes.png", ":/images/img_HoverNotes.png",
     ":/images/img_NotesClick.png", "NotesButton"},
    {QT_TRANSLATE_NOOP("QEntourageMainWindow", "Tasks"), ":/images/img_Tasks.png", ":/images/img_HoverTasks.png",
     ":/images/img_TasksClick.png", "TasksButton"},
};

// When the pointer leaves an unchecked button the caption names the checked
// category, looked for in this order.
const int kCaptionOrder[] = {1, 0, 4, 3, 2};

const QString kCaptionFont = QStringLiteral("Lucida Grande");

}  // namespace

QString CategoryBar::nameOf(Category category)
{
    return QCoreApplication::translate("QEntourageMainWindow", kCategories[indexOf(category)].name);
}

CategoryBar::CategoryBar(QToolBar* toolBar, QObject* parent) : QObject(parent)
{
    for (int i = 0; i < kCount; ++i) {
        const auto category = static_cast<Category>(i);
        const CategoryLook& look = kCategories[i];
        auto* action = new QAction(nameOf(category), this);
        action->setToolTip(nameOf(category));
        action->setObjectName(QLatin1String("action") + QLatin1String(look.objectName));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, category]() { emit categoryRequested(category); });
        m_actions[static_cast<size_t>(i)] = action;

        auto* button = new MyButton(toolBar);
        button->setObjectName(QLatin1String(look.objectName));
        button->setFixedSize(30, 28);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoRaise(true);
        // The icons show hover and checked states themselves; a plate drawn
        // by the style would make a hovered button look checked.
        button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0px; }"));
        button->setIconPath(QLatin1String(look.normal));
        button->setToolTip(nameOf(category));
        connect(button, &QToolButton::clicked, this, [this, category]() { emit categoryRequested(category); });
        connect(button, &MyButton::ChangePixmap, this, [this, i]() { enter(i); });
        connect(button, &MyButton::OnUpdatePixmap, this, [this, i]() { leave(i); });
        toolBar->addWidget(button);
        m_buttons[static_cast<size_t>(i)] = button;
    }

    m_caption = new QLabel(toolBar);
    m_caption->setObjectName(QStringLiteral("categoryCaption"));
    m_caption->setFont(QFont(kCaptionFont, 11));
    m_caption->setContentsMargins(8, 0, 8, 0);
    // As wide as the widest name, whichever is shown: Open and Save beside it
    // must not move when the caption changes.
    int captionWidth = 0;
    for (int i = 0; i < kCount; ++i)
        captionWidth =
            qMax(captionWidth, m_caption->fontMetrics().horizontalAdvance(nameOf(static_cast<Category>(i))));
    m_caption->setFixedWidth(captionWidth + 16);
    toolBar->addWidget(m_caption);
}

void CategoryBar::select(Category category)
{
    m_current = category;
    m_caption->setText(nameOf(category));
    for (int i = 0; i < kCount; ++i) {
        const bool chosen = i == indexOf(category);
        MyButton* button = m_buttons[static_cast<size_t>(i)];
        button->setChecked(chosen);
        button->setIconPath(QLatin1String(chosen ? kCategories[i].checked : kCategories[i].normal));
        m_actions[static_cast<size_t>(i)]->setChecked(chosen);
    }
}

void CategoryBar::setEnabled(bool enabled)
{
    for (int i = 0; i < kCount; ++i) {
        m_buttons[static_cast<size_t>(i)]->setEnabled(enabled);
        m_actions[static_cast<size_t>(i)]->setEnabled(enabled);
    }
}

void CategoryBar::enter(int index)
{
    MyButton* button = m_buttons[static_cast<size_t>(index)];
    m_caption->setText(nameOf(static_cast<Category>(index)));
    button->setIconPath(QLatin1String(button->isChecked() ? kCategories[index].checked : kCategories[index].hover));
}

void CategoryBar::leave(int index)
{
    MyButton* button = m_buttons[static_cast<size_t>(index)];
    if (button->isChecked()) {
        button->setIconPath(QLatin1String(kCategories[index].checked));
        return;
    }
    button->setIconPath(QLatin1String(kCategories[index].normal));
    for (int candidate : kCaptionOrder) {
        if (m_buttons[static_cast<size_t>(candidate)]->isChecked()) {
            m_caption->setText(nameOf(static_cast<Category>(candidate)));
            break;
        }
    }
}
