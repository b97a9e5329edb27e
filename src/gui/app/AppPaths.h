#pragma once

#include <QString>

namespace er::gui {

// The folder beside the program that holds the licence, the help pages, the
// link settings file and the watermark. A Mac bundle keeps it in
// Contents/Resources next to Contents/MacOS, and the build tree mirrors that
// (build/bin and build/Resources); an installed tree keeps it under
// share/vantrel-entourage-repair. The first candidate that exists wins; when
// none does, the bundle-style one is returned so that messages name a
// sensible place.
QString resourcesFolderFor(const QString& executableDir);

// The folder of the running program, set once at start-up.
QString resourcesFolder();
void setResourcesFolder(const QString& folder);

QString licenseTextPath();      // Eula.txt
QString licenseDocumentPath();  // Eula.pdf
QString helpPagePath();         // help/Vantrel_Kestrane_Entourage_Repair.htm
QString linkFilePath();         // ZevarodezAvavozLink.plist
QString watermarkPath();        // img_WaterMark.png

}  // namespace er::gui
