#include "host/disk/mtools_drive.h"

#include "host/host.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <atomic>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace vantrel {

namespace {

std::atomic<long> g_processes{0};

// Long enough for any image on a slow disk; a hung mtools must still not
// hang the program for ever.
constexpr int kToolTimeoutMs = 120000;

// The short name the new content of a replaced file goes in under, in
// the file's directory, before it takes the file's place.
const QString kStagedBase = QStringLiteral("~VNTRLNW");
const QString kStagedExtension = QStringLiteral("TMP");

struct ToolResult {
    int exitCode = 0;
    QString out;
    QString err;
};

QProcessEnvironment toolEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The image's own boot sector is what counts, even where mtools would
    // find fault with its geometry.
    environment.insert("MTOOLS_SKIP_CHECK", "1");
    // Listings are parsed: one layout, whatever the user set. Long names
    // are read and written as UTF-8.
    environment.insert("MTOOLS_TWENTY_FOUR_HOUR_CLOCK", "1");
    environment.insert("MTOOLS_DOTTED_DIR", "0");
    environment.insert("MTOOLS_NO_VFAT", "0");
    environment.insert("MTOOLS_LOWER_CASE", "0");
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
}

// Runs one mtools program to its end. Throws HostError when mtools is
// missing or the program cannot be run; its own failures are left to the
// caller, which knows what they mean.
ToolResult runTool(const QString &tool, const QStringList &arguments, const QString &name)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        throw HostError(QStringLiteral("cannot reach %1: its drive is a disk image, and working "
                                       "on one needs mtools, which is not installed (no %2 "
                                       "found); install the package mtools")
                            .arg(name, tool));
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(toolEnvironment());
    // mtools asks on the terminal when a name clashes; the answer is always
    // given in the arguments, and a question must not wait for ever.
    process.setStandardInputFile(QProcess::nullDevice());
    // A write killed halfway must not go on without its lock: the child
    // ends with this program.
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    ++g_processes;
    process.start();
    if (!process.waitForStarted(kToolTimeoutMs)) {
        throw HostError(QStringLiteral("cannot reach %1: cannot run %2: %3")
                            .arg(name, tool, process.errorString()));
    }
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        throw HostError(QStringLiteral("cannot reach %1: %2 did not finish").arg(name, tool));
    }
    ToolResult result;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (result.exitCode == 0)
        return result;
    if (result.err.isEmpty())
        result.err = QStringLiteral("%1 failed with status %2").arg(tool).arg(result.exitCode);
    result.err.replace('\n', QStringLiteral("; "));
    // mtools names itself by the path it was started with.
    result.err.replace(program + ':', tool + ':');
    return result;
}

// What mtools says when the file or a directory on its way is not there.
bool saysNotFound(const ToolResult &result)
{
    return result.err.contains("not found");
}

[[noreturn]] void failWith(const QString &verb, const QString &name, const ToolResult &result)
{
    throw HostError(QStringLiteral("%1 %2: %3").arg(verb, name, result.err),
                    saysNotFound(result) ? ErrorKind::NotFound : ErrorKind::Other);
}

QString parentOf(const QString &inside)
{
    const qsizetype cut = inside.lastIndexOf('/');
    return cut <= 0 ? QStringLiteral("/") : inside.left(cut);
}

QString fileNameOf(const QString &inside)
{
    return inside.mid(inside.lastIndexOf('/') + 1);
}

QString joined(const QString &directory, const QString &file)
{
    return directory.endsWith('/') ? directory + file : directory + '/' + file;
}

bool isLowerCase(const QString &text)
{
    return text == text.toLower() && text != text.toUpper();
}

// The staged name for replacing `stored`: mmove gives the moved entry the
// case of the staged short name, so it is spelt as the stored one is.
QString stagedName(const QString &stored)
{
    const qsizetype dot = stored.lastIndexOf('.');
    const QString base = dot < 0 ? stored : stored.left(dot);
    const QString extension = dot < 0 ? QString() : stored.mid(dot + 1);
    return (isLowerCase(base) ? kStagedBase.toLower() : kStagedBase) + '.' +
           (isLowerCase(extension) ? kStagedExtension.toLower() : kStagedExtension);
}

QString shortName(const QString &line)
{
    const QString base = line.left(8).trimmed();
    const QString extension = line.mid(9, 3).trimmed();
    return extension.isEmpty() ? base : base + '.' + extension;
}

} // namespace

std::optional<MtoolsDrive::Entry> findInListing(const QString &listing, const QString &wanted)
{
    // "NAME     EXT      1234 2024-05-01  10:00  Long name", or <DIR> for
    // the size; the long name only where there is one.
    static const QRegularExpression entryLine(
        QStringLiteral("^ (<DIR>|\\s*\\d+) \\s*\\S+\\s+\\S+ (?: (.*))?$"));
    if (wanted.isEmpty())
        return std::nullopt;
    bool inListing = false;
    for (const QString &line : listing.split('\n')) {
        if (line.startsWith("Directory for ")) {
            inListing = true;
            continue;
        }
        // The short name's two parts are apart by a space.
        if (!inListing || line.size() < 13 || line.at(8) != ' ')
            continue;
        const QRegularExpressionMatch match = entryLine.match(line.mid(12));
        if (!match.hasMatch())
            continue;
        const QString shortForm = shortName(line);
        const QString longForm = match.captured(2);
        if (shortForm == "." || shortForm == "..")
            continue;
        if (wanted.compare(longForm, Qt::CaseInsensitive) != 0 &&
            wanted.compare(shortForm, Qt::CaseInsensitive) != 0)
            continue;
        MtoolsDrive::Entry entry;
        entry.name = longForm.isEmpty() ? shortForm : longForm;
        entry.directory = match.captured(1) == "<DIR>";
        entry.size = entry.directory ? 0 : match.captured(1).trimmed().toLongLong();
        return entry;
    }
    return std::nullopt;
}

long MtoolsDrive::processesStarted()
{
    return g_processes.load();
}

QString MtoolsDrive::imageArgument() const
{
    // mtools takes the first "@@" for the start of the offset.
    if (m_volume.image.contains("@@")) {
        throw HostError(QStringLiteral("mtools cannot open the disk image %1: its path holds "
                                       "\"@@\"; rename it or link to it under another name")
                            .arg(m_volume.image));
    }
    return m_volume.image + "@@" + QString::number(m_volume.offset);
}

std::optional<MtoolsDrive::Entry> MtoolsDrive::find(const QString &inside,
                                                    const QString &name) const
{
    const QString wanted = fileNameOf(inside);
    if (wanted.isEmpty())
        return Entry{QStringLiteral("/"), true, 0};
    const ToolResult listing = runTool(
        "mdir", {"-a", "-i", imageArgument(), "::" + joined(parentOf(inside), QString())}, name);
    if (listing.exitCode != 0) {
        if (saysNotFound(listing))
            return std::nullopt;
        failWith(QStringLiteral("cannot read"), name, listing);
    }
    return findInListing(listing.out, wanted);
}

std::optional<MtoolsDrive::Entry> MtoolsDrive::stagedLeftover(const QString &inside,
                                                              const QString &name) const
{
    return find(joined(inside, kStagedBase + '.' + kStagedExtension), name);
}

void MtoolsDrive::copyOut(const QString &inside, const QString &native, const QString &name,
                          std::optional<std::int64_t> length) const
{
    if (!length) {
        const std::optional<Entry> entry = find(inside, name);
        length = entry && !entry->directory ? entry->size : 0;
    }
    const ToolResult copy = runTool("mcopy", {"-i", imageArgument(), "::" + inside, native}, name);
    if (copy.exitCode != 0)
        failWith(QStringLiteral("cannot read"), name, copy);
    // Given a directory, mcopy makes an empty one.
    if (QFileInfo(native).isDir())
        throw HostError(QStringLiteral("cannot read %1: it is a directory").arg(name),
                        ErrorKind::IsDirectory);
    if (const std::int64_t copied = QFileInfo(native).size(); copied < *length)
        throw HostError(
            QStringLiteral("cannot read %1: the file ends at byte %2").arg(name).arg(copied),
            ErrorKind::CutShort);
}

bool MtoolsDrive::isReadOnly(const QString &inside, const QString &name) const
{
    // "  A    R     ::/LOGO.SYS": the attribute letters, then the name.
    const ToolResult attributes = runTool("mattrib", {"-i", imageArgument(), "::" + inside}, name);
    if (attributes.exitCode != 0)
        return false;
    const qsizetype path = attributes.out.indexOf("::");
    return path > 0 && attributes.out.left(path).contains('R');
}

void MtoolsDrive::put(const QString &native, const QString &inside, const QString &name) const
{
    const std::optional<Entry> old = find(inside, name);
    if (old && old->directory)
        throw HostError(QStringLiteral("cannot write %1: it is a directory").arg(name),
                        ErrorKind::IsDirectory);
    const QString verb = QStringLiteral("cannot write");
    // mtools would replace a read-only file without a word; Windows would
    // not, and neither does the program on a directory drive.
    if (old && isReadOnly(inside, name))
        throw HostError(QStringLiteral("cannot write %1: the file is read-only").arg(name),
                        ErrorKind::ReadOnly);
    if (!old) {
        const ToolResult copy =
            runTool("mcopy", {"-D", "o", "-i", imageArgument(), native, "::" + inside}, name);
        if (copy.exitCode != 0)
            failWith(verb, name, copy);
        return;
    }
    const QString target = joined(parentOf(inside), old->name);
    const QString staged = joined(parentOf(inside), stagedName(old->name));
    const ToolResult copy =
        runTool("mcopy", {"-D", "o", "-i", imageArgument(), native, "::" + staged}, name);
    if (copy.exitCode == 0) {
        const ToolResult move = runTool(
            "mmove", {"-D", "o", "-i", imageArgument(), "::" + staged, "::" + target}, name);
        if (move.exitCode == 0)
            return;
        runTool("mdel", {"-i", imageArgument(), "::" + staged}, name);
        failWith(verb, name, move);
    }
    // A full volume may leave part of the new content behind.
    runTool("mdel", {"-i", imageArgument(), "::" + staged}, name);
    failWith(verb, name, copy);
}

void MtoolsDrive::remove(const QString &inside, const QString &name) const
{
    if (isReadOnly(inside, name))
        throw HostError(QStringLiteral("cannot delete %1: the file is read-only").arg(name),
                        ErrorKind::ReadOnly);
    const ToolResult removal = runTool("mdel", {"-i", imageArgument(), "::" + inside}, name);
    if (removal.exitCode != 0)
        failWith(QStringLiteral("cannot delete"), name, removal);
}

void MtoolsDrive::makeDirectory(const QString &inside, const QString &name) const
{
    const ToolResult made = runTool("mmd", {"-i", imageArgument(), "::" + inside}, name);
    if (made.exitCode != 0)
        failWith(QStringLiteral("cannot make the directory"), name, made);
}

QString MtoolsDrive::label() const
{
    const QString name = m_volume.image;
    const ToolResult result = runTool("mlabel", {"-s", "-i", imageArgument(), "::"}, name);
    if (result.exitCode != 0)
        failWith(QStringLiteral("cannot read the label of"), name, result);
    static const QRegularExpression labelLine(QStringLiteral("Volume label is (.*)$"),
                                              QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = labelLine.match(result.out);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace vantrel
