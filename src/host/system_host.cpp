#include "host/system_host.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel {

HostError::HostError(const QString &reason) : std::runtime_error(reason.toStdString())
{}

namespace {

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

[[noreturn]] void fail(const QString &what, const QString &path)
{
    throw HostError(QStringLiteral("%1 %2: %3").arg(what, path, systemReason()));
}

QByteArray encoded(const QString &nativePath)
{
    return QFile::encodeName(nativePath);
}

// Closes a descriptor when it goes out of scope unless released.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void writeAll(int fd, const std::uint8_t *data, std::size_t size, std::int64_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw HostError(systemReason());
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
}

class PosixBinaryFile : public BinaryFile {
public:
    PosixBinaryFile(int fd, QString name) : m_fd(fd), m_name(std::move(name)) {}
    ~PosixBinaryFile() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    void readAt(std::int64_t offset, std::span<std::uint8_t> into) override
    {
        requireOpen();
        std::size_t done = 0;
        while (done < into.size()) {
            const ssize_t n = ::pread(m_fd, into.data() + done, into.size() - done,
                                      offset + static_cast<std::int64_t>(done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(QStringLiteral("cannot read"), m_name);
            if (n == 0) {
                throw HostError(QStringLiteral("cannot read %1: the file ends at byte %2")
                                    .arg(m_name)
                                    .arg(offset + static_cast<std::int64_t>(done)));
            }
            done += static_cast<std::size_t>(n);
        }
        m_position = offset + static_cast<std::int64_t>(into.size());
    }

    void read(std::span<std::uint8_t> into) override { readAt(m_position, into); }

    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override
    {
        requireOpen();
        try {
            writeAll(m_fd, data.data(), data.size(), offset);
        } catch (const HostError &error) {
            throw HostError(QStringLiteral("cannot write %1: %2").arg(m_name, error.reason()));
        }
        m_position = offset + static_cast<std::int64_t>(data.size());
    }

    void write(std::span<const std::uint8_t> data) override { writeAt(m_position, data); }

    int descriptor() const { return m_fd; }
    void seek(std::int64_t offset) { m_position = offset; }

    void close() override
    {
        if (m_fd < 0)
            return;
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            fail(QStringLiteral("cannot close"), m_name);
    }

private:
    void requireOpen() const
    {
        if (m_fd < 0)
            throw HostError(QStringLiteral("%1 is closed").arg(m_name));
    }

    int m_fd;
    QString m_name;
    std::int64_t m_position = 0;
};

// The new content of a file, in a temporary file beside it until commit()
// renames it into place.
class PosixReplacement : public Replacement {
public:
    PosixReplacement(int fd, QByteArray temporary, QByteArray target, QString name)
        : m_file(fd, name), m_temporary(std::move(temporary)), m_target(std::move(target)),
          m_name(std::move(name))
    {}
    ~PosixReplacement() override { discard(); }

    void readAt(std::int64_t offset, std::span<std::uint8_t> into) override
    {
        m_file.readAt(offset, into);
    }
    void read(std::span<std::uint8_t> into) override { m_file.read(into); }
    void writeAt(std::int64_t offset, std::span<const std::uint8_t> data) override
    {
        m_file.writeAt(offset, data);
    }
    void write(std::span<const std::uint8_t> data) override { m_file.write(data); }
    void close() override { discard(); }
    void seek(std::int64_t offset) { m_file.seek(offset); }

    void commit() override
    {
        if (m_done)
            throw HostError(QStringLiteral("%1 is closed").arg(m_name));
        const int fd = m_file.descriptor();
        if (::fchmod(fd, 0666 & ~currentUmask()) != 0 || ::fsync(fd) != 0)
            failAndDiscard();
        try {
            m_file.close();
        } catch (const HostError &) {
            failAndDiscard();
        }
        if (::rename(m_temporary.constData(), m_target.constData()) != 0)
            failAndDiscard();
        m_done = true;
        const QByteArray directory =
            QFile::encodeName(QFileInfo(QFile::decodeName(m_target)).absolutePath());
        Fd dir(::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0)
            ::fsync(dir.get());
    }

private:
    [[noreturn]] void failAndDiscard()
    {
        const QString reason = systemReason();
        discard();
        throw HostError(QStringLiteral("cannot write %1: %2").arg(m_name, reason));
    }

    void discard()
    {
        if (m_done)
            return;
        m_done = true;
        try {
            m_file.close();
        } catch (const HostError &) {
            // The new content is being thrown away anyway.
        }
        ::unlink(m_temporary.constData());
    }

    PosixBinaryFile m_file;
    QByteArray m_temporary;
    QByteArray m_target;
    QString m_name;
    bool m_done = false;
};

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

void SystemHost::copyFile(const QString &source, const QString &destination)
{
    const QString from = nativePath(source);

    Fd in(::open(encoded(from).constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        fail(QStringLiteral("cannot open"), source);
    struct stat sourceInfo {};
    if (::fstat(in.get(), &sourceInfo) != 0)
        fail(QStringLiteral("cannot read"), source);
    if (S_ISDIR(sourceInfo.st_mode))
        throw HostError(QStringLiteral("cannot copy %1: it is a directory").arg(source));

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
    const QString native = nativePath(path);
    struct stat info {};
    if (::lstat(encoded(native).constData(), &info) != 0)
        fail(QStringLiteral("cannot delete"), path);
    if (S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("cannot delete %1: it is a directory").arg(path));
    if (::unlink(encoded(native).constData()) != 0)
        fail(QStringLiteral("cannot delete"), path);
}

std::int64_t SystemHost::fileLength(const QString &path)
{
    struct stat info {};
    if (::stat(encoded(nativePath(path)).constData(), &info) != 0)
        fail(QStringLiteral("cannot find"), path);
    if (S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("%1 is a directory").arg(path));
    return info.st_size;
}

std::unique_ptr<BinaryFile> SystemHost::openBinary(const QString &path, FileAccess access)
{
    const int flags = access == FileAccess::Read ? O_RDONLY : O_RDWR | O_CREAT;
    const int fd = ::open(encoded(nativePath(path)).constData(), flags | O_CLOEXEC, 0666);
    if (fd < 0)
        fail(QStringLiteral("cannot open"), path);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw HostError(QStringLiteral("cannot open %1: it is a directory").arg(path));
    }
    return std::make_unique<PosixBinaryFile>(fd, path);
}

std::unique_ptr<Replacement> SystemHost::replaceFile(const QString &path, ReplaceFrom start)
{
    const QString to = nativePath(path);
    struct stat info {};
    const bool exists = ::lstat(encoded(to).constData(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        throw HostError(QStringLiteral("cannot write %1: it is a directory").arg(path));

    const QFileInfo target(to);
    QByteArray pattern = encoded(target.absolutePath() + "/." + target.fileName() + ".XXXXXX");
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("cannot write"), path);
    auto replacement = std::make_unique<PosixReplacement>(fd, pattern, encoded(to), path);

    if (start == ReplaceFrom::OldContent && exists && S_ISREG(info.st_mode)) {
        Fd old(::open(encoded(to).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (old.get() < 0)
            fail(QStringLiteral("cannot read"), path);
        std::vector<std::uint8_t> buffer(256 * 1024);
        for (;;) {
            const ssize_t n = ::read(old.get(), buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(QStringLiteral("cannot read"), path);
            if (n == 0)
                break;
            replacement->write(std::span<const std::uint8_t>(buffer.data(), std::size_t(n)));
        }
        replacement->seek(0);
    }
    return replacement;
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
        launch.arguments << (DriveMap::isDosPath(rest) ? nativePath(rest) : rest);
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

unsigned SystemHost::windowsDirectory(char *buffer, unsigned size)
{
    static constexpr char kDirectory[] = "C:\\WINDOWS";
    if (buffer == nullptr || size < sizeof kDirectory)
        return 0;
    std::memcpy(buffer, kDirectory, sizeof kDirectory);
    return sizeof kDirectory - 1;
}

QString SystemHost::createTempFile(const QString &prefix)
{
    const QString directory = QDir::tempPath();
    // Qt answers a TMPDIR that does not exist with the empty text, which
    // would put the file at the root of the file system.
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        throw HostError(QStringLiteral("there is no temporary directory (TMPDIR is %1)")
                            .arg(qEnvironmentVariable("TMPDIR")));
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
