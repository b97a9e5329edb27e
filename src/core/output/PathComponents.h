#pragma once
// Folder names as path components that every disk takes: the bundle and the
// portable export lay out their folders with the same components.

#include <QHash>
#include <QString>

namespace er {

// The most bytes of a folder's component: 255, the limit of every file
// system, less room for the ".mbox" of its mailbox and a "-N" suffix.
constexpr int kFolderComponentBytes = 240;

// A name as one path component: control characters and the characters
// exFAT, FAT32, NTFS and SMB refuse (: * ? " < > | \ /) become "-", as do a
// trailing dot or space; "." and ".." are dashes; an empty name is
// "Untitled"; names Windows reserves for devices (CON, NUL, COM1, ...) get a
// "-"; at most maxBytes of UTF-8, cut at a character boundary.
QString safePathComponent(const QString& name, int maxBytes = kFolderComponentBytes);
// At most maxBytes of UTF-8, never cut inside a character.
QString cutToUtf8Bytes(QString text, int maxBytes);

// The components of one folder's children: unique without regard to case or
// Unicode normalisation form (the disks these databases come from fold
// both), so the second of two names that differ only so gets "-2", "-3",
// .... Children of exactly the same name share their component, and so
// their mailbox.
class SiblingComponents {
public:
    // The component for a child called `name` (its safe form `component`).
    QString claim(const QString& name, const QString& component);
    // A component shared with no other child.
    QString claimUnshared(const QString& component);
    // Keeps a component from every child (a mailbox file beside them).
    void reserve(const QString& component);

private:
    static QString folded(const QString& component);

    QHash<QString, QString> m_byName;  // a child's name -> its component
    QHash<QString, bool> m_taken;      // folded components in use
    QHash<QString, int> m_nextSuffix;  // folded component -> next "-N"
};

} // namespace er
