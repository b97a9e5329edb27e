#include "output/ContentLines.h"

#include <QList>

#include <gtest/gtest.h>

using namespace er;

TEST(ContentLines, EscapesTextValues)
{
    EXPECT_EQ(escapeTextValue(QStringLiteral("a\\b,c;d\r\ne\rf\ng:h")),
              QStringLiteral("a\\\\b\\,c\\;d\\ne\\nf\\ng:h"));
    EXPECT_EQ(escapeTextValue(QString()), QString());
}

TEST(ContentLines, FoldsAt75OctetsWithoutSplittingCharacters)
{
    EXPECT_EQ(contentLine(QStringLiteral("FN:Ann")), QByteArray("FN:Ann\r\n"));

    // ASCII, two-byte and three-byte text, long enough for several folds.
    const QString texts[] = {QStringLiteral("NOTE:") + QString(200, QLatin1Char('x')),
                             QStringLiteral("NOTE:") + QString(120, QChar(0x00E9)),
                             QStringLiteral("NOTE:") + QString(90, QChar(0x6F22))};
    for (const QString& text : texts) {
        const QByteArray folded = contentLine(text);
        ASSERT_TRUE(folded.endsWith("\r\n"));
        const QList<QByteArray> lines = folded.left(folded.size() - 2).split('\n');
        QByteArray unfolded;
        for (int i = 0; i < lines.size(); ++i) {
            QByteArray line = lines[i];
            if (line.endsWith('\r'))
                line.chop(1);
            EXPECT_LE(line.size(), 75) << i;
            if (i > 0) {
                ASSERT_TRUE(line.startsWith(' '));
                line.remove(0, 1);
            }
            // Every physical line is whole UTF-8 on its own.
            EXPECT_EQ(QString::fromUtf8(line).toUtf8(), line);
            unfolded += line;
        }
        EXPECT_EQ(QString::fromUtf8(unfolded), text);
    }
}
