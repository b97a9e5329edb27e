// Path components that every disk takes, and sibling names that a disk
// would fold together. Whole layouts are in the golden files (mail-bundle,
// mail-export).

#include "output/PathComponents.h"

#include <gtest/gtest.h>

using namespace er;

TEST(FolderNames, ComponentRules)
{
    const struct {
        QString name;
        QString component;
    } rules[] = {
        {"", "Untitled"},
        {".", "-"},
        {"..", "--"},
        {"a/b\\c:d*e?f\"g<h>i|j", "a-b-c-d-e-f-g-h-i-j"},
        {"tab\there", "tab-here"},
        {"Misc. ", "Misc.-"},
        {"Misc.", "Misc-"},
        {"con", "con-"},
        {"LPT1.txt", "LPT1.txt-"},
        {"COM10", "COM10"},
        {QString(130, QChar(0x00E9)), QString(120, QChar(0x00E9))},
        {QString::fromUtf8("😀").repeated(70), QString::fromUtf8("😀").repeated(60)},
    };
    for (const auto& r : rules)
        EXPECT_EQ(safePathComponent(r.name), r.component) << r.name.toStdString();

    SiblingComponents siblings;
    siblings.reserve(QStringLiteral("Box.mbox"));
    EXPECT_EQ(siblings.claim("Inbox", "Inbox"), "Inbox");
    EXPECT_EQ(siblings.claim("INBOX", "INBOX"), "INBOX-2");
    EXPECT_EQ(siblings.claim("Inbox", "Inbox"), "Inbox") << "exact twins share";
    EXPECT_EQ(siblings.claim("inbox", "inbox"), "inbox-3");
    EXPECT_EQ(siblings.claim("box.MBOX", "box.MBOX"), "box.MBOX-2");
    EXPECT_EQ(siblings.claim(QString::fromUtf8("Zu\u0308rich"), QString::fromUtf8("Zu\u0308rich")),
              QString::fromUtf8("Zu\u0308rich"));
    EXPECT_EQ(siblings.claim(QString::fromUtf8("Z\u00fcrich"), QString::fromUtf8("Z\u00fcrich")),
              QString::fromUtf8("Z\u00fcrich-2"));
}
