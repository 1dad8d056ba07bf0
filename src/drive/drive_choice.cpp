#include "drive/drive_choice.h"

#include "host/host.h"
#include "host/system/drive_map.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel {

namespace {

constexpr int kRecentDrives = 8;

QString recentKey(int index)
{
    return QStringLiteral("Recent%1").arg(index + 1);
}

// The image and partition of "/x/img@N" when the whole text names nothing
// and the part before '@' is a file; nothing otherwise.
std::optional<std::pair<QString, int>> splitPartition(const QString &drive)
{
    const qsizetype at = drive.lastIndexOf('@');
    if (at <= 0 || QFileInfo::exists(drive))
        return std::nullopt;
    bool isNumber = false;
    const int partition = drive.mid(at + 1).toInt(&isNumber, 10);
    if (!isNumber || partition < 0)
        return std::nullopt;
    return std::pair(drive.left(at), partition);
}

void saveDriveSetting(Host &host, const QString &key, const QString &value)
{
    host.saveSetting(kDriveSettings, kDriveSection, key, value);
}

DriveChoice &appliedChoice()
{
    static DriveChoice choice;
    return choice;
}

} // namespace

QString driveSourceName(DriveSource source)
{
    switch (source) {
    case DriveSource::Option:
        return QStringLiteral("--drive");
    case DriveSource::Variable:
        return QStringLiteral("VANTREL_DRIVE_C");
    case DriveSource::Remembered:
        return QStringLiteral("remembered");
    case DriveSource::Default:
        break;
    }
    return QStringLiteral("default");
}

QString DriveChoice::goneMessage() const
{
    if (goneDrive.isEmpty())
        return {};
    return QStringLiteral("the remembered drive C %1 is gone; Vantrel uses its own drive C %2 "
                          "instead")
        .arg(goneDrive, DriveMap::defaultDriveC());
}

QString rememberedDrive(Host &host)
{
    return host.getSetting(kDriveSettings, kDriveSection, QStringLiteral("C"), {});
}

QStringList recentDrives(Host &host)
{
    QStringList drives;
    const QString remembered = rememberedDrive(host);
    if (!remembered.isEmpty())
        drives << remembered;
    for (int i = 0; i < kRecentDrives; ++i) {
        const QString drive = host.getSetting(kDriveSettings, kDriveSection, recentKey(i), {});
        if (!drive.isEmpty() && !drives.contains(drive))
            drives << drive;
    }
    return drives;
}

bool driveExists(const QString &drive)
{
    if (const auto split = splitPartition(drive))
        return QFileInfo(split->first).isFile();
    return QFileInfo::exists(drive);
}

QString absoluteDrive(const QString &drive)
{
    if (const auto split = splitPartition(drive)) {
        return QDir::cleanPath(QDir(split->first).absolutePath()) + '@' +
               QString::number(split->second);
    }
    return QDir::cleanPath(QDir(drive).absolutePath());
}

QString checkDrive(const QString &drive)
{
    if (drive.isEmpty())
        throw HostError(QStringLiteral("no drive was named"));
    const QString absolute = absoluteDrive(drive);
    if (!driveExists(absolute))
        throw HostError(QStringLiteral("%1 does not exist").arg(absolute), ErrorKind::NotFound);
    // Reads the image's partition table and boot sector, writing nothing;
    // throws with the reason for a format that cannot be used.
    if (!DriveMap::withDriveC(absolute).driveImage('C') && !QFileInfo(absolute).isDir()) {
        throw HostError(QStringLiteral("%1 is neither a directory nor a disk image").arg(absolute));
    }
    return absolute;
}

QString rememberDrive(Host &host, const QString &drive)
{
    const QString checked = checkDrive(drive);
    QStringList recent = recentDrives(host);
    recent.removeAll(checked);
    recent.prepend(checked);
    for (int i = 0; i < kRecentDrives; ++i)
        saveDriveSetting(host, recentKey(i), i < recent.size() ? recent[i] : QString());
    saveDriveSetting(host, QStringLiteral("C"), checked);
    return checked;
}

void forgetDrive(Host &host)
{
    saveDriveSetting(host, QStringLiteral("C"), {});
}

DriveChoice resolveDriveChoice(Host &host, const std::optional<QString> &option)
{
    if (option)
        return {DriveSource::Option, absoluteDrive(*option), {}};
    if (qEnvironmentVariableIsSet("VANTREL_DRIVE_C"))
        return {DriveSource::Variable, qEnvironmentVariable("VANTREL_DRIVE_C"), {}};
    const QString remembered = rememberedDrive(host);
    if (remembered.isEmpty())
        return {};
    if (!driveExists(remembered))
        return {DriveSource::Default, {}, remembered};
    return {DriveSource::Remembered, remembered, {}};
}

void applyDriveChoice(const DriveChoice &choice)
{
    appliedChoice() = choice;
    // Without a choice to make, the drive map goes on reading the variable,
    // so that a later VANTREL_DRIVE_C still counts.
    const bool variableSet = qEnvironmentVariableIsSet("VANTREL_DRIVE_C");
    if (choice.source == DriveSource::Variable ||
        (choice.source == DriveSource::Default && !variableSet))
        DriveMap::chooseDriveC(std::nullopt);
    else
        DriveMap::chooseDriveC(choice.drive);
}

const DriveChoice &driveInUse()
{
    return appliedChoice();
}

QString driveInUseText()
{
    QString text;
    try {
        text = DriveMap().driveIdentity(QStringLiteral("C:\\"));
    } catch (const HostError &error) {
        return error.reason();
    }
    if (DriveMap::driveCIsDefault())
        text += QStringLiteral(" (default)");
    return text;
}

} // namespace vantrel
