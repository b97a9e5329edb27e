#include "archive/PortableExport.h"

namespace er {

QStringList portableExportEntries()
{
    return {QStringLiteral("Mail"), QStringLiteral("contacts.vcf"), QStringLiteral("calendar.ics"),
            QStringLiteral("notes.ics"), QStringLiteral("README.txt")};
}

} // namespace er
