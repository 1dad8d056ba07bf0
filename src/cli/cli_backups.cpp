#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "drive/default_drive.h"
#include "drive/stock_art.h"
#include "logo/backups.h"
#include "logo/slots.h"

#include <QRegularExpression>

#include <array>
#include <optional>

namespace vantrel {

namespace {

const char kBackupsUsage[] =
    "usage: vantrel-cli backups [startup|shutdown|switchoff]\n"
    "Lists the copies kept of each slot's file, or of the one slot named, newest\n"
    "first: the id that undo takes, when the content was last replaced, its size,\n"
    "the operation that replaced it and whether it is a logo bitmap. Vantrel keeps\n"
    "every slot file it replaces or deletes, each content once, in\n"
    "~/.local/share/vantrel/backups (under $XDG_DATA_HOME). The drive's original,\n"
    "the first content seen in a slot, is marked and always kept; of the others\n"
    "the newest 20 stay. Changes nothing.\n";

const char kUndoUsage[] =
    "usage: vantrel-cli undo startup|shutdown|switchoff [--to ID|original]\n"
    "Puts a kept copy back into the slot: the newest one that differs from what\n"
    "the slot holds, the copy ID as 'vantrel-cli backups' lists it, or with\n"
    "--to original the drive's original. What the slot holds is kept first, so an\n"
    "undo can be undone by another.\n";

const char kSetupUsage[] =
    "usage: vantrel-cli setup\n"
    "Prepares drive C for Vantrel: makes C:\\vantrel\\ with readme.txt and the\n"
    "pictures Restore puts back, logow.sys and logos.sys. Each is a copy of the\n"
    "drive's own picture in the Windows directory where there is one, else\n"
    "Vantrel's stock picture. A C:\\vantrel\\ that exists is left as it is, and\n"
    "the slots are never touched. Prints what it made.\n";

const QString kProgramDirectory = QStringLiteral("C:\\vantrel\\");

void writeBytes(Host &host, const QString &path, const QByteArray &bytes)
{
    const std::unique_ptr<Replacement> out = host.replaceFile(path, ReplaceFrom::Nothing);
    out->write(
        {reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size())});
    out->commit();
}

// check's verdict on a kept copy in a word: "logo", "not-logo", or
// "missing" when the copy cannot be read.
QString verdictWord(Host &host, const KeptCopy &copy)
{
    try {
        const std::int64_t length = host.fileLength(copy.path);
        std::array<std::uint8_t, kPaletteOffset> header{};
        const auto present = static_cast<std::size_t>(
            std::clamp<std::int64_t>(length, 0, std::int64_t(header.size())));
        const std::span<std::uint8_t> start(header.data(), present);
        host.openBinary(copy.path, FileAccess::Read)->readAt(0, start);
        return logoBitmapProblem(start, length).isEmpty() ? QStringLiteral("logo")
                                                          : QStringLiteral("not-logo");
    } catch (const HostError &) {
        return QStringLiteral("missing");
    }
}

QString localTime(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void listSlot(CliContext &context, LogoSlot slot, const QString &windows)
{
    QTextStream &out = context.out;
    const QString path = installedPath(slot, windows);
    const std::vector<KeptCopy> copies = keptCopies(context.host, slot, path);
    out << slotName(slot) << "  " << path << "  (kept in "
        << slotBackupDirectory(context.host, slot, path) << ")\n";
    if (copies.empty())
        out << "  nothing kept yet\n";
    for (const KeptCopy &copy : copies) {
        out << "  " << copy.id() << "  " << localTime(copy.keptAt) << "  "
            << QString::number(copy.size).rightJustified(9) << " bytes  "
            << copy.operation.leftJustified(11) << "  " << verdictWord(context.host, copy);
        if (copy.original)
            out << "  original";
        out << "\n";
    }
}

// Writes the stock picture `slot` is restored from, as setup makes it: a
// copy of the drive's own picture where the slot holds one, otherwise the
// program's own. Returns the line that says what was made.
QString makeStockPicture(Host &host, LogoSlot slot, const QString &windows)
{
    const QString stock = stockPath(slot);
    const QString installed = installedPath(slot, windows);
    if (host.pathKind(installed) == PathKind::File) {
        host.copyFile(installed, stock);
        return QStringLiteral("made %1  (a copy of %2, the drive's own %3 picture)")
            .arg(stock, installed, slotName(slot));
    }
    writeBytes(host, stock, slot == LogoSlot::Shutdown ? shutdownPicture() : switchOffPicture());
    return QStringLiteral("made %1  (Vantrel's stock %2 picture: the drive has none)")
        .arg(stock, slotName(slot));
}

// Says which stock pictures a program directory that is there lacks, as
// Restore of that slot will fail.
void warnOfMissingStock(CliContext &context)
{
    for (const LogoSlot slot : {LogoSlot::Shutdown, LogoSlot::SwitchOff}) {
        if (context.host.pathKind(stockPath(slot)) != PathKind::File) {
            context.err << "vantrel-cli: warning: " << stockPath(slot)
                        << " is missing, so restoring the " << slotName(slot)
                        << " slot cannot work\n";
        }
    }
}

} // namespace

int backupsCommand(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kBackupsUsage;
        return kExitOk;
    }
    if (arguments.size() > 1)
        return usageError(context, QStringLiteral("backups takes at most one slot"), kBackupsUsage);
    std::vector<LogoSlot> slots(kAllSlots.begin(), kAllSlots.end());
    if (arguments.size() == 1) {
        const std::optional<LogoSlot> slot = parseSlot(arguments[0]);
        if (!slot) {
            return usageError(context, QStringLiteral("unknown slot '%1'").arg(arguments[0]),
                              kBackupsUsage);
        }
        slots = {*slot};
    }
    try {
        const QString windows = QueryWindowsDirectory(context.host);
        for (const LogoSlot slot : slots)
            listSlot(context, slot, windows);
    } catch (const HostError &error) {
        context.out.flush();
        context.err << "vantrel-cli: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int undoCommand(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kUndoUsage;
        return kExitOk;
    }
    QStringList words;
    std::optional<QString> to;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == "--to") {
            if (i + 1 >= arguments.size())
                return usageError(context, QStringLiteral("--to needs a copy id or original"),
                                  kUndoUsage);
            to = arguments[++i];
        } else if (argument.startsWith("--to=")) {
            to = argument.mid(5);
        } else if (argument.startsWith('-')) {
            return usageError(context, "unknown option '" + argument + "'", kUndoUsage);
        } else {
            words << argument;
        }
    }
    if (words.size() != 1)
        return usageError(context, QStringLiteral("undo takes one slot"), kUndoUsage);
    const std::optional<LogoSlot> slot = parseSlot(words[0]);
    if (!slot)
        return usageError(context, QStringLiteral("unknown slot '%1'").arg(words[0]), kUndoUsage);
    UndoTarget target;
    if (to && to->toLower() == "original") {
        target.kind = UndoTarget::Original;
    } else if (to) {
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{4,64}$"));
        if (!hex.match(*to).hasMatch()) {
            return usageError(context,
                              "--to takes a copy id of 4 to 64 hex digits, as 'vantrel-cli "
                              "backups' lists them, or original, not '" +
                                  *to + "'",
                              kUndoUsage);
        }
        target.kind = UndoTarget::Id;
        target.id = *to;
    }

    prepareDrive(context);
    try {
        const UndoResult result =
            UndoSlot(context.host, *slot, QueryWindowsDirectory(context.host), target);
        const QString what =
            QStringLiteral("%1 (kept %2, replaced by %3)")
                .arg(result.copy.id(), localTime(result.copy.keptAt), result.copy.operation);
        if (result.changed)
            context.out << "put back " << what << " into the " << slotName(*slot) << " slot\n";
        else
            context.out << "the " << slotName(*slot) << " slot holds " << what
                        << " already; nothing changed\n";
    } catch (const HostError &error) {
        context.err << "vantrel-cli: cannot undo the " << slotName(*slot)
                    << " logo: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int setupCommand(const QStringList &arguments, CliContext &context)
{
    if (wantsHelp(arguments)) {
        context.out << kSetupUsage;
        return kExitOk;
    }
    if (!arguments.isEmpty())
        return usageError(context, QStringLiteral("setup takes no arguments"), kSetupUsage);

    prepareDrive(context);
    Host &host = context.host;
    QTextStream &out = context.out;
    bool madeDirectory = false;
    try {
        if (host.pathKind(QStringLiteral("C:\\")) != PathKind::Directory) {
            throw HostError(QStringLiteral("drive C: %1 is not a directory")
                                .arg(host.nativePath(QStringLiteral("C:\\"))));
        }
        switch (host.pathKind(kProgramDirectory)) {
        case PathKind::Directory:
            out << kProgramDirectory << " is there already  (" << host.nativePath(kProgramDirectory)
                << "); setup leaves it as it is\n";
            out.flush();
            warnOfMissingStock(context);
            return kExitOk;
        case PathKind::Missing:
            break;
        case PathKind::File:
        case PathKind::Other:
            throw HostError(QStringLiteral("%1 is there but is not a directory  (%2); setup leaves "
                                           "it as it is")
                                .arg(kProgramDirectory, host.nativePath(kProgramDirectory)));
        }

        const QString windows = QueryWindowsDirectory(host);
        host.makeDirectories(kProgramDirectory);
        madeDirectory = true;
        out << "made " << kProgramDirectory << "  (" << host.nativePath(kProgramDirectory) << ")\n";
        for (const LogoSlot slot : {LogoSlot::Shutdown, LogoSlot::SwitchOff})
            out << makeStockPicture(host, slot, windows) << "\n";
        const QString readme = QStringLiteral("c:\\vantrel\\readme.txt");
        writeBytes(host, readme, readmeText());
        out << "made " << readme << "\n";
    } catch (const HostError &error) {
        out.flush();
        context.err << "vantrel-cli: cannot set up drive C: " << error.reason() << "\n";
        // Setup never changes a program directory that exists, so it says
        // how to get past the one it left half made.
        if (madeDirectory) {
            context.err << "vantrel-cli: " << kProgramDirectory
                        << " is incomplete: fill it in by hand, or remove it and run setup "
                           "again\n";
        }
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace vantrel
