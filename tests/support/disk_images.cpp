#include "support/disk_images.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <stdexcept>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

// Debian keeps sfdisk and mkfs.fat in /usr/sbin, which an ordinary user's
// PATH may lack.
QString findTool(const QString &name)
{
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin"});
    return found.isEmpty() ? name : found;
}

void mustRun(const QString &program, const QStringList &arguments, const QByteArray &input = {})
{
    QProcess process;
    process.setProgram(findTool(program));
    process.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MTOOLS_SKIP_CHECK", "1");
    process.setProcessEnvironment(environment);
    process.start();
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        throw std::runtime_error((program + ' ' + arguments.join(' ') + ": " +
                                  QString::fromUtf8(process.readAllStandardError()))
                                     .toStdString());
    }
}

void putBigEndian(QByteArray &bytes, int at, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = char(value >> (8 * (width - 1 - i)));
}

} // namespace

const char *kindName(ImageKind kind)
{
    switch (kind) {
    case ImageKind::Fat16Disk:
        return "FAT16 disk";
    case ImageKind::Fat32Disk:
        return "FAT32 disk";
    case ImageKind::Superfloppy:
        return "superfloppy";
    case ImageKind::FixedVhd:
        return "fixed VHD";
    case ImageKind::SuperfloppyVhd:
        return "superfloppy VHD";
    case ImageKind::TwoFatDisk:
        return "disk with two FAT16 partitions";
    }
    return "?";
}

ToolRun runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(findTool(program));
    process.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MTOOLS_SKIP_CHECK", "1");
    environment.insert("LC_ALL", "C.UTF-8");
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    process.waitForFinished(60000);
    ToolRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray vhdFooter(std::int64_t dataSize, std::uint32_t diskType)
{
    QByteArray footer(512, '\0');
    footer.replace(0, 8, "conectix");
    putBigEndian(footer, 8, 2, 4);                            // features: reserved bit
    putBigEndian(footer, 12, 0x00010000, 4);                  // version 1.0
    putBigEndian(footer, 16, diskType == 2 ? ~0ull : 512, 8); // data offset
    footer.replace(28, 4, "vtst");
    putBigEndian(footer, 40, std::uint64_t(dataSize), 8); // original size
    putBigEndian(footer, 48, std::uint64_t(dataSize), 8); // current size
    putBigEndian(footer, 56, (1024u << 16) | (16u << 8) | 63u, 4);
    putBigEndian(footer, 60, diskType, 4);
    std::uint32_t sum = 0;
    for (const char byte : footer)
        sum += std::uint8_t(byte);
    putBigEndian(footer, 64, ~sum, 4);
    return footer;
}

void appendVhdFooter(const QString &path, std::int64_t dataSize)
{
    QFile file(path);
    if (!file.open(QIODevice::Append) || file.write(vhdFooter(dataSize, 2)) != 512)
        throw std::runtime_error("cannot write the VHD footer");
}

TempImage::TempImage(ImageKind kind, const QString &fileName)
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a directory for a disk image");
    m_path = m_dir.filePath(fileName);
    switch (kind) {
    // sfdisk is told that the image is no device for the kernel to reread:
    // otherwise it waits a quarter of a second for that on every image.
    case ImageKind::Fat16Disk:
    case ImageKind::FixedVhd:
        mustRun("truncate", {"-s", "16M", m_path});
        mustRun("sfdisk", {"-q", "--no-tell-kernel", m_path},
                "label: dos\nstart=2048, type=6, bootable\n");
        m_partition = 1;
        m_offset = kMiB;
        m_volumeSize = 15 * kMiB;
        mustRun("mkfs.fat", {"-F", "16", "--offset", "2048", "-n", "WIN95", m_path,
                             QString::number(m_volumeSize / 1024)});
        if (kind == ImageKind::FixedVhd)
            appendVhdFooter(m_path, 16 * kMiB);
        break;
    case ImageKind::Fat32Disk:
        mustRun("truncate", {"-s", "40M", m_path});
        mustRun("sfdisk", {"-q", "--no-tell-kernel", m_path},
                "label: dos\nstart=2048, size=2048, type=83\nstart=4096, type=c\n");
        m_partition = 2;
        m_offset = 2 * kMiB;
        m_volumeSize = 38 * kMiB;
        mustRun("mkfs.fat", {"-F", "32", "-s", "1", "--offset", "4096", "-n", "WIN95", m_path,
                             QString::number(m_volumeSize / 1024)});
        break;
    case ImageKind::TwoFatDisk:
        mustRun("truncate", {"-s", "20M", m_path});
        mustRun("sfdisk", {"-q", "--no-tell-kernel", m_path},
                "label: dos\nstart=2048, size=18432, type=6, bootable\nstart=20480, type=6\n");
        m_partition = 1;
        m_offset = kMiB;
        m_volumeSize = 9 * kMiB;
        mustRun("mkfs.fat", {"-F", "16", "--offset", "2048", "-n", "WIN95", m_path, "9216"});
        mustRun("mkfs.fat", {"-F", "16", "--offset", "20480", "-n", "DATA", m_path, "10240"});
        break;
    case ImageKind::Superfloppy:
    case ImageKind::SuperfloppyVhd:
        mustRun("truncate", {"-s", "1440K", m_path});
        m_volumeSize = 1440 * 1024;
        mustRun("mkfs.fat", {"-F", "12", "-n", "WIN95", m_path});
        if (kind == ImageKind::SuperfloppyVhd)
            appendVhdFooter(m_path, m_volumeSize);
        break;
    }
}

QString TempImage::mtoolsImage() const
{
    return m_path + "@@" + QString::number(m_offset);
}

std::optional<QByteArray> TempImage::read(const QString &inside) const
{
    const ToolRun run = runTool("mtype", {"-i", mtoolsImage(), "::" + inside});
    if (run.exitCode != 0)
        return std::nullopt;
    return run.out;
}

void TempImage::makeDirectory(const QString &inside) const
{
    mustRun("mmd", {"-D", "s", "-i", mtoolsImage(), "::" + inside});
}

void TempImage::write(const QString &inside, const QByteArray &bytes) const
{
    const qsizetype cut = inside.lastIndexOf('/');
    if (cut > 0) {
        const QString directory = inside.left(cut);
        if (runTool("mdir", {"-i", mtoolsImage(), "::" + directory + '/'}).exitCode != 0)
            makeDirectory(directory);
    }
    const QString source = m_dir.filePath("source");
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write a file for the image");
    file.close();
    mustRun("mcopy", {"-o", "-i", mtoolsImage(), source, "::" + inside});
}

QStringList TempImage::names(const QString &insideDirectory) const
{
    const QString directory =
        insideDirectory.endsWith('/') ? insideDirectory : insideDirectory + '/';
    const ToolRun run = runTool("mdir", {"-a", "-b", "-i", mtoolsImage(), "::" + directory});
    QStringList names;
    for (const QString &line : QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts)) {
        QString name = line.mid(line.lastIndexOf('/', line.endsWith('/') ? -2 : -1) + 1);
        names << name;
    }
    names.sort();
    return names;
}

void TempImage::makeInstallation() const
{
    makeDirectory("/WINDOWS");
    write("/vantrel/logow.sys", "stock-w");
    write("/vantrel/logos.sys", "stock-s");
}

QString TempImage::fsckProblems() const
{
    // fsck.fat knows no offset: it checks a copy of the volume alone.
    const QString copy = m_dir.filePath("volume.fsck");
    {
        const int in = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open(QFile::encodeName(copy).constData(),
                               O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        loff_t from = m_offset;
        std::int64_t left = m_volumeSize;
        while (in >= 0 && out >= 0 && left > 0) {
            const ssize_t n = ::copy_file_range(in, &from, out, nullptr, std::size_t(left), 0);
            if (n <= 0)
                break;
            left -= n;
        }
        ::close(in);
        ::close(out);
        if (left != 0)
            return QStringLiteral("cannot copy the volume for fsck.fat");
    }
    const ToolRun run = runTool("fsck.fat", {"-n", copy});
    QFile::remove(copy);
    if (run.exitCode == 0)
        return {};
    return QString::fromUtf8(run.out) + run.err;
}

HeldImage::HeldImage(const QString &image, const char *programName, Hold hold)
{
    // The program's file carries the name, as an emulator's does.
    const QString program = m_programDir.filePath(QString::fromUtf8(programName));
    if (!QFile::copy(QStandardPaths::findExecutable("cat"), program))
        throw std::runtime_error("cannot copy cat");
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe(m_release) != 0)
        throw std::runtime_error("pipe");
    // The child only makes system calls: the test process may have threads.
    const QByteArray path = QFile::encodeName(image);
    const QByteArray executable = QFile::encodeName(program);
    const bool reads = hold == Hold::ReadLock || hold == Hold::OpenForReading;
    m_child = ::fork();
    if (m_child == 0) {
        ::close(m_release[1]);
        const int fd = ::open(path.constData(), reads ? O_RDONLY : O_RDWR);
        struct flock whole {};
        whole.l_type = reads ? F_RDLCK : F_WRLCK;
        whole.l_whence = SEEK_SET;
        const bool locked = hold == Hold::OpenForWriting || hold == Hold::OpenForReading ||
                            ::fcntl(fd, F_OFD_SETLK, &whole) == 0;
        const char answer = fd >= 0 && locked ? 'y' : 'n';
        (void)::write(ready[1], &answer, 1);
        // The open file, and its lock, stay through the exec.
        ::dup2(m_release[0], 0);
        ::execl(executable.constData(), programName, static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(m_release[0]);
    m_release[0] = -1;
    ::close(ready[1]);
    char answer = 'n';
    (void)::read(ready[0], &answer, 1);
    // The pipe closes when the exec is done: from then on the process is
    // the program.
    char rest;
    while (::read(ready[0], &rest, 1) > 0) {
    }
    ::close(ready[0]);
    if (answer != 'y') {
        ::close(m_release[1]);
        ::waitpid(m_child, nullptr, 0);
        throw std::runtime_error("the child could not hold the image");
    }
}

HeldImage::~HeldImage()
{
    ::close(m_release[1]);
    ::waitpid(m_child, nullptr, 0);
}

void TempImage::setBytes(const QByteArray &bytes) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write the disk image");
}

QByteArray TempImage::bytes() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the disk image");
    return file.readAll();
}

} // namespace vantrel::test
