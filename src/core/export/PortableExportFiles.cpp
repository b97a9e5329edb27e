#include "export/PortableExport.h"

#include "export/BundleLayout.h"

#include <QDir>
#include <QFileInfo>

namespace er {

QStringList portableExportEntries()
{
    return {QStringLiteral("Mail"), QStringLiteral("contacts.vcf"), QStringLiteral("calendar.ics"),
            QStringLiteral("notes.ics"), QStringLiteral("README.txt")};
}

bool holdsPortableExport(const QString& directory)
{
    const QDir dir(directory);
    for (const QString& entry : portableExportEntries()) {
        const QFileInfo info(dir.filePath(entry));
        if (info.exists() || info.isSymLink())
            return true;
    }
    return false;
}

bool removePortableExport(const QString& directory)
{
    const QDir dir(directory);
    bool clean = true;
    // The bundle's literal removal fits each entry: a link goes as a link, a
    // folder with everything in it, a file as a file.
    for (const QString& entry : portableExportEntries())
        clean = removeBundle(dir.filePath(entry)) && clean;
    return clean;
}

} // namespace er
