#pragma once

// main() for the GUI test programs: a private HOME and XDG_CONFIG_HOME so that
// stored settings never mask a case, the flags QtWebEngine needs on a
// headless machine, and the compiled-in images.

#include "app/GuiResources.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#define ER_GUI_TEST_MAIN(TestClass)                                                   \
    int main(int argc, char** argv)                                                   \
    {                                                                                 \
        QTemporaryDir home;                                                           \
        if (!home.isValid())                                                          \
            return 2;                                                                 \
        qputenv("HOME", QFile::encodeName(home.path()));                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));      \
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + "/.local/share"));   \
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                                  \
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");                       \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                   \
        QApplication app(argc, argv);                                                 \
        er::gui::initGuiResources();                                                  \
        TestClass test;                                                               \
        QTEST_SET_MAIN_SOURCE_PATH                                                    \
        return QTest::qExec(&test, argc, argv);                                       \
    }
