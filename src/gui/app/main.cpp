#include "app/AppPaths.h"
#include "app/GuiResources.h"
#include "app/GuiState.h"
#include "app/LicenseDialog.h"
#include "app/QEntourageMainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

int main(int argc, char** argv)
{
    // QtWebEngine needs shared contexts before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VantrelKestraneZevarodezAvavoz"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/img_About.png")));
    er::gui::initGuiResources();

    const QString programDir = QCoreApplication::applicationDirPath();
    er::gui::setResourcesFolder(er::gui::resourcesFolderFor(programDir));

#ifdef Q_OS_MACOS
    // Running straight from the distribution volume would leave nothing
    // installed.
    if (programDir == QLatin1String("/Volumes/VKER/VantrelKestraneZevarodezAvavoz.app/Contents/MacOS")) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Vantrel Kestrane"),
                        QObject::tr("Kindly copy the VantrelKestraneZevarodezAvavoz \nexecutable in the "
                                    "Applications folder and run from there."),
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }
#endif

    // A database given as the only argument (a file dropped on the program or
    // opened with it) is what the scan dialog proposes.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 2)
        er::gui::setRequestedDatabasePath(QFileInfo(arguments.at(1)).absoluteFilePath());

    if (!er::gui::licenseAccepted(er::gui::licenseTextPath()))
        return 0;

    QEntourageMainWindow window;
    window.setMinimumSize(900, 640);
    window.setWindowTitle(QObject::tr("Vantrel Kestrane Entourage Repair"));
    window.show();
    window.ShowParseWindow();
    return app.exec();
}
