#include "drive/machines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QXmlStreamReader>

#include <functional>

namespace vantrel {

namespace {

// The largest configuration file read; anything longer is no emulator's.
constexpr qint64 kMaxConfigSize = 4 * 1024 * 1024;

class Finder {
public:
    explicit Finder(FoundMachines &found) : m_found(found) {}

    // Adds the disk `image` (relative to `base` unless absolute) when the
    // file exists and was not found before.
    void add(const QString &machine, const char *emulator, const QString &base,
             const QString &image, const QString &format = {})
    {
        if (image.trimmed().isEmpty())
            return;
        const QString path = QDir::cleanPath(QDir(base).absoluteFilePath(image.trimmed()));
        if (!QFileInfo(path).isFile())
            return;
        for (const FoundDisk &disk : m_found.disks) {
            if (disk.image == path)
                return;
        }
        m_found.disks.push_back({machine, QString::fromLatin1(emulator), path, format});
    }

    void skip(const QString &file, const QString &reason)
    {
        m_found.skipped << file + QStringLiteral(": ") + reason;
    }

private:
    FoundMachines &m_found;
};

// The lines of a small text file; nothing (and the reason in `error`) when
// it cannot be read.
std::optional<QStringList> readLines(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > kMaxConfigSize) {
        error = QStringLiteral("too large for a configuration file");
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll()).split('\n');
}

QStringList filesIn(const QString &directory, const QString &pattern)
{
    QStringList files;
    for (const QFileInfo &info :
         QDir(directory).entryInfoList({pattern}, QDir::Files | QDir::Readable, QDir::Name))
        files << info.absoluteFilePath();
    return files;
}

// "key = value" lines, as PCem writes them; sections are ignored.
QList<std::pair<QString, QString>> keyValues(const QStringList &lines)
{
    QList<std::pair<QString, QString>> pairs;
    for (const QString &line : lines) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.trimmed().startsWith('#') && !line.trimmed().startsWith(';'))
            pairs.append({line.left(equals).trimmed(), line.mid(equals + 1).trimmed()});
    }
    return pairs;
}

// Splits `text` at `separator` outside double quotes, and drops the quotes.
QStringList splitQuoted(const QString &text, QChar separator)
{
    QStringList parts(QString{});
    bool quoted = false;
    for (const QChar c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (c == separator && !quoted)
            parts << QString();
        else
            parts.last() += c;
    }
    parts.removeAll(QString());
    return parts;
}

void find86Box(Finder &finder, const MachineSearch &search)
{
    QStringList roots{search.home + "/.local/share/86Box", search.home + "/86Box"};
    if (!search.dataHome.isEmpty())
        roots << search.dataHome + "/86Box";
    for (const QString &root : roots) {
        QStringList folders{root};
        for (const QFileInfo &child : QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            folders << child.absoluteFilePath();
            for (const QFileInfo &grandchild :
                 QDir(child.absoluteFilePath()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
                folders << grandchild.absoluteFilePath();
        }
        for (const QString &folder : folders) {
            const QString config = folder + "/86box.cfg";
            if (!QFileInfo(config).isFile())
                continue;
            QSettings settings(config, QSettings::IniFormat);
            if (settings.status() != QSettings::NoError) {
                finder.skip(config, QStringLiteral("not an 86Box configuration"));
                continue;
            }
            settings.beginGroup(QStringLiteral("Hard disks"));
            for (const QString &key : settings.childKeys()) {
                if (key.startsWith("hdd_") && key.endsWith("_fn"))
                    finder.add(QFileInfo(folder).fileName(), "86Box", folder,
                               settings.value(key).toString());
            }
        }
    }
}

void findPcem(Finder &finder, const QString &home)
{
    for (const QString &config : filesIn(home + "/.pcem/configs", "*.cfg")) {
        QString error;
        const std::optional<QStringList> lines = readLines(config, error);
        if (!lines) {
            finder.skip(config, error);
            continue;
        }
        for (const auto &[key, value] : keyValues(*lines)) {
            if (key == "hdc_fn" || key == "hdd_fn")
                finder.add(QFileInfo(config).completeBaseName(), "PCem", home, value);
        }
    }
}

// Reads the XML file `path`, calling `onElement` for each start element;
// names it among the skipped files when it is not well-formed XML.
void readXml(Finder &finder, const QString &path,
             const std::function<void(QXmlStreamReader &)> &onElement)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        finder.skip(path, file.errorString());
        return;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            onElement(xml);
    }
    if (xml.hasError()) {
        finder.skip(path,
                    QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString()));
    }
}

void findLibvirtIn(Finder &finder, const QString &directory)
{
    for (const QString &config : filesIn(directory, "*.xml")) {
        // The disks are added once the file is known to be whole.
        QString name = QFileInfo(config).completeBaseName();
        QList<std::pair<QString, QString>> disks;
        bool inDisk = false;
        QString format;
        FoundMachines local;
        Finder check(local);
        readXml(check, config, [&](QXmlStreamReader &xml) {
            const auto attribute = [&](const char *key) {
                return xml.attributes().value(QLatin1String(key)).toString();
            };
            if (xml.name() == QLatin1String("name") && disks.isEmpty() && !inDisk) {
                name = xml.readElementText();
            } else if (xml.name() == QLatin1String("disk")) {
                inDisk = attribute("type") == "file" && attribute("device") == "disk";
                format.clear();
            } else if (inDisk && xml.name() == QLatin1String("driver")) {
                format = attribute("type");
            } else if (inDisk && xml.name() == QLatin1String("source")) {
                disks.append({attribute("file"), format});
                inDisk = false;
            }
        });
        if (!local.skipped.isEmpty()) {
            finder.skip(config, local.skipped.first().section(QStringLiteral(": "), 1));
            continue;
        }
        for (const auto &[image, declared] : disks)
            finder.add(name, "libvirt", directory, image, declared);
    }
}

void findVirtualBox(Finder &finder, const QString &home)
{
    const QString registry = home + "/.config/VirtualBox/VirtualBox.xml";
    if (!QFileInfo(registry).isFile())
        return;
    QStringList machines;
    readXml(finder, registry, [&](QXmlStreamReader &xml) {
        if (xml.name() == QLatin1String("MachineEntry"))
            machines << xml.attributes().value(QLatin1String("src")).toString();
    });
    for (const QString &entry : machines) {
        const QString vbox = QDir(QFileInfo(registry).absolutePath()).absoluteFilePath(entry);
        if (!QFileInfo(vbox).isFile())
            continue;
        QString name = QFileInfo(vbox).completeBaseName();
        readXml(finder, vbox, [&](QXmlStreamReader &xml) {
            const auto attribute = [&](const char *key) {
                return xml.attributes().value(QLatin1String(key)).toString();
            };
            if (xml.name() == QLatin1String("Machine") && !attribute("name").isEmpty())
                name = attribute("name");
            else if (xml.name() == QLatin1String("HardDisk"))
                finder.add(name, "VirtualBox", QFileInfo(vbox).absolutePath(),
                           attribute("location"), attribute("format"));
        });
    }
}

void findDosboxX(Finder &finder, const QString &home)
{
    for (const QString &config : filesIn(home + "/.config/dosbox-x", "*.conf")) {
        QString error;
        const std::optional<QStringList> lines = readLines(config, error);
        if (!lines) {
            finder.skip(config, error);
            continue;
        }
        for (const QString &line : *lines) {
            const QStringList words = splitQuoted(line.trimmed(), ' ');
            if (words.size() >= 3 && words[0].compare("imgmount", Qt::CaseInsensitive) == 0 &&
                words[1].compare("c", Qt::CaseInsensitive) == 0)
                finder.add(QFileInfo(config).completeBaseName(), "DOSBox-X",
                           QFileInfo(config).absolutePath(), words[2]);
        }
    }
}

void findBochs(Finder &finder, const QString &home)
{
    const QString config = home + "/.bochsrc";
    if (!QFileInfo(config).isFile())
        return;
    QString error;
    const std::optional<QStringList> lines = readLines(config, error);
    if (!lines) {
        finder.skip(config, error);
        return;
    }
    for (const QString &line : *lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || !line.left(colon).trimmed().startsWith("ata"))
            continue;
        const QStringList options = splitQuoted(line.mid(colon + 1), ',');
        QString type;
        QString path;
        for (const QString &option : options) {
            const QString key = option.section('=', 0, 0).trimmed();
            if (key == "type")
                type = option.section('=', 1).trimmed();
            else if (key == "path")
                path = option.section('=', 1).trimmed();
        }
        if (type == "disk")
            finder.add(QStringLiteral("bochsrc ") + line.left(colon).trimmed(), "Bochs", home,
                       path);
    }
}

} // namespace

MachineSearch userMachineSearch()
{
    return {QDir::homePath(), QStringLiteral("/etc"), qEnvironmentVariable("XDG_DATA_HOME")};
}

FoundMachines findMachines(const MachineSearch &search)
{
    FoundMachines found;
    Finder finder(found);
    find86Box(finder, search);
    findPcem(finder, search.home);
    findLibvirtIn(finder, search.home + "/.config/libvirt/qemu");
    findLibvirtIn(finder, search.systemConfig + "/libvirt/qemu");
    findVirtualBox(finder, search.home);
    findDosboxX(finder, search.home);
    findBochs(finder, search.home);
    return found;
}

} // namespace vantrel
