// make-eula-pdf: typesets the plain-text licence agreement as a PDF, so that
// the text shown at first start and the document opened later are always the
// same words.
//
//   make-eula-pdf EULA.txt OUTPUT.pdf
//
// The text's own layout is the markup: paragraphs are separated by blank
// lines and their line breaks are only wrapping; the first paragraph is the
// title (one line each); a short one-line paragraph without closing
// punctuation is a section heading.

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QStringList>
#include <QTextDocument>

#include "OffscreenPlatform.h"

#include <cstdio>

namespace {

constexpr int kMaxHeadingLength = 48;

QStringList paragraphsOf(const QString& text)
{
    QStringList paragraphs;
    QStringList current;
    const QStringList lines = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty()) {
            if (!current.isEmpty())
                paragraphs.append(current.join(QLatin1Char('\n')));
            current.clear();
        } else {
            current.append(line.trimmed());
        }
    }
    if (!current.isEmpty())
        paragraphs.append(current.join(QLatin1Char('\n')));
    return paragraphs;
}

bool isHeading(const QString& paragraph)
{
    if (paragraph.contains(QLatin1Char('\n')) || paragraph.size() > kMaxHeadingLength)
        return false;
    const QChar last = paragraph.back();
    return last != QLatin1Char('.') && last != QLatin1Char(':') && last != QLatin1Char(';') &&
           last != QLatin1Char(',');
}

QString documentHtml(const QStringList& paragraphs, const QString& title)
{
    QString html = QStringLiteral("<html><head><title>%1</title></head><body>").arg(title.toHtmlEscaped());
    for (int i = 0; i < paragraphs.size(); ++i) {
        const QString& paragraph = paragraphs.at(i);
        if (i == 0) {
            for (const QString& line : paragraph.split(QLatin1Char('\n')))
                html += QStringLiteral("<h1 align=\"center\">%1</h1>").arg(line.toHtmlEscaped());
            html += QStringLiteral("<p></p>");
        } else if (isHeading(paragraph)) {
            html += QStringLiteral("<h2>%1</h2>").arg(paragraph.toHtmlEscaped());
        } else {
            QString joined = paragraph;
            joined.replace(QLatin1Char('\n'), QLatin1Char(' '));
            html += QStringLiteral("<p align=\"justify\">%1</p>").arg(joined.toHtmlEscaped());
        }
    }
    return html + QStringLiteral("</body></html>");
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir runtimeDir;
    useOffscreenPlatform(runtimeDir);
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 2) {
        std::fputs("Usage: make-eula-pdf EULA.txt OUTPUT.pdf\n", stderr);
        return 2;
    }

    QFile input(args.at(0));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make-eula-pdf: cannot read %s\n", args.at(0).toLocal8Bit().constData());
        return 1;
    }
    const QStringList paragraphs = paragraphsOf(QString::fromUtf8(input.readAll()));
    if (paragraphs.isEmpty()) {
        std::fprintf(stderr, "make-eula-pdf: %s is empty\n", args.at(0).toLocal8Bit().constData());
        return 1;
    }
    const QString title = QString(paragraphs.first()).replace(QLatin1Char('\n'), QLatin1Char(' '));

    // Written beside the target and renamed at the end, so that an interrupted
    // build never leaves a truncated document that looks up to date.
    const QString output = args.at(1);
    const QString partial = output + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("make-eula-pdf"));
        writer.setResolution(300);
        // QTextDocument::print adds a 2 cm margin of its own (and puts the
        // page numbers into it), so the page's margins stay small.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(3, 3, 3, 3),
                                         QPageLayout::Millimeter));

        QTextDocument document;
        QFont font(QStringLiteral("DejaVu Sans"), 10);
        font.setStyleHint(QFont::SansSerif);
        document.setDefaultFont(font);
        document.setDefaultStyleSheet(QStringLiteral("h1 { font-size: 16pt; margin: 0; }"
                                                     "h2 { font-size: 12pt; margin-top: 18px; margin-bottom: 4px; }"
                                                     "p { margin-bottom: 8px; line-height: 130%; }"));
        document.setHtml(documentHtml(paragraphs, title));
        document.print(&writer);
    }
    if (QFileInfo(partial).size() <= 0) {
        QFile::remove(partial);
        std::fprintf(stderr, "make-eula-pdf: cannot write %s\n", output.toLocal8Bit().constData());
        return 1;
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        QFile::remove(partial);
        std::fprintf(stderr, "make-eula-pdf: cannot write %s\n", output.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
