#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "image/animate.h"

#include <algorithm>
#include <array>
#include <vector>

namespace vantrel {

namespace {

const char kAnimateUsage[] =
    "usage: vantrel-cli animate SOURCE TARGET [--start S] [--reverse]\n"
    "Writes TARGET as an animated start-up logo made from the logo bitmap SOURCE\n"
    "(a file of exactly 129078 bytes): byte 50 records the starting entry S, an\n"
    "integer from 1 to 255 (default 236), and palette entries S to 255 are the ones\n"
    "that cycle. With --reverse the pixel values S to 255 are mirrored, so that the\n"
    "colours travel the other way. The palette is copied unchanged. An existing\n"
    "TARGET is overwritten but not truncated.\n";

const char kCheckUsage[] =
    "usage: vantrel-cli check FILE...\n"
    "Tells for each FILE whether it is a logo bitmap: its length and each header\n"
    "field against what a logo bitmap holds, the animated range recorded in byte 50\n"
    "and how many pixels use it, colours of the range that also appear below it,\n"
    "and the colour of palette entry 0, the border around the picture at start-up.\n"
    "Exit status 0 when every FILE is a logo bitmap, 1 otherwise.\n";

// One report line: the name, the value found, and "ok" or what was
// expected. Padded by hand because the values come from the file and must
// not be read as placeholders.
QString reportLine(const QString &name, const QString &found, const QString &status = {})
{
    QString line = "  " + name.leftJustified(16) + ' ';
    line += status.isEmpty() ? found : found.leftJustified(20) + ' ' + status;
    return line + '\n';
}

QString verdict(bool ok, const QString &expected)
{
    return ok ? QStringLiteral("ok") : "expected " + expected;
}

// The animation state, read from a complete header block and the pixel
// area it belongs to.
void reportAnimation(QTextStream &out, std::span<const std::uint8_t> header,
                     std::size_t animatedPixels)
{
    const int start = header[kStartEntryOffset];
    if (start == 0) {
        out << reportLine("animation", "no animation (byte 50 is 0)");
    } else {
        out << reportLine(
            "animation",
            QStringLiteral("entries %1 to 255 (%2 entries)").arg(start).arg(256 - start));
        QString pixels = QStringLiteral("%1 of %2").arg(animatedPixels).arg(kPixelAreaLength);
        if (animatedPixels == 0)
            pixels += " (nothing moves)";
        out << reportLine("animated pixels", pixels);
        for (const ColourTwin &twin : findColourTwins(header, start)) {
            out << QStringLiteral("  warning: entry %1 has the colour of entry %2 (%3): "
                                  "pixels of entry %2 stay still while those of entry %1 cycle\n")
                       .arg(twin.animated)
                       .arg(twin.still)
                       .arg(entryColour(header, twin.animated));
        }
    }
    out << reportLine("border colour", entryColour(header, 0) + " (palette entry 0)");
}

// Reports one file; returns whether it is a logo bitmap. Reads at most the
// header block and one block of the pixel area at a time, and never past
// the length the file reported.
bool checkFile(const QString &path, CliContext &context)
{
    QTextStream &out = context.out;
    Host &host = context.host;
    const std::int64_t length = host.fileLength(path);
    const bool lengthOk = passesLengthTest(length);

    out << path << '\n';
    out << reportLine("length", QStringLiteral("%1 bytes").arg(length),
                      verdict(lengthOk, QStringLiteral("%1 bytes").arg(kLogoLength)));

    const std::unique_ptr<BinaryFile> file = host.openBinary(path, FileAccess::Read);
    std::array<std::uint8_t, kHeaderBlockLength> header{};
    const auto headerLength =
        static_cast<std::size_t>(std::min<std::int64_t>(length, kHeaderBlockLength));
    const std::span<const std::uint8_t> present(header.data(), headerLength);
    file->readAt(0, std::span<std::uint8_t>(header.data(), headerLength));

    bool fieldsOk = true;
    for (const HeaderField &field : checkHeaderFields(present)) {
        out << reportLine(field.name, field.found, verdict(field.ok, field.expected));
        fieldsOk = fieldsOk && field.ok;
    }

    // Only a file that passes the length test is one the animation maker
    // takes, so only there do the palette and byte 50 mean anything.
    if (lengthOk) {
        const int start = header[kStartEntryOffset];
        std::size_t animatedPixels = 0;
        if (start != 0) {
            std::vector<std::uint8_t> block(kPixelBlockLength);
            for (std::size_t i = 0; i < kPixelBlocks; ++i) {
                file->readAt(std::int64_t(kHeaderBlockLength + i * kPixelBlockLength), block);
                animatedPixels += countAnimatedPixels(block, start);
            }
        }
        reportAnimation(out, header, animatedPixels);
    }
    file->close();

    const bool ok = lengthOk && fieldsOk;
    out << reportLine("result",
                      ok ? QStringLiteral("a logo bitmap") : QStringLiteral("not a logo bitmap"));
    return ok;
}

} // namespace

int animateCommand(const QStringList &arguments, CliContext &context)
{
    QStringList files;
    int start = kDefaultStartEntry;
    bool reverse = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            files << argument;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (isHelp(argument)) {
            context.out << kAnimateUsage;
            return kExitOk;
        } else if (argument == "--reverse") {
            reverse = true;
        } else if (argument == "--start" || argument.startsWith("--start=")) {
            QString value;
            if (argument != "--start")
                value = argument.mid(8);
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return usageError(context, QStringLiteral("--start needs a value"), kAnimateUsage);
            bool isNumber = false;
            start = value.toInt(&isNumber, 10);
            if (!isNumber || start < kMinStartEntry || start > kMaxStartEntry) {
                return usageError(context,
                                  "the starting entry must be an integer from 1 to 255, not '" +
                                      value + "'",
                                  kAnimateUsage);
            }
        } else {
            return usageError(context, "unknown option '" + argument + "'", kAnimateUsage);
        }
    }
    if (files.size() != 2)
        return usageError(context, QStringLiteral("animate takes a source and a target"),
                          kAnimateUsage);

    prepareDrive(context);
    try {
        AnimateLogo(context.host, files[0], files[1], start, reverse);
    } catch (const HostError &error) {
        context.err << "vantrel-cli: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int checkCommand(const QStringList &arguments, CliContext &context)
{
    QStringList files;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (optionsEnded || !argument.startsWith('-') || argument == "-") {
            files << argument;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (isHelp(argument)) {
            context.out << kCheckUsage;
            return kExitOk;
        } else {
            return usageError(context, "unknown option '" + argument + "'", kCheckUsage);
        }
    }
    if (files.isEmpty())
        return usageError(context, QStringLiteral("check takes one file or more"), kCheckUsage);

    bool allOk = true;
    for (const QString &path : files) {
        try {
            allOk = checkFile(path, context) && allOk;
        } catch (const HostError &error) {
            context.out.flush();
            context.err << "vantrel-cli: " << error.reason() << "\n";
            context.err.flush();
            allOk = false;
        }
    }
    return allOk ? kExitOk : kExitFailed;
}

} // namespace vantrel
