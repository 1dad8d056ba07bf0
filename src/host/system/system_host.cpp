#include "host/system/system_host.h"

#include "host/disk/image_files.h"
#include "host/disk/mtools_drive.h"
#include "host/file_lock.h"
#include "host/file_replacement.h"
#include "host/posix_file.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

using posix::encoded;
using posix::fail;
using posix::Fd;
using posix::PosixBinaryFile;

namespace {

// Opens a file with `access` without waiting (see posix::openWithoutWaiting).
// Only a regular file is let through; `verb` starts the message for
// anything else ("cannot copy /dev/zero: not a regular file").
Fd openRegularFile(const QString &native, const QString &name, int access, const QString &verb)
{
    struct stat info {};
    Fd fd = posix::openWithoutWaiting(native, access, info);
    if (fd.get() < 0)
        fail(QStringLiteral("cannot open"), name);
    if (S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("%1 %2: it is a directory").arg(verb, name),
                        ErrorKind::IsDirectory);
    if (!S_ISREG(info.st_mode))
        throw HostError(QStringLiteral("%1 %2: not a regular file").arg(verb, name),
                        ErrorKind::NotRegularFile);
    // Reads and writes of a regular file never wait anyway; clear the flag
    // so that the descriptor behaves as an ordinary one.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

class QtTimer : public Timer {
public:
    QtTimer(int intervalMs, std::function<void()> onTick)
    {
        m_timer.setInterval(intervalMs);
        // A coarse timer may fire up to 5% early or late to save wake-ups;
        // the windows count on their interval (the splash's 5000 ms, the
        // preview's even 70 ms steps).
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onTick));
        m_timer.start();
    }

private:
    QTimer m_timer;
};

QString firstOnPath(const QStringList &candidates)
{
    for (const QString &name : candidates) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

} // namespace

QString SystemHost::nativePath(const QString &path)
{
    return m_drives.toNative(path);
}

Location SystemHost::locate(const QString &path) const
{
    return m_drives.locate(path);
}

void SystemHost::choosePartition(QChar drive, int partition)
{
    m_drives.choosePartition(drive, partition);
}

QString SystemHost::driveIdentity(const QString &path)
{
    return m_drives.driveIdentity(path);
}

SystemHost::SystemHost(DriveMap drives) : m_drives(std::move(drives))
{
    static std::once_flag cleaned;
    std::call_once(cleaned, removeStalePrivateDirectories);
}

void SystemHost::checkWritable(const QString &path)
{
    if (const Location location = m_drives.locate(path); location.onImage())
        checkImageWritable(*location.volume, path);
}

LocalFile SystemHost::localFile(const QString &path)
{
    const Location location = m_drives.locate(path);
    if (location.onImage())
        return copyOutOfImage(*location.volume, location.inside, path);
    return LocalFile(location.native);
}

void SystemHost::copyFile(const QString &source, const QString &destination)
{
    // A source inside a disk image is read from a private copy.
    const LocalFile from = localFile(source);
    const Fd in = openRegularFile(from.path(), source, O_RDONLY, QStringLiteral("cannot copy"));
    const std::unique_ptr<Replacement> out = replaceFile(destination, ReplaceFrom::Nothing);
    std::vector<std::uint8_t> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("cannot read"), source);
        if (n == 0)
            break;
        out->write(std::span<const std::uint8_t>(buffer.data(), std::size_t(n)));
    }
    out->commit();
}

void SystemHost::deleteFile(const QString &path)
{
    const Location location = m_drives.locate(path);
    if (location.onImage()) {
        deleteImageFile(*location.volume, location.inside, path);
        return;
    }
    const QString native = location.native;
    struct stat info {};
    if (::lstat(encoded(native).constData(), &info) != 0)
        fail(QStringLiteral("cannot delete"), path);
    if (S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("cannot delete %1: it is a directory").arg(path),
                        ErrorKind::IsDirectory);
    if (::unlink(encoded(native).constData()) != 0)
        fail(QStringLiteral("cannot delete"), path);
}

std::int64_t SystemHost::fileLength(const QString &path)
{
    const Location location = m_drives.locate(path);
    if (location.onImage())
        return imageFileLength(*location.volume, location.inside, path);
    struct stat info {};
    if (::stat(encoded(location.native).constData(), &info) != 0)
        fail(QStringLiteral("cannot find"), path);
    if (S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("%1 is a directory").arg(path), ErrorKind::IsDirectory);
    if (!S_ISREG(info.st_mode))
        throw HostError(QStringLiteral("cannot measure %1: not a regular file").arg(path),
                        ErrorKind::NotRegularFile);
    return info.st_size;
}

PathKind SystemHost::pathKind(const QString &path)
{
    const Location location = m_drives.locate(path);
    if (location.onImage()) {
        const std::optional<MtoolsDrive::Entry> entry =
            MtoolsDrive(*location.volume).find(location.inside, path);
        if (!entry)
            return PathKind::Missing;
        return entry->directory ? PathKind::Directory : PathKind::File;
    }
    const QByteArray native = encoded(location.native);
    struct stat info {};
    if (::stat(native.constData(), &info) == 0) {
        if (S_ISREG(info.st_mode))
            return PathKind::File;
        return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::Other;
    }
    if (errno != ENOENT && errno != ENOTDIR)
        fail(QStringLiteral("cannot look at"), path);
    // A link that leads nowhere is still something in the way.
    return ::lstat(native.constData(), &info) == 0 ? PathKind::Other : PathKind::Missing;
}

void SystemHost::makeDirectories(const QString &path)
{
    const Location location = m_drives.locate(path);
    if (location.onImage()) {
        makeImageDirectories(*location.volume, location.inside, path);
        return;
    }
    const QString native = QDir::cleanPath(location.native);
    QString made = native.startsWith('/') ? QString() : QStringLiteral(".");
    for (const QString &part : native.split('/', Qt::SkipEmptyParts)) {
        made += '/' + part;
        const QByteArray name = encoded(made);
        if (::mkdir(name.constData(), 0777) == 0)
            continue;
        const int error = errno;
        struct stat info {};
        // There already; a directory above one the user may write is often
        // not the user's to change, and need not be.
        if (::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            continue;
        if (error == EEXIST)
            throw HostError(
                QStringLiteral("cannot create the directory %1: a file is in the way").arg(made));
        errno = error;
        fail(QStringLiteral("cannot create the directory"), made);
    }
}

namespace {

// Directories inside a disk image are made (makeDirectories), never listed
// or removed: the native path of a directory that is not inside one.
QString nativeDirectory(const Location &location, const QString &path, const QString &verb)
{
    if (location.onImage()) {
        throw HostError(
            QStringLiteral("cannot %1 %2: not possible for a directory inside a disk image")
                .arg(verb, path));
    }
    return location.native;
}

} // namespace

bool SystemHost::directoryIsEmpty(const QString &path)
{
    const QString verb = QStringLiteral("list");
    const QString native = nativeDirectory(m_drives.locate(path), path, verb);
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(encoded(native).constData()),
                                                   ::closedir);
    if (!dir)
        fail("cannot " + verb, path);
    errno = 0;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            return false;
    }
    if (errno != 0)
        fail("cannot " + verb, path);
    return true;
}

void SystemHost::removeEmptyDirectory(const QString &path)
{
    const QString verb = QStringLiteral("remove");
    const QString native = nativeDirectory(m_drives.locate(path), path, verb);
    if (::rmdir(encoded(native).constData()) != 0)
        fail("cannot " + verb, path);
}

std::unique_ptr<BinaryFile> SystemHost::openBinary(const QString &path, FileAccess access)
{
    const Location location = m_drives.locate(path);
    if (location.onImage())
        return openImageFile(*location.volume, location.inside, path, access);
    const int flags = access == FileAccess::Read ? O_RDONLY : O_RDWR | O_CREAT;
    Fd fd = openRegularFile(location.native, path, flags, QStringLiteral("cannot open"));
    return std::make_unique<PosixBinaryFile>(fd.release(), path);
}

std::unique_ptr<Replacement> SystemHost::replaceFile(const QString &path, ReplaceFrom start)
{
    const Location location = m_drives.locate(path);
    if (location.onImage())
        return replaceImageFile(*location.volume, location.inside, path, start);
    return replaceNativeFile(location.native, path, start);
}

std::unique_ptr<FileLock> SystemHost::lockExclusive(const QString &path, int waitMs)
{
    return std::make_unique<ExclusiveFileLock>(nativePath(path), std::chrono::milliseconds(waitMs));
}

const QStringList &SystemHost::bitmapEditors()
{
    static const QStringList names{"kolourpaint", "pinta", "mtpaint",
                                   "drawing",     "gimp",  "xdg-open"};
    return names;
}

const QStringList &SystemHost::textEditors()
{
    static const QStringList names{"gedit",  "gnome-text-editor", "kate",
                                   "kwrite", "mousepad",          "xed",
                                   "pluma",  "featherpad",        "xdg-open"};
    return names;
}

const QStringList &SystemHost::openers()
{
    static const QStringList names{"xdg-open"};
    return names;
}

QString SystemHost::argumentPath(const QString &path, const QString &kind)
{
    const Location location = m_drives.locate(path);
    if (!location.onImage())
        return location.native;
    // A file inside a disk image has no path another program could open.
    // A text is only read, so the editor may have a copy; a picture edited
    // in a copy would lose its changes without a word.
    if (kind != "text editor") {
        throw HostError(QStringLiteral("cannot open %1 in a %2: it lies inside the disk image %3")
                            .arg(path, kind, location.volume->image));
    }
    m_programCopies.push_back(copyOutOfImage(*location.volume, location.inside, path));
    return m_programCopies.back().path();
}

SystemHost::Launch SystemHost::resolveCommandLine(const QString &commandLine)
{
    const qsizetype space = commandLine.indexOf(' ');
    const QString program = space < 0 ? commandLine : commandLine.left(space);
    const QString rest = space < 0 ? QString() : commandLine.mid(space + 1);

    const QString key = program.toLower();
    QStringList candidates;
    QString kind;
    if (key == "pbrush" || key == "pbrush.exe" || key == "mspaint" || key == "mspaint.exe") {
        candidates = bitmapEditors();
        kind = QStringLiteral("bitmap editor");
    } else if (key == "notepad" || key == "notepad.exe") {
        candidates = textEditors();
        kind = QStringLiteral("text editor");
    } else if (key == "start") {
        candidates = openers();
        kind = QStringLiteral("program to open addresses");
    } else {
        candidates << (DriveMap::isDosPath(program) ? nativePath(program) : program);
        kind = program;
    }

    Launch launch;
    launch.program = firstOnPath(candidates);
    if (launch.program.isEmpty()) {
        throw HostError(QStringLiteral("cannot start %1: no %2 found (tried %3)")
                            .arg(program, kind, candidates.join(", ")));
    }
    if (!rest.isEmpty())
        launch.arguments << (DriveMap::isDosPath(rest) ? argumentPath(rest, kind) : rest);
    return launch;
}

void SystemHost::runCommandLine(const QString &commandLine, WindowStyle)
{
    const Launch launch = resolveCommandLine(commandLine);
    QProcess process;
    process.setProgram(launch.program);
    process.setArguments(launch.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        throw HostError(
            QStringLiteral("cannot start %1: %2").arg(launch.program, process.errorString()));
    }
}

std::optional<QString> SystemHost::recordedWindowsDirectory()
{
    // Windows 95 and 98 record where they are installed in the text file
    // C:\MSDOS.SYS, as WinDir= in its [Paths] section; an installation in
    // C:\WIN98 is common on the disks emulators keep. MS-DOS's own
    // MSDOS.SYS is a program, never that large, and has no such line.
    constexpr std::int64_t kMaxMsdosSys = 64 * 1024;
    QByteArray text;
    try {
        const std::int64_t length = fileLength(QStringLiteral("C:\\MSDOS.SYS"));
        if (length <= 0 || length > kMaxMsdosSys)
            return std::nullopt;
        text.resize(qsizetype(length));
        openBinary(QStringLiteral("C:\\MSDOS.SYS"), FileAccess::Read)
            ->readAt(0,
                     std::span(reinterpret_cast<std::uint8_t *>(text.data()), std::size_t(length)));
    } catch (const HostError &) {
        return std::nullopt;
    }
    bool inPaths = false;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('[')) {
            inPaths = line.compare("[Paths]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inPaths || !line.startsWith("WinDir", Qt::CaseInsensitive))
            continue;
        const QString value = line.section('=', 1).trimmed();
        const bool printableAscii = std::all_of(value.begin(), value.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() < 0x7f;
        });
        // Only a directory on drive C, the drive this program works on.
        if (line.section('=', 0, 0).trimmed().compare("WinDir", Qt::CaseInsensitive) == 0 &&
            printableAscii && value.size() > 3 && value.startsWith("C:\\", Qt::CaseInsensitive))
            return value;
    }
    return std::nullopt;
}

unsigned SystemHost::windowsDirectory(char *buffer, unsigned size)
{
    const QByteArray directory =
        recordedWindowsDirectory().value_or(QStringLiteral("C:\\WINDOWS")).toLatin1();
    if (buffer == nullptr || size <= unsigned(directory.size()))
        return 0;
    std::memcpy(buffer, directory.constData(), std::size_t(directory.size()) + 1);
    return unsigned(directory.size());
}

QString SystemHost::createTempFile(const QString &prefix)
{
    const QString tempPath = QDir::tempPath();
    // Qt answers a TMPDIR that does not exist with the empty text, which
    // would put the file at the root of the file system.
    if (tempPath.isEmpty() || !QFileInfo(tempPath).isDir())
        throw HostError(QStringLiteral("there is no temporary directory (TMPDIR is %1)")
                            .arg(qEnvironmentVariable("TMPDIR")),
                        ErrorKind::NotFound);
    // Checked like any path: a TMPDIR that is not UTF-8 must not turn into
    // another directory.
    const QString directory = m_drives.toNative(tempPath);
    // Like the system's own temporary names: start somewhere unpredictable
    // and count up until a free name turns up.
    unsigned number = QRandomGenerator::global()->bounded(0x10000u);
    for (int attempt = 0; attempt < 0x10000; ++attempt, number = (number + 1) & 0xFFFF) {
        const QString name = directory + '/' + prefix +
                             QStringLiteral("%1").arg(number, 4, 16, QLatin1Char('0')).toUpper() +
                             QStringLiteral(".TMP");
        const int fd = ::open(encoded(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            fail(QStringLiteral("cannot create a temporary file in"), directory);
    }
    throw HostError(
        QStringLiteral("no free temporary name %1XXXX.TMP in %2").arg(prefix, directory));
}

QString SystemHost::settingsPath(const QString &application)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
           application + ".conf";
}

QString SystemHost::getSetting(const QString &application, const QString &section,
                               const QString &key, const QString &defaultValue)
{
    QSettings settings(settingsPath(application), QSettings::IniFormat);
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with commas reads back as a list; keep it whole.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ");
    return value.toString();
}

void SystemHost::saveSetting(const QString &application, const QString &section, const QString &key,
                             const QString &value)
{
    QSettings settings(settingsPath(application), QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw HostError(
            QStringLiteral("cannot save the setting %1 in %2").arg(key, settingsPath(application)));
    }
}

std::unique_ptr<Timer> SystemHost::startTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<QtTimer>(intervalMs, std::move(onTick));
}

} // namespace vantrel
