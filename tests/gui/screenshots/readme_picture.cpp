// Makes the README's picture of the window: the sample database scanned, the
// Inbox listed with the mail columns, sorted newest first, and its newest
// message, written in HTML, rendered in the preview. scripts/readme-picture
// runs it under a virtual X server.
//
// Usage: readme-picture OUTPUT.png

#include "../support/GuiTestMain.h"
#include "../support/WindowDriver.h"

#include <QScreen>
#include <QSet>
#include <QSplitter>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv)
{
    ertest::GuiApp gui(argc, argv);
    if (argc != 2 || !gui.isolated) {
        std::fprintf(stderr, "usage: readme-picture OUTPUT.png\n");
        return 2;
    }

    ertest::WindowDriver w;
    w.window.resize(1400, 820);
    w.window.move(0, 0);
    w.window.show();
    if (!w.load(QStringLiteral(ER_SAMPLE_DATABASE))) {
        std::fprintf(stderr, "readme-picture: the sample database did not scan\n");
        return 1;
    }
    w.window.OnMailView();
    // The list pane wide enough for its columns.
    w.child<QSplitter>("splitter")->setSizes({220, 730, 450});
    w.listFolder(QStringLiteral("Inbox"));
    if (w.rowCount() == 0) {
        std::fprintf(stderr, "readme-picture: the Inbox did not list\n");
        return 1;
    }
    auto* preview = w.child<QWebEngineView>("previewView");
    QSignalSpy loaded(preview, &QWebEngineView::loadFinished);
    w.list()->sortByColumn(er::ItemListModel::MailDate, Qt::DescendingOrder);
    w.list()->setCurrentIndex(w.row(0));
    if (!QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 30000))
        std::fprintf(stderr, "readme-picture: the preview did not load\n");
    // A loaded page may not be painted yet: wait until the preview's part of
    // the screen holds the mail's own colours, not a blank page.
    const auto painted = [&] {
        const QPoint at = preview->mapTo(&w.window, QPoint(0, 0));
        const QImage area = w.window.screen()
                                ->grabWindow(w.window.winId(), at.x(), at.y(), preview->width(), preview->height())
                                .toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < area.height() && colours.size() < 3; y += 4)
            for (int x = 0; x < area.width() && colours.size() < 3; x += 4)
                colours.insert(area.pixel(x, y));
        return colours.size() >= 3;
    };
    if (!QTest::qWaitFor(painted, 30000))
        std::fprintf(stderr, "readme-picture: the preview did not paint\n");

    const QPixmap shot = w.window.screen()->grabWindow(w.window.winId());
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "readme-picture: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d\n", argv[1], shot.width(), shot.height());
    return 0;
}
