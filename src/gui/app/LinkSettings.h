#pragma once

// The link settings file that ships in the resources folder
// ("ZevarodezAvavozLink.plist") is an XML property list. QSettings only
// speaks INI on Linux, so the property-list reader is registered as a custom
// settings format; the support commands and the about box read their
// captions and addresses through it.

#include <QSettings>
#include <QString>
#include <QUrl>

namespace er::gui {

// Name of the link settings file inside the resources folder.
inline constexpr char kLinkSettingsFileName[] = "ZevarodezAvavozLink.plist";

// The property-list settings format (registered on first use). Only top-level
// <dict> entries with scalar values are read (<string>, <integer>, <real>,
// <date>, <data> as their text, <true/> and <false/> as "true" and "false");
// nested arrays and dictionaries are skipped. A file that is not well-formed
// gives no values at all. Writing is refused: the file is shipped data.
QSettings::Format propertyListFormat();

// The value stored under `key` in the property list at `linkFilePath`; empty
// when the file or the key is missing or the file is malformed.
QString linkSetting(const QString& linkFilePath, const QString& key);

// Where a link value points: an empty value gives an empty (invalid) URL; a
// value with a scheme ("https:", "mailto:", "file:", ...) is taken as it is;
// anything else is a path inside the resources folder (with or without a
// leading "/", optionally with a "#section") and becomes a local file URL.
QUrl linkUrl(const QString& resourcesDir, const QString& value);

}  // namespace er::gui
