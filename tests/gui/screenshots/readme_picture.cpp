// Makes the README's picture of the window: the sample database scanned, the
// folder tree, the Inbox listed with the mail columns and sorted by date,
// newest first, and its newest message, written in HTML, rendered in the
// preview. scripts/readme-picture runs it under a
// virtual X server.
//
// Usage: readme-picture OUTPUT.png

#include "app/GuiResources.h"
#include "app/GuiState.h"
#include "app/AppPaths.h"
#include "app/QEntourageMainWindow.h"
#include "archive/BlockScanner.h"
#include "archive/ItemListModel.h"
#include "mail/QItemLister.h"
#include "scan/FolderTreeView.h"

#include <QApplication>
#include <QScreen>
#include <QSet>
#include <QSplitter>
#include <QTemporaryDir>
#include <QtTest>
#include <QTreeView>
#include <QWebEngineView>

#include <cstdio>

namespace {

bool listFolder(QEntourageMainWindow& window, const QString& name)
{
    auto* tree = window.findChild<er::gui::FolderTreeView*>(QStringLiteral("folderTree"));
    const QModelIndex folder = tree->findFolder(name);
    if (!folder.isValid())
        return false;
    tree->setCurrentIndex(folder);
    return QTest::qWaitFor([&] { return !window.findChild<QItemLister*>()->isFilling(); }, 60000);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: readme-picture OUTPUT.png\n");
        return 2;
    }
    // A private home: stored settings of whoever runs it change nothing.
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    er::gui::initGuiResources();
    er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));

    QEntourageMainWindow window;
    window.resize(1400, 820);
    window.move(0, 0);
    window.show();
    if (er::scanDatabase(QStringLiteral(ER_SAMPLE_DATABASE), er::gui::scanState(), {}).kind
        != er::ScanOutcome::Completed) {
        std::fprintf(stderr, "readme-picture: the sample database did not scan\n");
        return 1;
    }
    window.OnMailView();
    // The list pane wide enough for its columns.
    if (auto* splitter = window.findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({220, 730, 450});

    auto* lister = window.findChild<QItemLister*>();
    auto* list = window.findChild<QTreeView*>(QStringLiteral("itemList"));
    if (!listFolder(window, QStringLiteral("Inbox")) || lister->proxy()->rowCount() == 0) {
        std::fprintf(stderr, "readme-picture: the Inbox did not list\n");
        return 1;
    }
    auto* preview = window.findChild<QWebEngineView*>(QStringLiteral("previewView"));
    bool loaded = false;
    QObject::connect(preview, &QWebEngineView::loadFinished, [&loaded](bool) { loaded = true; });
    const QAbstractItemModel* rows = lister->proxy();
    list->sortByColumn(er::ItemListModel::MailDate, Qt::DescendingOrder);
    list->setCurrentIndex(rows->index(0, lister->model()->textColumn()));
    if (!QTest::qWaitFor([&] { return loaded; }, 30000))
        std::fprintf(stderr, "readme-picture: the preview did not load\n");
    // A loaded page may not be painted yet: wait until the preview's part of
    // the screen holds the mail's own colours, not a blank page.
    const auto painted = [&] {
        const QPoint at = preview->mapTo(&window, QPoint(0, 0));
        const QImage area =
            window.screen()->grabWindow(window.winId(), at.x(), at.y(), preview->width(), preview->height()).toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < area.height() && colours.size() < 3; y += 4)
            for (int x = 0; x < area.width() && colours.size() < 3; x += 4)
                colours.insert(area.pixel(x, y));
        return colours.size() >= 3;
    };
    if (!QTest::qWaitFor(painted, 30000))
        std::fprintf(stderr, "readme-picture: the preview did not paint\n");

    const QPixmap shot = window.screen()->grabWindow(window.winId());
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "readme-picture: could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d\n", argv[1], shot.width(), shot.height());
    return 0;
}
