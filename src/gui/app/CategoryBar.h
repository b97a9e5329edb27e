#pragma once
// The five category buttons with their caption, and the matching View
// actions: which category is checked, and the icons of their hover and
// checked states. Choosing one asks the window to show that category.

#include "archive/ItemPreview.h"

#include <QObject>

#include <array>

class MyButton;
class QAction;
class QLabel;
class QToolBar;

class CategoryBar : public QObject {
    Q_OBJECT
public:
    using Category = er::ItemCategory;
    static constexpr int kCount = 5;
    static int indexOf(Category category) { return static_cast<int>(category); }

    // Puts the buttons and the caption on the toolbar.
    CategoryBar(QToolBar* toolBar, QObject* parent);

    // The category's name as the window shows it.
    static QString nameOf(Category category);

    QAction* action(Category category) const { return m_actions[static_cast<size_t>(indexOf(category))]; }
    Category current() const { return m_current; }

    // Checks this category's button and action, and names it in the caption.
    void select(Category category);
    void setEnabled(bool enabled);

signals:
    // A button or a View action was chosen.
    void categoryRequested(Category category);

private:
    void enter(int index);
    void leave(int index);

    std::array<MyButton*, kCount> m_buttons{};
    std::array<QAction*, kCount> m_actions{};
    QLabel* m_caption = nullptr;
    Category m_current = Category::Mail;
};
