#include "output/PathComponents.h"

#include <QStringList>

namespace er {

namespace {

bool refusedCharacter(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral(":*?\"<>|\\/").contains(c);
}

bool reservedDeviceName(const QString& component)
{
    // Windows reserves these with any extension, in any case.
    const QString stem = component.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList names = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                      QStringLiteral("NUL")};
    if (names.contains(stem))
        return true;
    return stem.size() == 4 && (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT")))
        && stem.at(3) >= QLatin1Char('1') && stem.at(3) <= QLatin1Char('9');
}

} // namespace

QString cutToUtf8Bytes(QString text, int maxBytes)
{
    // Never inside a character, nor between the halves of a surrogate pair.
    while (text.toUtf8().size() > maxBytes) {
        int cut = text.size() - 1;
        if (cut > 0 && text.at(cut).isLowSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

QString safePathComponent(const QString& name, int maxBytes)
{
    QString part;
    part.reserve(name.size());
    for (const QChar c : name)
        part += refusedCharacter(c) ? QLatin1Char('-') : c;
    part = cutToUtf8Bytes(part, maxBytes);
    if (part.isEmpty())
        return QStringLiteral("Untitled");
    if (part == QLatin1String(".") || part == QLatin1String(".."))
        return QString(part.size(), QLatin1Char('-'));
    if (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char(' ')))
        part[part.size() - 1] = QLatin1Char('-');
    if (reservedDeviceName(part))
        part = cutToUtf8Bytes(part, maxBytes - 1) + QLatin1Char('-');
    return part;
}

QString SiblingComponents::folded(const QString& component)
{
    return component.normalized(QString::NormalizationForm_C).toCaseFolded();
}

void SiblingComponents::reserve(const QString& component)
{
    m_taken.insert(folded(component), true);
}

QString SiblingComponents::claim(const QString& name, const QString& component)
{
    const auto known = m_byName.constFind(name);
    if (known != m_byName.constEnd())
        return *known;
    const QString chosen = claimUnshared(component);
    m_byName.insert(name, chosen);
    return chosen;
}

QString SiblingComponents::claimUnshared(const QString& component)
{
    const QString base = folded(component);
    QString chosen = component;
    if (m_taken.contains(base)) {
        int& next = m_nextSuffix[base];
        if (next == 0)
            next = 2;
        do {
            const QString suffix = QLatin1Char('-') + QString::number(next++);
            chosen = cutToUtf8Bytes(component, kFolderComponentBytes + 10 - suffix.toUtf8().size()) + suffix;
        } while (m_taken.contains(folded(chosen)));
    }
    m_taken.insert(folded(chosen), true);
    return chosen;
}

} // namespace er
