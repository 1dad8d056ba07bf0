// The copies the slot operations keep before they replace or delete a slot
// file, and the undo that puts them back.

#include "logo/backups.h"
#include "logo/slots.h"
#include "support/child_process.h"
#include "support/fake_host.h"
#include "support/files.h"
#include "support/host_error.h"
#include "support/scoped_variable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

using namespace vantrel;
using vantrel::test::directoryNames;
using vantrel::test::FakeHost;
using vantrel::test::fileBytes;
using vantrel::test::handOver;
using vantrel::test::hostError;
using vantrel::test::runUnprivileged;
using vantrel::test::ScopedVariable;
using vantrel::test::TempDrive;

namespace {

const QString kWindows = QStringLiteral("C:\\WINDOWS\\");

QString sha256(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// A file effect of the host, in order: "read", "write", "commit", "copy
// <source>", "delete", then the name of the file it touched.
class EffectsHost : public FakeHost {
public:
    std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) override
    {
        note("read", path);
        return FakeHost::openBinary(path, access);
    }
    std::unique_ptr<Replacement> replaceFile(const QString &path, ReplaceFrom start) override
    {
        note("write", path);
        return std::make_unique<Noted>(FakeHost::replaceFile(path, start), *this, path);
    }
    void copyFile(const QString &source, const QString &destination) override
    {
        note("copy " + nameOf(source), destination);
        FakeHost::copyFile(source, destination);
    }
    void deleteFile(const QString &path) override
    {
        note("delete", path);
        FakeHost::deleteFile(path);
    }

    QStringList effects;

private:
    struct Noted : Replacement {
        Noted(std::unique_ptr<Replacement> inner, EffectsHost &host, const QString &path)
            : m_inner(std::move(inner)), m_host(host), m_path(path)
        {}
        void readAt(std::int64_t at, std::span<std::uint8_t> to) override
        {
            m_inner->readAt(at, to);
        }
        void read(std::span<std::uint8_t> into) override { m_inner->read(into); }
        void writeAt(std::int64_t at, std::span<const std::uint8_t> data) override
        {
            m_inner->writeAt(at, data);
        }
        void write(std::span<const std::uint8_t> data) override { m_inner->write(data); }
        void close() override { m_inner->close(); }
        void commit() override
        {
            m_inner->commit();
            m_host.note("commit", m_path);
        }
        std::unique_ptr<Replacement> m_inner;
        EffectsHost &m_host;
        QString m_path;
    };
    static QString nameOf(const QString &path)
    {
        return QFileInfo(QString(path).replace('\\', '/')).fileName();
    }
    void note(const QString &effect, const QString &path)
    {
        effects << effect + ' ' + nameOf(path);
    }
};

// A drive like a copy of a real Windows 98 disk: upper-case names and the
// disk's own LOGO.SYS and LOGOW.SYS, no Vantrel on it, and a data
// directory of its own for the copies.
struct Scene {
    Scene()
    {
        dataHome.set(QFile::encodeName(dataDirectory.path()));
        drive.write("LOGO.SYS", original);
        drive.write("WINDOWS/LOGOW.SYS", originalW);
        drive.write("pics/A", "picture A");
        drive.write("pics/B", "picture B");
        drive.write("pics/O", original);
    }

    // Changes the start-up slot to `bytes`.
    void changeTo(const QByteArray &bytes)
    {
        drive.write("pics/next", bytes);
        ChangeSlot(host, LogoSlot::Startup, "C:\\pics\\next", kWindows);
    }

    // "name operation [original]" for each kept copy, newest first, with
    // the name of the content it holds; every copy must hold exactly the
    // bytes its hash says.
    QStringList kept(LogoSlot slot)
    {
        const std::map<QString, QByteArray> contents{
            {"A", "picture A"}, {"B", "picture B"},     {"O", original},
            {"W", originalW},   {"stock-w", "stock-w"}, {"stock-s", "stock-s"}};
        QStringList lines;
        for (const KeptCopy &copy : keptCopies(host, slot, installedPath(slot, kWindows))) {
            QString name = QStringLiteral("?");
            for (const auto &[known, bytes] : contents) {
                if (sha256(bytes) == copy.sha256)
                    name = known;
            }
            EXPECT_EQ(sha256(fileBytes(copy.path)), copy.sha256) << copy.path.toStdString();
            EXPECT_EQ(copy.size, fileBytes(copy.path).size());
            lines << name + ' ' + copy.operation + (copy.original ? " original" : "");
        }
        return lines;
    }

    QString copyOf(const QByteArray &bytes)
    {
        return slotBackupDirectory(host, LogoSlot::Startup, "C:\\logo.sys") + '/' + sha256(bytes) +
               ".sys";
    }

    // Spoils the first byte of the start-up slot's copy of `bytes`.
    void damage(const QByteArray &bytes)
    {
        QFile copy(copyOf(bytes));
        ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
        copy.write("X");
    }

    const QByteArray original = QByteArray("the disk's own start-up logo\0\xff", 30);
    const QByteArray originalW = "the disk's own shutdown picture";
    QTemporaryDir dataDirectory;
    ScopedVariable dataHome{"XDG_DATA_HOME"};
    TempDrive drive;
    EffectsHost host;
};

struct Step {
    enum Kind { Change, Restore, RestoreAll, MakeStock, Undo } kind;
    LogoSlot slot = LogoSlot::Startup;
    const char *picture = "";
};

struct History {
    const char *name;
    std::vector<Step> steps;
    QStringList startup;
    QStringList shutdown;
};

class KeptContents : public ::testing::TestWithParam<History> {};

TEST_P(KeptContents, ListsTheOriginalFirstSeenAndEachReplacedContentOnce)
{
    Scene scene;
    FakeHost &host = scene.host;
    for (const Step &step : GetParam().steps) {
        switch (step.kind) {
        case Step::Change:
            try {
                ChangeSlot(host, step.slot, QStringLiteral("C:\\PICS\\") + step.picture, kWindows);
            } catch (const HostError &) {
                // A failed change is part of the history.
            }
            break;
        case Step::Restore:
            RestoreSlot(host, step.slot, kWindows);
            break;
        case Step::RestoreAll:
            RestoreAllSlots(host, kWindows);
            break;
        case Step::MakeStock:
            scene.drive.makeInstallation();
            break;
        case Step::Undo:
            UndoSlot(host, step.slot, kWindows, {});
            break;
        }
    }
    EXPECT_EQ(scene.kept(LogoSlot::Startup), GetParam().startup);
    EXPECT_EQ(scene.kept(LogoSlot::Shutdown), GetParam().shutdown);
    EXPECT_EQ(scene.kept(LogoSlot::SwitchOff), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Histories, KeptContents,
                         ::testing::Values(History{"ChangeChangeRestoreRestoreAll",
                                                   {{Step::Change, LogoSlot::Startup, "A"},
                                                    {Step::Change, LogoSlot::Startup, "B"},
                                                    {Step::Restore, LogoSlot::Startup},
                                                    {Step::RestoreAll}},
                                                   {"B restore", "A change", "O change original"},
                                                   {}},
                                           History{"SameContentAgainIsKeptOnce",
                                                   {{Step::Change, LogoSlot::Startup, "A"},
                                                    {Step::Change, LogoSlot::Startup, "O"},
                                                    {Step::Change, LogoSlot::Startup, "A"},
                                                    {Step::Change, LogoSlot::Startup, "B"}},
                                                   {"A change", "O change original"},
                                                   {}},
                                           History{"RestoreOfAMissingFileKeepsNothing",
                                                   {{Step::Restore, LogoSlot::Startup},
                                                    {Step::Restore, LogoSlot::Startup},
                                                    {Step::Change, LogoSlot::Startup, "A"}},
                                                   {"O restore original"},
                                                   {}},
                                           History{"FailedStepsKeepNothing",
                                                   {{Step::Change, LogoSlot::Startup, "missing"},
                                                    {Step::Restore, LogoSlot::Shutdown},
                                                    {Step::RestoreAll}},
                                                   {"O restore-all original"},
                                                   {}},
                                           // The slot holds no file to undo from, and
                                           // gets the newest copy, A: the last restore
                                           // finds it kept already and keeps nothing.
                                           History{"UndoIntoAnEmptySlotPutsBackTheNewest",
                                                   {{Step::Change, LogoSlot::Startup, "A"},
                                                    {Step::Restore, LogoSlot::Startup},
                                                    {Step::Undo, LogoSlot::Startup},
                                                    {Step::Restore, LogoSlot::Startup}},
                                                   {"A restore", "O change original"},
                                                   {}},
                                           History{"ShutdownRestoredFromStock",
                                                   {{Step::MakeStock},
                                                    {Step::Change, LogoSlot::Shutdown, "A"},
                                                    {Step::Restore, LogoSlot::Shutdown},
                                                    {Step::RestoreAll}},
                                                   {"O restore-all original"},
                                                   {"stock-w restore-all", "A restore",
                                                    "W change original"}}),
                         [](const auto &testCase) { return std::string(testCase.param.name); });

TEST(Backups, KeepTheCopiesByHashBesideAnIndexThatNamesTheDrive)
{
    Scene scene;
    ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\A", kWindows);
    const QString directory = slotBackupDirectory(scene.host, LogoSlot::Startup, "C:\\logo.sys");
    const QString driveDirectory = QFileInfo(directory).absolutePath();
    EXPECT_EQ(QFileInfo(driveDirectory).absolutePath(),
              scene.dataDirectory.path() + "/vantrel/backups");
    EXPECT_EQ(QFileInfo(driveDirectory).fileName().size(), 16);
    EXPECT_EQ(QFileInfo(directory).fileName(), "startup");
    EXPECT_EQ(directoryNames(directory, QDir::Files | QDir::Hidden),
              QStringList{sha256(scene.original) + ".sys"});
    EXPECT_EQ(fileBytes(scene.copyOf(scene.original)), scene.original);

    const QJsonObject index =
        QJsonDocument::fromJson(fileBytes(driveDirectory + "/index.json")).object();
    EXPECT_EQ(index["format"].toString(), "vantrel backups 1");
    EXPECT_EQ(index["drive"].toString(), QFileInfo(scene.drive.root()).canonicalFilePath());
    const QJsonObject record = index["slots"]["startup"][0].toObject();
    EXPECT_EQ(record["sha256"].toString(), sha256(scene.original));
    EXPECT_EQ(record["bytes"].toInteger(), scene.original.size());
    EXPECT_EQ(record["operation"].toString(), "change");
    EXPECT_TRUE(record["original"].toBool());
    const QDateTime kept = QDateTime::fromString(record["kept"].toString(), Qt::ISODateWithMs);
    EXPECT_LE(std::abs(kept.secsTo(QDateTime::currentDateTimeUtc())), 60);
    EXPECT_EQ(kept.timeSpec(), Qt::UTC);
}

TEST(Backups, PruningKeepsTheOriginalAndTheNewestTwenty)
{
    Scene scene;
    QStringList expected;
    for (int i = 0; i < 26; ++i) {
        scene.changeTo("picture " + QByteArray::number(i));
        // Change i + 1 keeps what change i put there; the last stays in
        // the slot.
        if (i >= 5 && i < 25)
            expected.prepend(sha256("picture " + QByteArray::number(i)) + " change");
    }
    expected << sha256(scene.original) + " change original";

    QStringList listed;
    QStringList files;
    for (const KeptCopy &copy : keptCopies(scene.host, LogoSlot::Startup, "C:\\logo.sys")) {
        listed << copy.sha256 + ' ' + copy.operation + (copy.original ? " original" : "");
        files << copy.sha256 + ".sys";
    }
    EXPECT_EQ(listed, expected);
    files.sort();
    EXPECT_EQ(directoryNames(slotBackupDirectory(scene.host, LogoSlot::Startup, "C:\\logo.sys"),
                             QDir::Files | QDir::Hidden),
              files);
}

// Keep, then replace: the slot is read, its copy and then the index are
// written and committed, and the copies pruned from the index deleted,
// before the slot itself is touched; an undo reads the copy it puts back
// first.
TEST(Backups, KeepTheSlotBeforeTheOperationTouchesIt)
{
    Scene scene;
    for (int i = 0; i < 22; ++i)
        scene.changeTo("picture " + QByteArray::number(i));
    const auto copy = [](int i) { return sha256("picture " + QByteArray::number(i)) + ".sys"; };
    const auto keeping = [&](int kept, int pruned) {
        return QStringList{"read logo.sys",         "read index.json",  "write " + copy(kept),
                           "commit " + copy(kept),  "write index.json", "commit index.json",
                           "delete " + copy(pruned)};
    };
    scene.host.effects.clear();
    scene.changeTo("picture 22");
    EXPECT_EQ(scene.host.effects, keeping(21, 1) << "copy next logo.sys"
                                                 << "write logo.sys"
                                                 << "commit logo.sys");

    scene.host.effects.clear();
    UndoSlot(scene.host, LogoSlot::Startup, kWindows, {});
    EXPECT_EQ(scene.host.effects,
              QStringList({"read logo.sys", "read index.json", "read " + copy(21)})
                  << keeping(22, 2) << "write logo.sys"
                  << "commit logo.sys");

    // What the slot holds now is kept already, as its copy's hash shows:
    // only its record moves.
    scene.host.effects.clear();
    RestoreSlot(scene.host, LogoSlot::Startup, kWindows);
    EXPECT_EQ(scene.host.effects,
              QStringList({"read logo.sys", "read index.json", "read " + copy(21),
                           "write index.json", "commit index.json", "delete logo.sys"}));
}

TEST(Undo, ToTheOriginalBringsBackTheExactBytes)
{
    Scene scene;
    FakeHost &host = scene.host;
    ChangeSlot(host, LogoSlot::Startup, "C:\\pics\\A", kWindows);
    ChangeSlot(host, LogoSlot::Startup, "C:\\pics\\B", kWindows);
    RestoreSlot(host, LogoSlot::Startup, kWindows);
    ASSERT_FALSE(scene.drive.exists("LOGO.SYS"));

    const UndoResult result =
        UndoSlot(host, LogoSlot::Startup, kWindows, {UndoTarget::Original, {}});
    EXPECT_TRUE(result.changed);
    EXPECT_EQ(result.copy.sha256, sha256(scene.original));
    EXPECT_EQ(sha256(scene.drive.read("logo.sys")), sha256(scene.original));
    EXPECT_EQ(directoryNames(scene.drive.root(), QDir::Files | QDir::Hidden),
              QStringList{"logo.sys"});

    const UndoResult again =
        UndoSlot(host, LogoSlot::Startup, kWindows, {UndoTarget::Original, {}});
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(sha256(scene.drive.read("logo.sys")), sha256(scene.original));
    EXPECT_EQ(scene.kept(LogoSlot::Startup),
              (QStringList{"B restore", "A change", "O change original"}));
}

// Each undo keeps what it replaces, so the next one takes back the last.
TEST(Undo, AfterUndoTakesTheFirstOneBack)
{
    Scene scene;
    ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\A", kWindows);
    ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\B", kWindows);
    for (const char *bytes : {"picture A", "picture B", "picture A", "picture B"}) {
        SCOPED_TRACE(bytes);
        EXPECT_TRUE(UndoSlot(scene.host, LogoSlot::Startup, kWindows, {}).changed);
        EXPECT_EQ(scene.drive.read("LOGO.SYS"), QByteArray(bytes));
    }
    EXPECT_EQ(scene.kept(LogoSlot::Startup),
              (QStringList{"A undo", "B undo", "O change original"}));
    EXPECT_TRUE(scene.host.messages.isEmpty());
}

TEST(Undo, ByIdTakesAnyUniqueStartOfTheHashInEitherCase)
{
    Scene scene;
    ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\A", kWindows);
    ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\B", kWindows);
    const QString id = sha256(scene.original).left(5).toUpper();
    const UndoResult result =
        UndoSlot(scene.host, LogoSlot::Startup, kWindows, {UndoTarget::Id, id});
    EXPECT_EQ(result.copy.id(), sha256(scene.original).left(8));
    EXPECT_EQ(scene.drive.read("LOGO.SYS"), scene.original);
}

TEST(Undo, RefusesWhatItCannotDoAndLeavesTheSlot)
{
    // Two contents whose hashes start with the same digit, for an id that
    // names both.
    const QByteArray first = "x0";
    QByteArray second;
    for (int i = 1; second.isEmpty(); ++i) {
        const QByteArray candidate = "x" + QByteArray::number(i);
        if (sha256(candidate)[0] == sha256(first)[0])
            second = candidate;
    }
    const QString digit = sha256(first).left(1);
    struct Case {
        const char *name;
        std::function<void(Scene &)> prepare;
        UndoTarget target;
        std::function<QString(Scene &)> reason;
    };
    const Case cases[] = {
        {"nothing kept",
         [](Scene &) {},
         {UndoTarget::Latest, {}},
         [](Scene &) { return QStringLiteral("no copy of the startup logo is kept yet"); }},
        {"only what the slot holds is kept",
         [](Scene &scene) { scene.changeTo(scene.original); },
         {UndoTarget::Latest, {}},
         [](Scene &) {
             return QStringLiteral(
                 "the startup slot holds the only copy kept; there is nothing else to put back");
         }},
        {"an unknown id",
         [](Scene &scene) { scene.changeTo("A"); },
         {UndoTarget::Id, "0123abcd"},
         [](Scene &) { return QStringLiteral("no copy 0123abcd of the startup logo is kept"); }},
        {"an id that names two",
         [&](Scene &scene) {
             scene.changeTo(first);
             scene.changeTo(second);
             scene.changeTo("last");
         },
         {UndoTarget::Id, digit},
         [&](Scene &) {
             return digit + " names 2 copies of the startup logo; give more of its digits";
         }},
        {"a damaged copy",
         [](Scene &scene) {
             scene.changeTo("A");
             scene.damage(scene.original);
         },
         {UndoTarget::Original, {}},
         [](Scene &scene) {
             return "the kept copy " + sha256(scene.original).left(8) + " (" +
                    scene.copyOf(scene.original) + ") no longer holds what was kept";
         }},
        {"every other copy damaged",
         [](Scene &scene) {
             scene.changeTo("A");
             scene.damage(scene.original);
         },
         {UndoTarget::Latest, {}},
         [](Scene &scene) {
             return "every other copy of the startup logo is damaged (" +
                    sha256(scene.original).left(8) + "); there is nothing sound to put back";
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        c.prepare(scene);
        const auto hashes = [&] {
            QStringList list;
            for (const KeptCopy &copy : keptCopies(scene.host, LogoSlot::Startup, "C:\\logo.sys"))
                list << copy.sha256;
            return list;
        };
        const QByteArray before = scene.drive.read("LOGO.SYS");
        const QStringList keptBefore = hashes();
        EXPECT_EQ(hostError([&] { UndoSlot(scene.host, LogoSlot::Startup, kWindows, c.target); }),
                  c.reason(scene));
        EXPECT_EQ(scene.drive.read("LOGO.SYS"), before);
        EXPECT_EQ(hashes(), keptBefore);
    }
}

// A copy that cannot be written stops the operation before the slot is
// touched: the change and the restore are refused with the reason (the
// restore without its slot message), Restore All skips the step, and the
// slot keeps every byte.
TEST(Backups, ACopyThatCannotBeWrittenRefusesTheOperationAndLeavesTheSlot)
{
    struct Case {
        const char *name;
        std::function<void(Scene &)> operation;
        QStringList messages;
    };
    const Case cases[] = {
        {"change",
         [](Scene &scene) { ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\A", kWindows); },
         {}},
        {"restore",
         [](Scene &scene) {
             const std::optional<QString> reason =
                 RestoreSlot(scene.host, LogoSlot::Startup, kWindows);
             if (reason)
                 throw HostError(*reason);
         },
         {}},
        {"restore all", [](Scene &scene) { RestoreAllSlots(scene.host, kWindows); }, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        const QString backups = scene.dataDirectory.path() + "/vantrel/backups";
        ASSERT_TRUE(QDir().mkpath(backups));
        handOver(scene.dataDirectory.path());
        handOver(scene.drive.root());
        QFile::setPermissions(backups, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        const QString driveDirectory =
            QFileInfo(slotBackupDirectory(scene.host, LogoSlot::Startup, "C:\\logo.sys"))
                .absolutePath();
        runUnprivileged([&] {
            const QString reason = hostError([&] { c.operation(scene); });
            if (QString(c.name) != "restore all") {
                EXPECT_EQ(reason, "cannot keep a copy of " +
                                      QString(QString(c.name) == "change" ? "c:" : "C:") +
                                      "\\logo.sys: cannot create the directory " + driveDirectory +
                                      ": Permission denied");
            }
            EXPECT_EQ(scene.host.messages, c.messages);
        });
        EXPECT_EQ(sha256(scene.drive.read("LOGO.SYS")), sha256(scene.original));
        EXPECT_EQ(directoryNames(backups), QStringList{});
        QFile::setPermissions(backups, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// With no start-up file there is nothing to keep: a store that cannot be
// made does not stand in the way of the restore's own message.
TEST(Backups, AnEmptySlotNeedsNoStore)
{
    Scene scene;
    ASSERT_TRUE(QFile::remove(scene.drive.path("LOGO.SYS")));
    const QString backups = scene.dataDirectory.path() + "/vantrel/backups";
    ASSERT_TRUE(QDir().mkpath(backups));
    handOver(scene.dataDirectory.path());
    handOver(scene.drive.root());
    QFile::setPermissions(backups,
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    runUnprivileged([&] {
        EXPECT_TRUE(RestoreSlot(scene.host, LogoSlot::Startup, kWindows).has_value());
        EXPECT_EQ(scene.host.messages, QStringList("The startup logo is already set to default."));
    });
    QFile::setPermissions(backups, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(Backups, RefuseTheChangeWhenTheIndexIsDamagedOrNamesAnotherDrive)
{
    struct Case {
        const char *name;
        QByteArray index;
        QString reason; // after "cannot keep a copy of c:\logo.sys: the backup index <path> "
    };
    const Case cases[] = {
        {"not JSON", "{\"format\": ",
         "is damaged (unterminated object); move it aside to start "
         "a new one, the copies beside it stay"},
        {"another format", "{\"format\": \"something else\"}",
         "is damaged (not a Vantrel backup index); move it aside to start a new one, the copies "
         "beside it stay"},
        {"an incomplete record",
         "{\"format\": \"vantrel backups 1\", \"drive\": \"@\", \"slots\": {\"startup\": "
         "[{\"sha256\": \"00\"}]}}",
         "is damaged (a record of startup is incomplete); move it aside to start a new one, the "
         "copies beside it stay"},
        {"another drive",
         "{\"format\": \"vantrel backups 1\", \"drive\": \"/elsewhere\", \"slots\": {}}",
         "belongs to the drive /elsewhere, not to @"},
        {"too large", QByteArray(17 << 20, ' '),
         "is damaged (17825792 bytes, more than the 16 MiB an index may hold); move it aside to "
         "start a new one, the copies beside it stay"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Scene scene;
        const QString driveName = backupDriveName(scene.host, "C:\\logo.sys");
        const QString indexPath =
            QFileInfo(slotBackupDirectory(scene.host, LogoSlot::Startup, "C:\\logo.sys"))
                .absolutePath() +
            "/index.json";
        QDir().mkpath(QFileInfo(indexPath).absolutePath());
        QFile index(indexPath);
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write(QByteArray(c.index).replace("@", driveName.toUtf8()));
        index.close();

        EXPECT_EQ(
            hostError([&] { ChangeSlot(scene.host, LogoSlot::Startup, "C:\\pics\\A", kWindows); }),
            "cannot keep a copy of c:\\logo.sys: the backup index " + indexPath + ' ' +
                QString(c.reason).replace("@", driveName));
        EXPECT_EQ(scene.drive.read("LOGO.SYS"), scene.original);
    }
}

// Each drive keeps its own copies, whatever the spelling or link that
// leads to it.
TEST(Backups, TwoDrivesKeepSeparateCopies)
{
    Scene first;
    ChangeSlot(first.host, LogoSlot::Startup, "C:\\pics\\A", kWindows);
    const QString firstRoot = first.drive.root();
    const QString firstDirectory =
        slotBackupDirectory(first.host, LogoSlot::Startup, "C:\\logo.sys");
    {
        TempDrive second;
        second.write("logo.sys", "the second drive's logo");
        second.write("b.bmp", "picture B");
        ChangeSlot(first.host, LogoSlot::Startup, "C:\\b.bmp", kWindows);
        const std::vector<KeptCopy> copies =
            keptCopies(first.host, LogoSlot::Startup, "C:\\logo.sys");
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].sha256, sha256("the second drive's logo"));
        EXPECT_TRUE(copies[0].original);
        EXPECT_NE(slotBackupDirectory(first.host, LogoSlot::Startup, "C:\\logo.sys"),
                  firstDirectory);
    }
    QTemporaryDir links;
    ASSERT_TRUE(QFile::link(firstRoot, links.path() + "/win98"));
    ScopedVariable viaLink("VANTREL_DRIVE_C", QFile::encodeName(links.path() + "/./win98/"));
    EXPECT_EQ(slotBackupDirectory(first.host, LogoSlot::Startup, "C:\\logo.sys"), firstDirectory);
    EXPECT_EQ(first.kept(LogoSlot::Startup), QStringList{"O change original"});
}

// Keeping a content whose copy is damaged (of the same length) writes the
// copy anew; keys of a newer version, at the top, in a record and as a
// slot, survive every rewrite of the index.
TEST(Backups, MendADamagedCopyAndKeepTheKeysOfANewerVersion)
{
    Scene scene;
    scene.changeTo("picture A");
    const QString index = QFileInfo(scene.copyOf(scene.original)).absolutePath() + "/../index.json";
    QByteArray json = fileBytes(index);
    json.replace("\"operation\"", "\"note\": 5, \"operation\"")
        .replace("\"slots\": {", "\"future\": true, \"slots\": {\"desktop\": [1],");
    QFile file(index);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
    file.close();
    scene.changeTo("picture B");
    scene.damage("picture A");
    scene.changeTo("picture A");
    scene.changeTo("picture C");
    EXPECT_EQ(fileBytes(scene.copyOf("picture A")), "picture A");

    const QJsonObject after = QJsonDocument::fromJson(fileBytes(index)).object();
    EXPECT_TRUE(after["future"].toBool());
    EXPECT_EQ(after["slots"]["desktop"].toArray(), QJsonArray{1});
    EXPECT_EQ(after["slots"]["startup"][0]["note"].toInt(), 5);
    EXPECT_EQ(after["slots"]["startup"][0]["sha256"].toString(), sha256(scene.original));
}

} // namespace
