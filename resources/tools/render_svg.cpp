// render-svg: draws one PNG from one or more SVG layers, painted in order
// onto a transparent canvas. Used at build time so that only the SVG sources
// live in the repository.
//
//   render-svg [--viewbox X,Y,W,H] WIDTHxHEIGHT OUTPUT.png LAYER.svg...
//
// --viewbox crops every layer to the same part of its drawing, so a glyph
// drawn with room for a button plate can also be rendered edge to edge as a
// small list icon.

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSaveFile>
#include <QStringList>
#include <QSvgRenderer>

#include "OffscreenPlatform.h"

#include <cstdio>

namespace {

bool g_svgWarning = false;

// QtSvg warns about what it cannot draw (an unresolved reference, a bad
// attribute) and then draws the rest; a silently incomplete icon is a build
// error here.
void failOnSvgWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && context.category && qstrcmp(context.category, "qt.svg") == 0)
        g_svgWarning = true;
    std::fprintf(stderr, "render-svg: %s\n", message.toLocal8Bit().constData());
}

int usage()
{
    std::fputs("Usage: render-svg [--viewbox X,Y,W,H] WIDTHxHEIGHT OUTPUT.png LAYER.svg...\n", stderr);
    return 2;
}

bool parseNumbers(const QString& text, QChar separator, int count, QList<double>& numbers)
{
    const QStringList parts = text.split(separator);
    if (parts.size() != count)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const double value = part.toDouble(&ok);
        if (!ok || value < 0)
            return false;
        numbers.append(value);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QTemporaryDir runtimeDir;
    useOffscreenPlatform(runtimeDir);
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(failOnSvgWarnings);

    QStringList args = QCoreApplication::arguments().mid(1);
    QRectF viewBox;
    if (args.size() >= 2 && args.first() == QStringLiteral("--viewbox")) {
        QList<double> box;
        if (!parseNumbers(args.at(1), QLatin1Char(','), 4, box) || box[2] <= 0 || box[3] <= 0)
            return usage();
        viewBox = QRectF(box[0], box[1], box[2], box[3]);
        args = args.mid(2);
    }
    if (args.size() < 3)
        return usage();

    QList<double> size;
    if (!parseNumbers(args.at(0), QLatin1Char('x'), 2, size) || size[0] < 1 || size[1] < 1 || size[0] > 4096 ||
        size[1] > 4096)
        return usage();
    const QString output = args.at(1);

    QImage image(static_cast<int>(size[0]), static_cast<int>(size[1]), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        for (const QString& layer : args.mid(2)) {
            QSvgRenderer renderer(layer);
            if (!renderer.isValid()) {
                std::fprintf(stderr, "render-svg: %s is not a valid SVG file\n", layer.toLocal8Bit().constData());
                return 1;
            }
            if (!viewBox.isNull())
                renderer.setViewBox(viewBox);
            renderer.render(&painter, QRectF(image.rect()));
        }
    }
    if (g_svgWarning)
        return 1;

    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "render-svg: cannot write %s\n", output.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
