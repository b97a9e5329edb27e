#include "archive/BundleLayout.h"

#include "output/OutputFile.h"

#include <QDir>
#include <QFileInfo>

namespace er {

namespace {

const char* const kXmlDeclaration = "<?xml version=\"1.1\" encoding=\"UTF-8\"?>";
const char* const kDoctype = "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.1//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.1.dtd\">";

void makeDirectory(const QString& path, SaveFailures& failures)
{
    if (QFileInfo(path).isDir())
        return;
    if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
        failures.record(path, QStringLiteral("cannot create the directory"));
}

bool writeDescriptor(const QString& path, const QByteArray& bytes, SaveFailures& failures)
{
    AppendFile file(path, failures);
    file.write(bytes);
    return file.close();
}

} // namespace

QList<FolderPath> folderPathList(const FolderTreeModel& tree)
{
    QList<FolderPath> list;
    for (int at : tree.preOrder()) {
        // An id that does not fit 32 bits names no mailbox.
        const quint64 id = tree.item(at).folderId;
        list.append({id <= 0xFFFFFFFFu ? static_cast<quint32>(id) : 0u, tree.path(at)});
    }
    return list;
}

void createBundleSkeleton(const FolderTreeModel& tree, const QString& saveDir, SaveFailures& failures)
{
    const QString bundle = bundlePath(saveDir);
    // The root and "Mail" come from the tree; without folders there is no
    // tree, and the bundle still gets them.
    makeDirectory(bundle, failures);
    makeDirectory(bundle + QStringLiteral("/Mail"), failures);
    for (int at : tree.preOrder()) {
        makeDirectory(saveDir + tree.path(at), failures);
    }
    const QString root = bundle + QLatin1Char('/');
    for (const char* name : {"Contacts", "Calendar", "Tasks", "Notes", "Contents"})
        makeDirectory(root + QLatin1String(name), failures);
    writeDescriptorFiles(root, failures);
}

QByteArray pkgInfoBytes()
{
    return QByteArrayLiteral("rge OPIM");
}

QByteArray infoPlistBytes()
{
    QByteArray text = QByteArray(kXmlDeclaration) + '\n' + kDoctype;
    text += "\n<plist version=\"1.1\">\n<dict>";
    for (const char* line :
         {"<key>CFBundleDevelopmentRegion</key>", "<string>English</string>", "<key>CFBundleInfoDictionaryVersion</key>",
          "<string>6.0</string>", "<key>CFBundlePackageType</key>", "<string>rge </string>",
          "<key>CFBundleSignature</key>", "<string>OPIM</string>"})
        text += QByteArray("\n\t") + line;
    text += "\n</dict>\n</plist>\n";
    return text;
}

QByteArray archiveXmlBytes()
{
    QByteArray text = QByteArray(kXmlDeclaration) + '\n' + kDoctype + '\n';
    text += "<plist version=\"1.1\">\n<dict>\n";
    text += "\t<key>Type</key>\n\t<string>All</string>\n\t<key>Version</key>\n\t<integer>1</integer>\n";
    text += "</dict>\n</plist>\n";
    return text;
}

void writeDescriptorFiles(const QString& root, SaveFailures& failures)
{
    if (!writeDescriptor(root + QStringLiteral("Contents/PkgInfo"), pkgInfoBytes(), failures))
        return;
    if (!writeDescriptor(root + QStringLiteral("Contents/Info.plist"), infoPlistBytes(), failures))
        return;
    writeDescriptor(root + QStringLiteral("Archive.xml"), archiveXmlBytes(), failures);
}

bool removeBundle(const QString& bundle)
{
    const QFileInfo info(bundle);
    if (info.isSymLink())
        return QFile::remove(bundle); // the link only, never what it points at
    if (!info.exists())
        return true;
    if (!info.isDir())
        return QFile::remove(bundle);
    // Removes links inside as links, without following them.
    return QDir(bundle).removeRecursively();
}

} // namespace er
