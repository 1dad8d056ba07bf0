#include "host/drive_map.h"

#include "host/host.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace vantrel {

namespace {

QString envDrive(QChar letter)
{
    const QByteArray name = "VANTREL_DRIVE_" + QString(letter.toUpper()).toLatin1();
    return qEnvironmentVariable(name.constData());
}

// The entry of `dir` named `name`, or the same name spelt otherwise.
QString matchEntry(const QString &dir, const QString &name)
{
    if (name == "." || name == ".." || QFileInfo::exists(dir + '/' + name))
        return name;
    QStringList matches;
    const QStringList entries =
        QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            matches << entry;
    }
    if (matches.isEmpty())
        return name;
    // QString's operator< compares UTF-16 code units, which is stable
    // whatever the locale.
    return *std::min_element(matches.begin(), matches.end());
}

} // namespace

QString resolveCaseInsensitive(const QString &base, const QString &relative)
{
    QString path = base;
    const QStringList parts = relative.split('/', Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString entry = matchEntry(path.isEmpty() ? QStringLiteral("/") : path, part);
        path = (path.endsWith('/') ? path : path + '/') + entry;
    }
    return path;
}

QString DriveMap::defaultDriveC()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/vantrel/drive_c";
}

bool DriveMap::driveCIsDefault()
{
    return envDrive('C').isEmpty();
}

QString DriveMap::driveRoot(QChar letter) const
{
    QString root = envDrive(letter);
    if (root.isEmpty() && letter.toUpper() == 'C')
        root = defaultDriveC();
    if (root.isEmpty()) {
        throw HostError(QStringLiteral("drive %1: is not mapped (set VANTREL_DRIVE_%1)")
                            .arg(letter.toUpper()));
    }
    return QDir::cleanPath(QDir(root).absolutePath());
}

bool DriveMap::isDosPath(const QString &path)
{
    return path.size() >= 2 && path[1] == ':' && path[0].isLetter() && path[0].unicode() < 128;
}

QString DriveMap::toNative(const QString &path) const
{
    if (path.startsWith('/'))
        return path;
    QString rest = path;
    QString base;
    if (isDosPath(path)) {
        base = driveRoot(path[0]);
        rest = path.mid(2);
    } else {
        base = QDir::currentPath();
    }
    rest.replace('\\', '/');
    return resolveCaseInsensitive(base, rest);
}

} // namespace vantrel
