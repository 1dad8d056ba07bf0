#include "logo/backups.h"

#include "codec/logo_format.h"
#include "host/system/drive_map.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <span>

namespace vantrel {

namespace {

// Hex digits of the drive name's SHA-256 that name its directory. 64 bits
// keep any one user's drives apart; the index still names the drive, and a
// mismatch is refused rather than mixed.
constexpr int kDriveKeyLength = 16;

const QString kIndexName = QStringLiteral("index.json");
const QString kIndexFormat = QStringLiteral("vantrel backups 1");
const QString kLockName = QStringLiteral("lock");

// An index is a few kilobytes; one past this is refused before it is read.
constexpr std::int64_t kMaxIndexLength = std::int64_t(16) << 20;

// How long a slot operation waits for another to let the store go: far
// longer than any keeping takes.
constexpr int kStoreLockWaitMs = 10000;

struct Record {
    QString sha256;
    std::int64_t size = 0;
    QDateTime keptAt;
    QString operation;
    bool original = false;
    // The record as read, keys this version does not know included, so
    // that a newer version's fields survive a rewrite.
    QJsonObject fields;
};

// The index of one drive: its name and, per slot name, the records in the
// order they were kept; `root` is the whole index as read.
struct Index {
    QString drive;
    QJsonObject slots;
    QJsonObject root;
};

std::span<std::uint8_t> writable(QByteArray &bytes)
{
    return {reinterpret_cast<std::uint8_t *>(bytes.data()), std::size_t(bytes.size())};
}

std::span<const std::uint8_t> readable(QByteArrayView bytes)
{
    return {reinterpret_cast<const std::uint8_t *>(bytes.data()), std::size_t(bytes.size())};
}

QByteArray readWhole(Host &host, const QString &path)
{
    const std::int64_t length = host.fileLength(path);
    // A slot takes any file; one too large for memory is refused with a
    // reason like any other failure, not thrown past the window.
    QByteArray bytes;
    try {
        if (length > std::numeric_limits<qsizetype>::max())
            throw std::bad_alloc();
        bytes.resize(qsizetype(length));
    } catch (const std::bad_alloc &) {
        throw HostError(
            QStringLiteral("%1 is too large to read into memory (%2 bytes)").arg(path).arg(length));
    }
    const std::unique_ptr<BinaryFile> file = host.openBinary(path, FileAccess::Read);
    file->readAt(0, writable(bytes));
    file->close();
    return bytes;
}

void writeWhole(Host &host, const QString &path, QByteArrayView bytes)
{
    const std::unique_ptr<Replacement> out = host.replaceFile(path, ReplaceFrom::Nothing);
    out->write(readable(bytes));
    out->commit();
}

QString driveDirectory(const QString &driveName)
{
    const QString key = contentHash(driveName.toUtf8()).left(kDriveKeyLength);
    return backupRoot() + '/' + key;
}

QString copyPath(const QString &slotDirectory, const QString &sha256)
{
    return slotDirectory + '/' + sha256 + QStringLiteral(".sys");
}

bool isHexDigest(const QString &text)
{
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

[[noreturn]] void damaged(const QString &indexPath, const QString &what)
{
    throw HostError(QStringLiteral("the backup index %1 is damaged (%2); move it aside to start "
                                   "a new one, the copies beside it stay")
                        .arg(indexPath, what));
}

std::vector<Record> recordsOf(const Index &index, LogoSlot slot, const QString &indexPath)
{
    std::vector<Record> records;
    const QJsonValue list = index.slots.value(slotName(slot));
    if (list.isUndefined())
        return records;
    if (!list.isArray())
        damaged(indexPath, slotName(slot) + QStringLiteral(" is not a list"));
    for (const QJsonValue &value : list.toArray()) {
        const QJsonObject object = value.toObject();
        Record record;
        record.sha256 = object.value(QStringLiteral("sha256")).toString();
        record.size = object.value(QStringLiteral("bytes")).toInteger(-1);
        record.keptAt = QDateTime::fromString(object.value(QStringLiteral("kept")).toString(),
                                              Qt::ISODateWithMs);
        record.operation = object.value(QStringLiteral("operation")).toString();
        record.original = object.value(QStringLiteral("original")).toBool(false);
        record.fields = object;
        if (!isHexDigest(record.sha256) || record.size < 0 || !record.keptAt.isValid() ||
            record.operation.isEmpty())
            damaged(indexPath, QStringLiteral("a record of %1 is incomplete").arg(slotName(slot)));
        records.push_back(record);
    }
    return records;
}

QJsonArray toJson(const std::vector<Record> &records)
{
    QJsonArray list;
    for (const Record &record : records) {
        QJsonObject object = record.fields;
        object.insert(QStringLiteral("sha256"), record.sha256);
        object.insert(QStringLiteral("bytes"), qint64(record.size));
        object.insert(QStringLiteral("kept"), record.keptAt.toString(Qt::ISODateWithMs));
        object.insert(QStringLiteral("operation"), record.operation);
        if (record.original)
            object.insert(QStringLiteral("original"), true);
        else
            object.remove(QStringLiteral("original"));
        list.append(object);
    }
    return list;
}

// Refuses a folder on the way to `directory` that is a symbolic link
// leading nowhere: the copies kept behind it are out of reach, which is
// not "nothing kept", and a new one could not be written there.
void refuseDanglingLink(const QString &directory)
{
    const QString root = QFileInfo(backupRoot()).path();
    for (QString folder = directory; folder.startsWith(root); folder = QFileInfo(folder).path()) {
        const QFileInfo info(folder);
        if (info.isSymLink() && !info.exists())
            throw HostError(QStringLiteral("the backups folder %1 is a symbolic link to %2, "
                                           "which does not exist")
                                .arg(folder, info.symLinkTarget()));
    }
}

// The index of the drive named `driveName` in `directory`; an empty one
// when there is none yet. Refuses an index that names another drive.
Index readIndex(Host &host, const QString &directory, const QString &driveName)
{
    const QString path = directory + '/' + kIndexName;
    Index index{driveName, {}, {}};
    if (host.pathKind(path) == PathKind::Missing) {
        refuseDanglingLink(directory);
        return index;
    }
    if (const std::int64_t length = host.fileLength(path); length > kMaxIndexLength) {
        damaged(path, QStringLiteral("%1 bytes, more than the %2 an index may hold")
                          .arg(length)
                          .arg(QStringLiteral("16 MiB")));
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(readWhole(host, path), &error);
    if (error.error != QJsonParseError::NoError)
        damaged(path, error.errorString());
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kIndexFormat)
        damaged(path, QStringLiteral("not a Vantrel backup index"));
    const QString named = root.value(QStringLiteral("drive")).toString();
    if (named != driveName) {
        throw HostError(QStringLiteral("the backup index %1 belongs to the drive %2, not to %3")
                            .arg(path, named, driveName));
    }
    index.slots = root.value(QStringLiteral("slots")).toObject();
    index.root = root;
    return index;
}

void writeIndex(Host &host, const QString &directory, const Index &index)
{
    QJsonObject root = index.root;
    root.insert(QStringLiteral("format"), kIndexFormat);
    root.insert(QStringLiteral("drive"), index.drive);
    root.insert(QStringLiteral("slots"), index.slots);
    writeWhole(host, directory + '/' + kIndexName, QJsonDocument(root).toJson());
}

// True when the copy at `path` holds the content of `record`, every byte
// of it: the content is kept and need not be written again. A damaged copy
// of the same length is written anew.
bool copyInPlace(Host &host, const QString &path, const Record &record)
{
    try {
        return host.pathKind(path) == PathKind::File && host.fileLength(path) == record.size &&
               contentHash(readWhole(host, path)) == record.sha256;
    } catch (const HostError &) {
        return false;
    }
}

// Drops the oldest records beyond the newest kKeptPerSlot, never the
// original; returns the dropped ones.
std::vector<Record> prune(std::vector<Record> &records)
{
    std::vector<Record> dropped;
    auto others = std::count_if(records.begin(), records.end(),
                                [](const Record &record) { return !record.original; });
    for (auto it = records.begin(); it != records.end() && others > kKeptPerSlot;) {
        if (it->original) {
            ++it;
            continue;
        }
        dropped.push_back(*it);
        it = records.erase(it);
        --others;
    }
    return dropped;
}

// Removes the copies of records the index no longer names.
void removeCopies(Host &host, const QString &slotDirectory, const std::vector<Record> &dropped)
{
    for (const Record &old : dropped) {
        try {
            host.deleteFile(copyPath(slotDirectory, old.sha256));
        } catch (const HostError &) {
            // The index no longer names it; a stray copy costs only space.
        }
    }
}

void keepContent(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation)
{
    const QByteArray content = readWhole(host, slotPath);
    const QString sha256 = contentHash(content);

    const QString driveName = backupDriveName(host, slotPath);
    const QString directory = driveDirectory(driveName);
    const QString slotDirectory = directory + '/' + slotName(slot);
    Index index = readIndex(host, directory, driveName);
    std::vector<Record> records = recordsOf(index, slot, directory + '/' + kIndexName);
    const QString path = copyPath(slotDirectory, sha256);

    const auto known = std::find_if(records.begin(), records.end(),
                                    [&](const Record &record) { return record.sha256 == sha256; });
    Record record{sha256,
                  std::int64_t(content.size()),
                  QDateTime::currentDateTimeUtc(),
                  operationName(operation),
                  records.empty(),
                  {}};
    // Content kept already is written again only when someone removed its
    // copy.
    if (known == records.end() || !copyInPlace(host, path, *known)) {
        host.makeDirectories(slotDirectory);
        writeWhole(host, path, content);
    }
    if (known != records.end()) {
        // The record moves to the end with this replacement's time, so
        // that the newest record is always what the slot held last, which
        // is what an undo of this operation puts back.
        if (known == records.end() - 1)
            return;
        record.original = known->original;
        record.fields = known->fields;
        records.erase(known);
    }
    records.push_back(record);
    const std::vector<Record> dropped = prune(records);
    index.slots.insert(slotName(slot), toJson(records));
    writeIndex(host, directory, index);
    removeCopies(host, slotDirectory, dropped);
}

// True when `source` is a regular file that a copy can start from.
bool canCopyFrom(Host &host, const QString &source)
{
    try {
        return host.pathKind(source) == PathKind::File;
    } catch (const HostError &) {
        return false;
    }
}

// The SHA-256 of what the slot file holds, or nothing when no regular file
// is there.
std::optional<QString> slotContentHash(Host &host, const QString &path)
{
    if (host.pathKind(path) != PathKind::File)
        return std::nullopt;
    return contentHash(readWhole(host, path));
}

// The kept copies an undo looks at, each read and checked once.
class CopyReader {
public:
    explicit CopyReader(Host &host) : m_host(host) {}

    const CopyCheck &check(const KeptCopy &copy)
    {
        auto known = m_checks.find(copy.sha256);
        if (known == m_checks.end())
            known = m_checks.emplace(copy.sha256, checkKeptCopy(m_host, copy)).first;
        return known->second;
    }

    bool isSound(const KeptCopy &copy)
    {
        const CopyCheck::State state = check(copy).state;
        return state != CopyCheck::Damaged && state != CopyCheck::Missing;
    }

private:
    Host &m_host;
    std::map<QString, CopyCheck> m_checks;
};

// The good copy to offer instead of the damaged `chosen`: the next older
// one that differs from what the slot holds, else the newest such; none
// when no other copy is sound.
std::optional<KeptCopy> nextGoodCopy(CopyReader &reader, const std::vector<KeptCopy> &copies,
                                     const KeptCopy &chosen, const std::optional<QString> &current)
{
    const auto at = std::find_if(copies.begin(), copies.end(), [&](const KeptCopy &copy) {
        return copy.sha256 == chosen.sha256;
    });
    std::vector<KeptCopy> order(at, copies.end());
    order.insert(order.end(), copies.begin(), at);
    for (const KeptCopy &copy : order) {
        if (copy.sha256 != chosen.sha256 && (!current || copy.sha256 != *current) &&
            reader.isSound(copy))
            return copy;
    }
    return std::nullopt;
}

// The newest of `copies` (newest first) that differs from what the slot
// holds, so that a second undo undoes the first, and that is sound; the
// damaged ones passed over go to `skipped`. The messages name the slot as
// the command line does.
KeptCopy latestOtherCopy(CopyReader &reader, const std::vector<KeptCopy> &copies, LogoSlot slot,
                         const std::optional<QString> &current, std::vector<KeptCopy> &skipped)
{
    bool anyOther = false;
    for (const KeptCopy &copy : copies) {
        if (current && copy.sha256 == *current)
            continue;
        anyOther = true;
        if (reader.isSound(copy))
            return copy;
        skipped.push_back(copy);
    }
    if (!anyOther) {
        throw HostError(QStringLiteral("the %1 slot holds the only copy kept; there is nothing "
                                       "else to put back")
                            .arg(slotWord(slot)));
    }
    QStringList ids;
    for (const KeptCopy &copy : skipped)
        ids << copy.id();
    throw HostError(QStringLiteral("every other copy of the %1 logo is damaged (%2); there is "
                                   "nothing sound to put back")
                        .arg(slotWord(slot), ids.join(QStringLiteral(", "))));
}

KeptCopy originalCopy(const std::vector<KeptCopy> &copies, LogoSlot slot)
{
    const auto original = std::find_if(copies.begin(), copies.end(),
                                       [](const KeptCopy &copy) { return copy.original; });
    if (original == copies.end())
        throw HostError(QStringLiteral("the original %1 logo is not kept").arg(slotWord(slot)));
    return *original;
}

// The one copy whose SHA-256 starts with the hex digits `id`, in either case.
KeptCopy copyById(const std::vector<KeptCopy> &copies, LogoSlot slot, const QString &id)
{
    const QString digits = id.toLower();
    std::vector<KeptCopy> matches;
    std::copy_if(copies.begin(), copies.end(), std::back_inserter(matches),
                 [&](const KeptCopy &copy) { return copy.sha256.startsWith(digits); });
    if (matches.empty())
        throw HostError(
            QStringLiteral("no copy %1 of the %2 logo is kept").arg(id, slotWord(slot)));
    if (matches.size() > 1) {
        throw HostError(QStringLiteral("%1 names %2 copies of the %3 logo; give more of its digits")
                            .arg(id)
                            .arg(matches.size())
                            .arg(slotWord(slot)));
    }
    return matches.front();
}

// The kept copy `target` asks for, among `copies` (newest first); throws
// HostError with the reason when none fits.
KeptCopy chooseCopy(CopyReader &reader, const std::vector<KeptCopy> &copies, LogoSlot slot,
                    const UndoTarget &target, const std::optional<QString> &current,
                    std::vector<KeptCopy> &skipped)
{
    if (copies.empty())
        throw HostError(QStringLiteral("no copy of the %1 logo is kept yet").arg(slotWord(slot)));
    switch (target.kind) {
    case UndoTarget::Latest:
        return latestOtherCopy(reader, copies, slot, current, skipped);
    case UndoTarget::Original:
        return originalCopy(copies, slot);
    case UndoTarget::Id:
        return copyById(copies, slot, target.id);
    }
    throw HostError(QStringLiteral("no such copy"));
}

// Why a copy that is damaged or missing cannot be put back.
QString unsoundReason(const KeptCopy &copy, const CopyCheck &check)
{
    if (check.state == CopyCheck::Damaged) {
        return QStringLiteral("the kept copy %1 (%2) no longer holds what was kept")
            .arg(copy.id(), copy.path);
    }
    return check.problem;
}

// The lock of the store of the drive of `slotPath`, which every slot
// operation holds from reading the slot until its index is written, so
// that what one process keeps another never loses. Null when there is
// nothing to keep and the store cannot be made (a read-only home): then no
// one keeps anything there, and the operation goes on as it always did.
// Throws SlotNotKept, and HostError when the host cannot say what is at
// `slotPath`.
std::unique_ptr<FileLock> lockStore(Host &host, const QString &slotPath)
{
    // A slot path the host cannot look at fails here with the reason the
    // operation itself would give.
    const PathKind kind = host.pathKind(slotPath);
    try {
        const QString directory = driveDirectory(backupDriveName(host, slotPath));
        refuseDanglingLink(directory);
        host.makeDirectories(directory);
        return host.lockExclusive(directory + '/' + kLockName, kStoreLockWaitMs);
    } catch (const HostError &error) {
        if (kind != PathKind::File && error.kind() != ErrorKind::InUse)
            return nullptr;
        throw SlotNotKept(slotPath, error.reason());
    }
}

// keepSlotFile for a caller that holds the store's lock.
void keepWhileLocked(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation)
{
    if (host.pathKind(slotPath) != PathKind::File)
        return;
    try {
        keepContent(host, slot, slotPath, operation);
    } catch (const HostError &error) {
        throw SlotNotKept(slotPath, error.reason());
    }
}

void replaceSlotFile(Host &host, const QString &slotPath, const SlotReplacement &replacement)
{
    switch (replacement.kind) {
    case SlotReplacement::CopyOf:
        host.copyFile(replacement.source, slotPath);
        break;
    case SlotReplacement::Deletion:
        host.deleteFile(slotPath);
        break;
    case SlotReplacement::Bytes:
        writeWhole(host, slotPath, replacement.bytes);
        break;
    }
}

} // namespace

QString operationName(SlotOperation operation)
{
    switch (operation) {
    case SlotOperation::Change:
        return QStringLiteral("change");
    case SlotOperation::Restore:
        return QStringLiteral("restore");
    case SlotOperation::RestoreAll:
        return QStringLiteral("restore-all");
    case SlotOperation::Undo:
        return QStringLiteral("undo");
    }
    return {};
}

QString backupStoreStamp(Host &host, const QString &slotPath)
{
    try {
        const QString driveName = backupDriveName(host, slotPath);
        const QString index = driveDirectory(driveName) + '/' + kIndexName;
        if (host.pathKind(index) == PathKind::Missing)
            return driveName + QStringLiteral("\nnothing kept");
        const std::int64_t length = host.fileLength(index);
        if (length > kMaxIndexLength)
            return driveName + QStringLiteral("\n%1 bytes").arg(length);
        return driveName + '\n' + contentHash(readWhole(host, index));
    } catch (const HostError &error) {
        return QStringLiteral("unreadable\n") + error.reason();
    }
}

QString keptTimeText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString contentHash(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString backupRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vantrel/backups");
}

QString backupDriveName(Host &host, const QString &slotPath)
{
    // A drive the host knows names itself, a disk image by its file and
    // partition; a path on no drive is kept by its directory.
    if (DriveMap::isDosPath(slotPath)) {
        const QString identity = host.driveIdentity(slotPath);
        if (!identity.isEmpty())
            return identity;
    }
    const QString native = DriveMap::isDosPath(slotPath)
                               ? host.nativePath(slotPath.left(2) + '\\')
                               : QFileInfo(host.nativePath(slotPath)).absolutePath();
    const QString canonical = QFileInfo(native).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(native) : canonical;
}

QString slotBackupDirectory(Host &host, LogoSlot slot, const QString &slotPath)
{
    return driveDirectory(backupDriveName(host, slotPath)) + '/' + slotName(slot);
}

void keepSlotFile(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation)
{
    const std::unique_ptr<FileLock> lock = lockStore(host, slotPath);
    keepWhileLocked(host, slot, slotPath, operation);
}

void keepThenReplace(Host &host, LogoSlot slot, const QString &slotPath, SlotOperation operation,
                     const SlotReplacement &replacement)
{
    // Keeping the slot before a copy that fails at once would record a
    // replacement that never happened.
    host.checkWritable(slotPath);
    if (replacement.kind == SlotReplacement::CopyOf && !canCopyFrom(host, replacement.source)) {
        replaceSlotFile(host, slotPath, replacement);
        return;
    }
    const std::unique_ptr<FileLock> lock = lockStore(host, slotPath);
    keepWhileLocked(host, slot, slotPath, operation);
    replaceSlotFile(host, slotPath, replacement);
}

std::vector<KeptCopy> keptCopies(Host &host, LogoSlot slot, const QString &slotPath)
{
    const QString driveName = backupDriveName(host, slotPath);
    const QString directory = driveDirectory(driveName);
    const Index index = readIndex(host, directory, driveName);
    const std::vector<Record> records = recordsOf(index, slot, directory + '/' + kIndexName);
    std::vector<KeptCopy> copies;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        copies.push_back({it->sha256, it->size, it->keptAt, it->operation, it->original,
                          copyPath(directory + '/' + slotName(slot), it->sha256)});
    }
    return copies;
}

QByteArray readKeptCopy(Host &host, const KeptCopy &copy)
{
    CopyCheck check = checkKeptCopy(host, copy);
    if (check.state == CopyCheck::Damaged || check.state == CopyCheck::Missing)
        throw HostError(unsoundReason(copy, check));
    return std::move(check.bytes);
}

CopyCheck checkKeptCopy(Host &host, const KeptCopy &copy)
{
    CopyCheck check;
    QByteArray bytes;
    try {
        bytes = readWhole(host, copy.path);
    } catch (const HostError &error) {
        check.problem = error.reason();
        return check;
    }
    if (contentHash(bytes) != copy.sha256) {
        check.state = CopyCheck::Damaged;
        check.problem = QStringLiteral("its bytes no longer match what was kept");
        return check;
    }
    const auto header = std::span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                  std::min<std::size_t>(std::size_t(bytes.size()), kPaletteOffset));
    check.problem = logoBitmapProblem(header, bytes.size());
    check.state = check.problem.isEmpty() ? CopyCheck::Logo : CopyCheck::NotLogo;
    check.bytes = bytes;
    return check;
}

QString copyStateWord(CopyCheck::State state)
{
    switch (state) {
    case CopyCheck::Logo:
        return QStringLiteral("logo");
    case CopyCheck::NotLogo:
        return QStringLiteral("not-logo");
    case CopyCheck::Damaged:
        return QStringLiteral("damaged");
    case CopyCheck::Missing:
        return QStringLiteral("missing");
    }
    return {};
}

UndoResult UndoSlot(Host &host, LogoSlot slot, const QString &windowsDirectory,
                    const UndoTarget &target)
{
    const QString installed = installedPath(slot, windowsDirectory);
    const std::unique_ptr<FileLock> lock = lockStore(host, installed);
    const std::optional<QString> current = slotContentHash(host, installed);
    const std::vector<KeptCopy> copies = keptCopies(host, slot, installed);
    CopyReader reader(host);
    UndoResult result;
    result.copy = chooseCopy(reader, copies, slot, target, current, result.skipped);
    if (current && *current == result.copy.sha256)
        return result;
    if (!reader.isSound(result.copy)) {
        const QString reason = unsoundReason(result.copy, reader.check(result.copy));
        const std::optional<KeptCopy> next = nextGoodCopy(reader, copies, result.copy, current);
        if (!next)
            throw HostError(reason);
        throw HostError(QStringLiteral("%1; the next good copy is %2").arg(reason, next->id()));
    }
    keepWhileLocked(host, slot, installed, SlotOperation::Undo);
    writeWhole(host, installed, reader.check(result.copy).bytes);
    result.changed = true;
    return result;
}

} // namespace vantrel
