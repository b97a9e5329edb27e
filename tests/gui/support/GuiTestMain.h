#pragma once

// main() for the GUI test programs (and the README's picture): a private HOME
// and XDG folders so that stored settings never mask a case, the flags
// QtWebEngine needs on a headless machine, the compiled-in images and the
// resources folder of the build.

#include "app/AppPaths.h"
#include "app/GuiResources.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

namespace ertest {

inline bool isolate(const QTemporaryDir& home)
{
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/.local/share"));
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return home.isValid();
}

struct GuiApp {
    QTemporaryDir home;
    const bool isolated = isolate(home);  // before the application starts
    QApplication app;

    GuiApp(int& argc, char** argv) : app(argc, argv)
    {
        er::gui::initGuiResources();
        er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));
    }
};

template <typename T = QWidget>
T* child(const QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace ertest

#define ER_GUI_TEST_MAIN(TestClass)                                         \
    int main(int argc, char** argv)                                         \
    {                                                                       \
        ertest::GuiApp gui(argc, argv);                                     \
        TestClass test;                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                          \
        return gui.isolated ? QTest::qExec(&test, argc, argv) : 2;          \
    }
