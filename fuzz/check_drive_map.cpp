#include "checks.h"

#include "host/host.h"
#include "host/posix_file.h"
#include "host/system/drive_map.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

namespace vantrel::fuzz {

namespace {

// Drives C and D, with entries that differ from the names in case, as on
// a FAT disk, and a drive letter that stays unmapped.
class Drives {
public:
    Drives()
    {
        const QDir root(m_directory.path());
        for (const char *path :
             {"C/WINDOWS/LOGOW.SYS", "C/WINDOWS/logos.sys", "C/Logo.sys", "C/vantrel/readme.txt",
              "C/Dir/Sub/file", "C/dir/other", "D/pictures/Straße.bmp"}) {
            const QString file = root.filePath(QString::fromUtf8(path));
            root.mkpath(QFileInfo(file).path());
            QFile(file).open(QIODevice::WriteOnly);
        }
        qputenv("VANTREL_DRIVE_C", QFile::encodeName(root.filePath(QStringLiteral("C"))));
        qputenv("VANTREL_DRIVE_D", QFile::encodeName(root.filePath(QStringLiteral("D"))));
        qunsetenv("VANTREL_DRIVE_Q");
    }

private:
    QTemporaryDir m_directory;
};

// The components a DOS path names below its drive's root, worked out here:
// backslashes and slashes separate them, "." and empty ones go, ".." takes
// the one before it and stops at the root.
QStringList dosComponents(const QString &afterColon)
{
    QStringList kept;
    for (const QString &part : QString(afterColon).replace('\\', '/').split('/')) {
        if (part == "..") {
            if (!kept.isEmpty())
                kept.removeLast();
        } else if (!part.isEmpty() && part != ".") {
            kept << part;
        }
    }
    return kept;
}

// Reads back what quotedBytes wrote: $'...' with \\, \' and \xHH escapes.
std::optional<QByteArray> unquote(const QString &quoted)
{
    if (!quoted.startsWith("$'") || !quoted.endsWith('\'') || quoted.size() < 3)
        return std::nullopt;
    const QString body = quoted.mid(2, quoted.size() - 3);
    QByteArray bytes;
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c.unicode() < 0x20 || c.unicode() >= 0x7f || c == '\'')
            return std::nullopt;
        if (c != '\\') {
            bytes += char(c.unicode());
        } else if (i + 1 < body.size() && (body[i + 1] == '\\' || body[i + 1] == '\'')) {
            bytes += char(body[++i].unicode());
        } else if (i + 3 < body.size() && body[i + 1] == 'x') {
            bool ok = false;
            const int value = body.mid(i + 2, 2).toInt(&ok, 16);
            if (!ok)
                return std::nullopt;
            bytes += char(value);
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

void checkNames(QByteArrayView bytes)
{
    const QString quoted = posix::quotedBytes(bytes);
    const std::optional<QByteArray> back = unquote(quoted);
    require(back && *back == bytes,
            [&] { return "quotedBytes is not lossless: " + quoted.toStdString(); });
    // A name is taken as UTF-8 only when it stands for exactly these bytes.
    const std::optional<QString> text = posix::strictUtf8(bytes);
    if (text) {
        require(text->toUtf8() == bytes, [&] {
            return "strictUtf8 takes " + quoted.toStdString() +
                   " for a name that is other bytes: " +
                   posix::quotedBytes(text->toUtf8()).toStdString();
        });
    }
}

} // namespace

Outcome checkDriveMap(std::span<const std::uint8_t> input)
{
    static const Drives drives;
    if (input.empty())
        return Outcome::Refused;
    const char letters[] = {'C', 'c', 'D', 'Q'};
    const QChar letter = QLatin1Char(letters[input[0] % 4]);
    const QByteArrayView rest(reinterpret_cast<const char *>(input.data()) + 1,
                              qsizetype(input.size() - 1));
    checkNames(rest);

    const QString afterColon = QString::fromUtf8(rest);
    const QString path = QString(letter) + ':' + afterColon;
    const bool damaged =
        afterColon.contains(QChar::ReplacementCharacter) || afterColon.contains(QChar(0));
    const bool mapped = letter.toUpper() != 'Q';
    const DriveMap map;
    QString native;
    try {
        native = map.toNative(path);
    } catch (const HostError &error) {
        require(damaged || !mapped, [&] {
            return "a sound path on a mapped drive is refused: " + error.reason().toStdString();
        });
        return Outcome::Refused;
    }
    require(!damaged && mapped, [&] {
        return "a damaged name or an unmapped drive is mapped to " + native.toStdString();
    });

    const QString root = map.driveRoot(letter);
    require(native == root || native.startsWith(root + '/'), [&] {
        return posix::quotedBytes(rest.toByteArray()).toStdString() +
               " leaves the drive: " + native.toStdString();
    });
    const QStringList components = native.mid(root.size()).split('/', Qt::SkipEmptyParts);
    const QStringList expected = dosComponents(afterColon);
    require(components.size() == expected.size() &&
                native.mid(root.size()).count('/') == components.size(),
            [&] {
                return "the native path " + native.toStdString() + " has other components than " +
                       expected.join('/').toStdString();
            });
    for (qsizetype i = 0; i < components.size(); ++i) {
        require(components[i] != "." && components[i] != "..", [&] {
            return "a component " + components[i].toStdString() + " in " + native.toStdString();
        });
        require(components[i].compare(expected[i], Qt::CaseInsensitive) == 0, [&] {
            return "component " + expected[i].toStdString() + " is mapped to " +
                   components[i].toStdString();
        });
    }
    // The native path, written as a DOS path again, names itself.
    const QString again = map.toNative(QString(letter) + ":\\" + components.join('\\'));
    require(again == native, [&] {
        return "mapping " + native.toStdString() + " back gives " + again.toStdString();
    });
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
