#include "app/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace er::gui {

namespace {

QString& storedResourcesFolder()
{
    static QString folder;
    return folder;
}

}  // namespace

QString resourcesFolderFor(const QString& executableDir)
{
    const QDir dir(executableDir);
    const QStringList candidates = {
        dir.absoluteFilePath(QStringLiteral("../Resources")),
        dir.absoluteFilePath(QStringLiteral("../share/vantrel-entourage-repair/Resources")),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    }
    return QDir::cleanPath(candidates.first());
}

QString resourcesFolder() { return storedResourcesFolder(); }

void setResourcesFolder(const QString& folder) { storedResourcesFolder() = folder; }

QString licenseTextPath() { return resourcesFolder() + QStringLiteral("/Eula.txt"); }
QString licenseDocumentPath() { return resourcesFolder() + QStringLiteral("/Eula.pdf"); }
QString helpPagePath()
{
    return resourcesFolder() + QStringLiteral("/help/Vantrel_Kestrane_Entourage_Repair.htm");
}
QString linkFilePath() { return resourcesFolder() + QStringLiteral("/ZevarodezAvavozLink.plist"); }
QString watermarkPath() { return resourcesFolder() + QStringLiteral("/img_WaterMark.png"); }

}  // namespace er::gui
