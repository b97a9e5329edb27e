#include "app/LinkSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

bool isScalarValue(const QStringRef& element)
{
    return element == QLatin1String("string") || element == QLatin1String("integer")
        || element == QLatin1String("real") || element == QLatin1String("date")
        || element == QLatin1String("data");
}

// One <dict>: <key> elements each followed by their value element. A value
// without a key, and container values, are skipped rather than guessed at.
void readDict(QXmlStreamReader& xml, QSettings::SettingsMap& map)
{
    QString key;
    bool haveKey = false;
    while (xml.readNextStartElement()) {
        const QStringRef element = xml.name();
        if (element == QLatin1String("key")) {
            key = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            haveKey = !key.isEmpty();
            continue;
        }
        if (!haveKey) {
            xml.skipCurrentElement();
            continue;
        }
        haveKey = false;
        if (isScalarValue(element)) {
            map.insert(key, xml.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (element == QLatin1String("true") || element == QLatin1String("false")) {
            map.insert(key, element.toString());
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
}

bool readPropertyList(QIODevice& device, QSettings::SettingsMap& map)
{
    QXmlStreamReader xml(&device);
    QSettings::SettingsMap values;
    if (xml.readNextStartElement() && xml.name() == QLatin1String("plist")) {
        bool readTopDict = false;
        while (xml.readNextStartElement()) {
            if (!readTopDict && xml.name() == QLatin1String("dict")) {
                readDict(xml, values);
                readTopDict = true;
            } else {
                xml.skipCurrentElement();
            }
        }
    } else if (!xml.hasError()) {
        xml.raiseError(QStringLiteral("not a property list"));
    }
    // Read to the end so that junk after the root element is noticed too: a
    // damaged file must not pass for a complete one.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return false;
    map = values;
    return true;
}

bool refusePropertyListWrite(QIODevice&, const QSettings::SettingsMap&)
{
    return false;
}

}  // namespace

namespace er::gui {

QSettings::Format propertyListFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("plist"), readPropertyList, refusePropertyListWrite);
    return format;
}

QString linkSetting(const QString& linkFilePath, const QString& key)
{
    if (linkFilePath.isEmpty() || !QFileInfo(linkFilePath).isFile())
        return QString();
    const QSettings settings(linkFilePath, propertyListFormat());
    return settings.value(key).toString();
}

QUrl linkUrl(const QString& resourcesDir, const QString& value)
{
    const QString link = value.trimmed();
    if (link.isEmpty())
        return QUrl();
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    if (scheme.match(link).hasMatch())
        return QUrl(link, QUrl::TolerantMode);
    // The shipped links point at sections of the help pages ("page.htm#part");
    // the fragment must not become part of the file name.
    const int hash = link.indexOf(QLatin1Char('#'));
    QUrl url = QUrl::fromLocalFile(
        QDir::cleanPath(resourcesDir + QLatin1Char('/') + link.left(hash < 0 ? link.size() : hash)));
    if (hash >= 0)
        url.setFragment(link.mid(hash + 1));
    return url;
}

}  // namespace er::gui
