// The preview's limits: texts too short to show, and structures built to
// make the walk run away. What the preview shows for every kind of message
// is in the golden files (mail-actions/lists.txt).

#include "mail/MessagePreview.h"

#include <gtest/gtest.h>

using namespace er;

TEST(MessagePreview, ShortTextsShowNothing)
{
    EXPECT_TRUE(previewMessage("\rSubject: s\r\rhi").headerLines.isEmpty()); // 16 bytes
    EXPECT_FALSE(previewMessage("\rSubject: s\r\rhi").hasBody());
    EXPECT_FALSE(previewMessage(QByteArray(21, 'x')).hasBody());
    EXPECT_FALSE(previewMessage("\r\r" + QByteArray(19, 'x')).hasBody());
    EXPECT_TRUE(previewMessage("\r\r" + QByteArray(20, 'x')).hasBody());
    EXPECT_EQ(headerText(QByteArray("ab\0cd", 5)), QStringLiteral("ab"));
}

TEST(MessagePreview, HostileStructureIsBounded)
{
    // Thousands of nested multiparts: the walk stops descending.
    QByteArray text = "Subject: deep\r";
    for (int i = 0; i < 5000; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\r--b" + QByteArray::number(i)
            + "\r";
    text += "Content-Type: text/plain\r\rdeepest\r";
    EXPECT_FALSE(QString::fromUtf8(previewMessage(text).bodyHtml).contains(QStringLiteral("deepest")));
}
