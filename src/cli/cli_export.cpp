#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/gif_export.h"
#include "codec/logo_format.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <optional>
#include <vector>

namespace vantrel {

namespace {

const char kExportUsage[] =
    "usage: vantrel-cli export LOGO OUT.gif [--size 640x480|640x400|320x400]\n"
    "                          [--delay-ms N] [--cycles K] [--frames DIR]\n"
    "Writes OUT.gif, an animated GIF of the start-up logo LOGO as Windows plays it:\n"
    "byte 50 holds the starting entry S, and at each step the colours of palette\n"
    "entries S to 255 move one entry down, the colour of S going to 255. One cycle\n"
    "is 256 - S frames. A logo whose byte 50 is 0 gives one still frame, and so,\n"
    "with a warning, does one whose byte 51 is not 0 or whose pixels do not use\n"
    "entries S to 255.\n"
    "  --size WxH    640x480 (the default) is what a 4:3 screen shows: each pixel\n"
    "                2 wide, and every 5 rows shown as 6 by repeating the middle\n"
    "                one, so that no colour is made up; 640x400 doubles the width\n"
    "                only; 320x400 keeps the raw pixels\n"
    "  --delay-ms N  how long each step shows, from 20 to 655350 ms, rounded to\n"
    "                hundredths of a second (default 70, the preview's pace);\n"
    "                real hardware cycles at its own pace\n"
    "  --cycles K    play the cycle K times, 1 to 65536 (default: forever)\n"
    "  --frames DIR  also write each frame whole, as frame-001.png, frame-002.png,\n"
    "                ... into the existing directory DIR\n"
    "Every file is written beside its place and renamed into it. A LOGO that is not\n"
    "a logo bitmap is refused with the reason (see 'vantrel-cli check').\n";

std::optional<int> parseInteger(const QString &text, int low, int high)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    if (!isNumber || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<ExportSize> parseSize(const QString &text)
{
    if (text == "640x480")
        return ExportSize::Screen640x480;
    if (text == "640x400")
        return ExportSize::Wide640x400;
    if (text == "320x400")
        return ExportSize::Raw320x400;
    return std::nullopt;
}

struct ExportRequest {
    QString source;
    QString target;
    // Empty: no frames wanted.
    QString framesDirectory;
    ExportSize size = ExportSize::Screen640x480;
    GifOptions gif;
};

// The whole logo bitmap at `path`. Its length is judged before the file is
// opened, so a file of another length is refused unread. Throws HostError
// with the reason the check command gives.
std::vector<std::uint8_t> readLogo(Host &host, const QString &path)
{
    const std::int64_t length = host.fileLength(path);
    if (!passesLengthTest(length)) {
        throw HostError(
            QStringLiteral("%1: not a logo bitmap: %2").arg(path, logoBitmapProblem({}, length)));
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kLogoLength));
    const std::unique_ptr<BinaryFile> file = host.openBinary(path, FileAccess::Read);
    file->readAt(0, bytes);
    file->close();
    const QString problem = logoBitmapProblem(bytes, length);
    if (!problem.isEmpty())
        throw HostError(QStringLiteral("%1: not a logo bitmap: %2").arg(path, problem));
    return bytes;
}

// Frame k's file in `directory`, in the directory path's own separator.
QString framePath(const QString &directory, int k)
{
    const QString name = QStringLiteral("frame-%1.png").arg(k + 1, 3, 10, QLatin1Char('0'));
    if (directory.endsWith('/') || directory.endsWith('\\'))
        return directory + name;
    return directory + (directory.startsWith('/') ? '/' : '\\') + name;
}

std::vector<std::uint8_t> encodePng(const QImage &image, const QString &path)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image))
        throw HostError(QStringLiteral("cannot make %1: %2").arg(path, writer.errorString()));
    return {bytes.begin(), bytes.end()};
}

void writeFile(Host &host, const QString &path, std::span<const std::uint8_t> bytes)
{
    const std::unique_ptr<Replacement> out = host.replaceFile(path, ReplaceFrom::Nothing);
    out->write(bytes);
    out->commit();
}

void warnAboutStillness(const ExportRequest &request, const LogoMotion &motion, QTextStream &err)
{
    if (motion.motion == Motion::HighByteSet) {
        err << QStringLiteral("vantrel-cli: warning: %1: byte 51 is %2, not 0, so byte 50 (%3) is "
                              "no starting entry; writing one still frame\n")
                   .arg(request.source)
                   .arg(motion.highByte)
                   .arg(motion.start);
    } else if (motion.motion == Motion::RangeUnused) {
        err << QStringLiteral("vantrel-cli: warning: %1: no pixel uses palette entries %2 to 255, "
                              "so nothing moves; writing one still frame\n")
                   .arg(request.source)
                   .arg(motion.start);
    }
}

// Makes every file in memory first, so that a refusal writes nothing, then
// writes the GIF and the frames each through a replacement.
void runExport(const ExportRequest &request, CliContext &context)
{
    Host &host = context.host;
    if (!request.framesDirectory.isEmpty() &&
        !QFileInfo(host.nativePath(request.framesDirectory)).isDir()) {
        throw HostError(QStringLiteral("cannot write the frames into %1: no such directory")
                            .arg(request.framesDirectory));
    }
    const std::vector<std::uint8_t> logo = readLogo(host, request.source);
    const ExportFrames frames = exportFrames(logo, request.size);
    warnAboutStillness(request, frames.motion, context.err);
    const std::vector<std::uint8_t> gif = encodeGif(frames, request.gif);

    std::vector<std::pair<QString, std::vector<std::uint8_t>>> pngs;
    if (!request.framesDirectory.isEmpty()) {
        for (int k = 0; k < int(frames.palettes.size()); ++k) {
            const QString path = framePath(request.framesDirectory, k);
            pngs.emplace_back(path, encodePng(frameImage(frames, k), path));
        }
    }

    writeFile(host, request.target, gif);
    for (const auto &[path, bytes] : pngs)
        writeFile(host, path, bytes);
}

} // namespace

int exportCommand(const QStringList &arguments, CliContext &context)
{
    ExportRequest request;
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            files << argument;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (isHelp(argument)) {
            context.out << kExportUsage;
            return kExitOk;
        }
        // Every option takes a value, as "--name value" or "--name=value".
        const QString name = argument.section('=', 0, 0);
        if (!QStringList{"--size", "--delay-ms", "--cycles", "--frames"}.contains(name))
            return usageError(context, "unknown option '" + argument + "'", kExportUsage);
        QString value;
        if (argument.size() > name.size())
            value = argument.mid(name.size() + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else
            return usageError(context, name + " needs a value", kExportUsage);

        if (name == "--size") {
            const std::optional<ExportSize> size = parseSize(value);
            if (!size) {
                return usageError(
                    context, "the size must be 640x480, 640x400 or 320x400, not '" + value + "'",
                    kExportUsage);
            }
            request.size = *size;
        } else if (name == "--delay-ms") {
            const std::optional<int> delay = parseInteger(value, kMinDelayMs, kMaxDelayMs);
            if (!delay) {
                return usageError(context,
                                  QStringLiteral("the delay must be an integer from %1 to %2 "
                                                 "milliseconds, not '")
                                          .arg(kMinDelayMs)
                                          .arg(kMaxDelayMs) +
                                      value + "'",
                                  kExportUsage);
            }
            request.gif.delayMs = *delay;
        } else if (name == "--cycles") {
            const std::optional<int> cycles = parseInteger(value, 1, kMaxCycles);
            if (!cycles) {
                return usageError(context,
                                  QStringLiteral("the number of cycles must be an integer from 1 "
                                                 "to %1, not '")
                                          .arg(kMaxCycles) +
                                      value + "'",
                                  kExportUsage);
            }
            request.gif.cycles = *cycles;
        } else {
            if (value.isEmpty())
                return usageError(context, QStringLiteral("--frames needs a directory"),
                                  kExportUsage);
            request.framesDirectory = value;
        }
    }
    if (files.size() != 2)
        return usageError(context, QStringLiteral("export takes a logo and a GIF file"),
                          kExportUsage);
    request.source = files[0];
    request.target = files[1];

    try {
        runExport(request, context);
    } catch (const HostError &error) {
        context.err << "vantrel-cli: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace vantrel
