#pragma once

// What a test reads back from the file system to check an effect: a file's
// bytes and a directory's names. Native paths, outside any host.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>

namespace vantrel::test {

// The whole content of the file at `path`, or "(missing)" when it cannot be
// read, so that a missing file never passes for an empty one.
inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("(missing)");
}

// Every entry of `directory`, hidden ones (a temporary file left behind)
// and directories included.
inline constexpr QDir::Filters kEveryEntry =
    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// The names in `directory` that `filters` lets through, sorted by name.
inline QStringList directoryNames(const QString &directory, QDir::Filters filters = kEveryEntry)
{
    return QDir(directory).entryList(filters, QDir::Name);
}

// Every entry below `root` at any depth, as a path relative to it
// ("WINDOWS", "WINDOWS/logow.sys"), sorted.
inline QStringList everythingBelow(const QString &root)
{
    QStringList found;
    QDirIterator it(root, kEveryEntry, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

} // namespace vantrel::test
