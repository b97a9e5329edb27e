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

// Before the QApplication.
inline void isolateFrom(const QString& home)
{
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + "/.config"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + "/.local/share"));
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

// After it.
inline void loadResources()
{
    er::gui::initGuiResources();
    er::gui::setResourcesFolder(QStringLiteral(ER_RESOURCES_DIR));
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace ertest

#define ER_GUI_TEST_MAIN(TestClass)                \
    int main(int argc, char** argv)                \
    {                                              \
        QTemporaryDir home;                        \
        if (!home.isValid())                       \
            return 2;                              \
        ertest::isolateFrom(home.path());          \
        QApplication app(argc, argv);              \
        ertest::loadResources();                   \
        TestClass test;                            \
        QTEST_SET_MAIN_SOURCE_PATH                 \
        return QTest::qExec(&test, argc, argv);    \
    }
