#include "host/system/drive_map.h"

#include "host/host.h"
#include "host/posix_file.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>

namespace vantrel {

namespace {

QByteArray driveVariable(QChar letter)
{
    return "VANTREL_DRIVE_" + QString(letter.toUpper()).toLatin1();
}

// Refuses a name that cannot stand for the file the user meant.
void refuseDamagedName(const QString &path)
{
    if (path.contains(QChar::ReplacementCharacter)) {
        throw HostError(QStringLiteral("cannot use the name %1: it holds U+FFFD, which stands for "
                                       "bytes that are not UTF-8")
                            .arg(path));
    }
    if (path.contains(QChar(0))) {
        throw HostError(QStringLiteral("cannot use the name %1: it holds a NUL character")
                            .arg(QString(path).replace(QChar(0), QStringLiteral("\\0"))));
    }
}

// The components of a DOS path below its drive's root, with "." dropped and
// each ".." taking away the one before it, never more than there are.
QString clampToRoot(const QString &relative)
{
    QStringList kept;
    for (const QString &part : relative.split('/', Qt::SkipEmptyParts)) {
        if (part == "..") {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (part != ".") {
            kept << part;
        }
    }
    return kept.join('/');
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

// Drive C as chooseDriveC set it; nothing for the variable or the default.
std::optional<QString> &chosenDriveC()
{
    static std::optional<QString> chosen;
    return chosen;
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
    if (const std::optional<QString> &chosen = chosenDriveC())
        return chosen->isEmpty();
    return !qEnvironmentVariableIsSet(driveVariable('C').constData());
}

DriveMap DriveMap::withDriveC(const QString &driveC)
{
    DriveMap map;
    map.m_driveC = driveC;
    return map;
}

void DriveMap::chooseDriveC(const std::optional<QString> &driveC)
{
    chosenDriveC() = driveC;
}

QString DriveMap::driveValue(QChar letter) const
{
    const QChar drive = letter.toUpper();
    const QByteArray variable = driveVariable(drive);
    QString root;
    const std::optional<QString> fixed = m_driveC ? m_driveC : chosenDriveC();
    if (drive == 'C' && fixed) {
        root = fixed->isEmpty() ? defaultDriveC() : *fixed;
    } else if (qEnvironmentVariableIsSet(variable.constData())) {
        const QByteArray value = qgetenv(variable.constData());
        if (value.isEmpty()) {
            throw HostError(QStringLiteral("%1 is set but empty: set it to the directory that "
                                           "stands for drive %2:, or unset it")
                                .arg(QString::fromLatin1(variable), drive));
        }
        const std::optional<QString> text = posix::strictUtf8(value);
        if (!text) {
            throw HostError(QStringLiteral("%1 is not valid UTF-8: %2")
                                .arg(QString::fromLatin1(variable), posix::quotedBytes(value)));
        }
        root = *text;
    } else if (drive == 'C') {
        root = defaultDriveC();
    } else {
        throw HostError(QStringLiteral("drive %1: is not mapped (set %2)")
                            .arg(drive, QString::fromLatin1(variable)));
    }
    refuseDamagedName(root);
    return QDir::cleanPath(QDir(root).absolutePath());
}

std::optional<DiskVolume> DriveMap::driveImage(QChar letter) const
{
    const QChar drive = letter.toUpper();
    const QString value = driveValue(drive);
    const std::optional<int> chosen =
        m_partitions.contains(drive) ? std::optional<int>(m_partitions.value(drive)) : std::nullopt;
    const QFileInfo info(value);
    // The whole value first: a file may well be called "disk@2".
    if (info.isFile())
        return inspectDiskImage(value, chosen);
    const qsizetype at = value.lastIndexOf('@');
    if (!info.exists() && at > 0) {
        bool isNumber = false;
        const int partition = value.mid(at + 1).toInt(&isNumber, 10);
        const QString image = value.left(at);
        if (isNumber && partition >= 0 && QFileInfo(image).isFile())
            return inspectDiskImage(image, chosen ? chosen : std::optional<int>(partition));
    }
    if (chosen) {
        throw HostError(QStringLiteral("a partition was chosen for drive %1:, but it is the "
                                       "directory %2, not a disk image")
                            .arg(drive)
                            .arg(value));
    }
    return std::nullopt;
}

void DriveMap::choosePartition(QChar letter, int partition)
{
    m_partitions.insert(letter.toUpper(), partition);
}

QString DriveMap::driveRoot(QChar letter) const
{
    if (const std::optional<DiskVolume> image = driveImage(letter)) {
        throw HostError(QStringLiteral("drive %1: is the disk image %2, not a directory")
                            .arg(letter.toUpper())
                            .arg(image->image));
    }
    return driveValue(letter);
}

bool DriveMap::isDosPath(const QString &path)
{
    return path.size() >= 2 && path[1] == ':' && path[0].isLetter() && path[0].unicode() < 128;
}

Location DriveMap::locate(const QString &path) const
{
    refuseDamagedName(path);
    Location location;
    if (path.startsWith('/')) {
        location.native = path;
    } else if (isDosPath(path)) {
        const QString relative = clampToRoot(path.mid(2).replace('\\', '/'));
        location.volume = driveImage(path[0]);
        if (location.volume)
            location.inside = '/' + relative;
        else
            location.native = resolveCaseInsensitive(driveValue(path[0]), relative);
    } else {
        location.native =
            resolveCaseInsensitive(QDir::currentPath(), QString(path).replace('\\', '/'));
    }
    return location;
}

QString DriveMap::driveIdentity(const QString &path) const
{
    refuseDamagedName(path);
    if (!isDosPath(path))
        return {};
    if (const std::optional<DiskVolume> image = driveImage(path[0]))
        return image->identity();
    const QString root = driveValue(path[0]);
    const QString canonical = QFileInfo(root).canonicalFilePath();
    return canonical.isEmpty() ? root : canonical;
}

QString DriveMap::toNative(const QString &path) const
{
    const Location location = locate(path);
    if (location.onImage()) {
        throw HostError(QStringLiteral("%1 lies inside the disk image %2, so it has no path of "
                                       "its own")
                            .arg(path, location.volume->image));
    }
    return location.native;
}

} // namespace vantrel
