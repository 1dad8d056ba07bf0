#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "logo/backups.h"
#include "logo/slots.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <optional>

namespace vantrel {

namespace {

void listSlot(CommandContext &context, LogoSlot slot, const QString &windows)
{
    QTextStream &out = context.out;
    Host &host = context.host();
    const QString path = installedPath(slot, windows);
    const std::vector<KeptCopy> copies = keptCopies(host, slot, path);
    out << slotWord(slot) << "  " << path << "  (kept in " << slotBackupDirectory(host, slot, path)
        << ")\n";
    if (copies.empty())
        out << "  nothing kept yet\n";
    for (const KeptCopy &copy : copies) {
        out << "  " << copy.id() << "  " << keptTimeText(copy.keptAt) << "  "
            << QString::number(copy.size).rightJustified(9) << " bytes  "
            << copy.operation.leftJustified(11) << "  "
            << copyStateWord(checkKeptCopy(host, copy).state);
        if (copy.original)
            out << "  original";
        out << "\n";
    }
}

// The copies of `slot` for scripts: where they live, and per copy what
// the listing shows, with check's reason or the damage as "problem".
QJsonObject slotJson(Host &host, LogoSlot slot, const QString &windows)
{
    const QString path = installedPath(slot, windows);
    QJsonArray list;
    for (const KeptCopy &copy : keptCopies(host, slot, path)) {
        const CopyCheck check = checkKeptCopy(host, copy);
        list.append(QJsonObject{{"id", copy.id()},
                                {"sha256", copy.sha256},
                                {"bytes", qint64(copy.size)},
                                {"kept", copy.keptAt.toString(Qt::ISODateWithMs)},
                                {"operation", copy.operation},
                                {"original", copy.original},
                                {"state", copyStateWord(check.state)},
                                {"problem", check.problem}});
    }
    return {{"slot", slotWord(slot)},
            {"path", path},
            {"directory", slotBackupDirectory(host, slot, path)},
            {"copies", list}};
}

// The copy undo is to put back: with no --to the newest that differs from
// the slot, with "--to original" the drive's original, else the copy of
// that id. Throws UsageError for a word that is neither.
UndoTarget undoTarget(const std::optional<QString> &to)
{
    UndoTarget target;
    if (to && to->toLower() == "original") {
        target.kind = UndoTarget::Original;
    } else if (to) {
        static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{4,64}$"));
        if (!hex.match(*to).hasMatch()) {
            throw UsageError("--to takes a copy id of 4 to 64 hex digits, as 'vantrel-cli "
                             "backups' lists them, or original, not '" +
                             *to + "'");
        }
        target.kind = UndoTarget::Id;
        target.id = *to;
    }
    return target;
}

} // namespace

int backupsCommand(const QStringList &arguments, CommandContext &context)
{
    bool json = false;
    OptionReader reader(arguments, {{"--json"}});
    while (reader.next())
        json = true;
    const QStringList words =
        reader.operands(0, 1, QStringLiteral("backups takes at most one slot"));
    std::vector<LogoSlot> slots(kAllSlots.begin(), kAllSlots.end());
    if (!words.isEmpty())
        slots = {readSlot(words[0])};
    const QString windows = QueryWindowsDirectory(context.host());
    QJsonArray list;
    for (const LogoSlot slot : slots) {
        if (json)
            list.append(slotJson(context.host(), slot, windows));
        else
            listSlot(context, slot, windows);
    }
    if (json)
        context.out << QJsonDocument(QJsonObject{{"slots", list}}).toJson();
    return kExitOk;
}

int undoCommand(const QStringList &arguments, CommandContext &context)
{
    std::optional<QString> to;
    OptionReader reader(arguments, {{"--to", OptionRule::Value}});
    while (const std::optional<Option> option = reader.next())
        to = option->value;
    const QStringList words = reader.operands(1, 1, QStringLiteral("undo takes one slot"));
    const LogoSlot slot = readSlot(words[0]);
    const UndoTarget target = undoTarget(to);

    const UndoResult result =
        failingAs(QStringLiteral("cannot undo the %1 logo").arg(slotWord(slot)), [&] {
            return UndoSlot(context.host(), slot, QueryWindowsDirectory(context.host()), target);
        });
    const QString what =
        QStringLiteral("%1 (kept %2, replaced by %3)")
            .arg(result.copy.id(), keptTimeText(result.copy.keptAt), result.copy.operation);
    for (const KeptCopy &skipped : result.skipped)
        context.out << "skipped " << skipped.id() << ": its bytes no longer match what was kept\n";
    if (result.changed) {
        context.out << "put back " << what << " into the " << slotWord(slot) << " slot\n";
    } else {
        context.out << "the " << slotWord(slot) << " slot holds " << what
                    << " already; nothing changed\n";
    }
    return kExitOk;
}

} // namespace vantrel
