#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "codec/logo_format.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>
#include <vector>

namespace vantrel {

namespace {

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

// "entry 250", or "entries 248, 250 to 255": the entries in order, a run of
// three or more as its ends.
QString entriesText(const std::vector<int> &entries)
{
    QStringList parts;
    for (std::size_t i = 0; i < entries.size();) {
        std::size_t end = i + 1;
        while (end < entries.size() && entries[end] == entries[end - 1] + 1)
            ++end;
        if (end - i >= 3) {
            parts << QStringLiteral("%1 to %2").arg(entries[i]).arg(entries[end - 1]);
        } else {
            for (std::size_t k = i; k < end; ++k)
                parts << QString::number(entries[k]);
        }
        i = end;
    }
    return (entries.size() == 1 ? QStringLiteral("entry ") : QStringLiteral("entries ")) +
           parts.join(QStringLiteral(", "));
}

// One warning for each still entry whose colour entries of the animated
// range share, in the order of their first such entry. Entry 0's colour is
// the border's.
void reportColourTwins(QTextStream &out, std::span<const std::uint8_t> header, int start)
{
    std::vector<std::pair<int, std::vector<int>>> groups;
    for (const ColourTwin &twin : findColourTwins(header, start)) {
        const auto group = std::find_if(groups.begin(), groups.end(),
                                        [&](const auto &g) { return g.first == twin.still; });
        if (group == groups.end())
            groups.push_back({twin.still, {twin.animated}});
        else
            group->second.push_back(twin.animated);
    }
    for (const auto &[still, animated] : groups) {
        const QString entries = entriesText(animated);
        const QString colour = still == 0 ? QStringLiteral("the border colour")
                                          : QStringLiteral("the colour of entry %1").arg(still);
        out << QStringLiteral("  warning: %1 %2 %3 (%4): pixels of entry %5 stay still while "
                              "those of %1 cycle\n")
                   .arg(entries,
                        animated.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"),
                        colour, entryColour(header, still), QString::number(still));
    }
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
        reportColourTwins(out, header, start);
    }
    out << reportLine("border colour", entryColour(header, 0) + " (palette entry 0)");
}

// Reports one file; returns whether it is a logo bitmap. Reads at most the
// header block and one block of the pixel area at a time, and never past
// the length the file reported.
bool checkFile(const QString &path, CommandContext &context)
{
    QTextStream &out = context.out;
    Host &host = context.host();
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

QString logoProblemOf(Host &host, const QString &path)
{
    const std::int64_t length = host.fileLength(path);
    std::array<std::uint8_t, kPaletteOffset> header{};
    const auto present =
        static_cast<std::size_t>(std::clamp<std::int64_t>(length, 0, std::int64_t(header.size())));
    const std::span<std::uint8_t> start(header.data(), present);
    host.openBinary(path, FileAccess::Read)->readAt(0, start);
    return logoBitmapProblem(start, length);
}

int checkCommand(const QStringList &arguments, CommandContext &context)
{
    const QStringList files = readOperands(arguments, 1, std::numeric_limits<qsizetype>::max(),
                                           QStringLiteral("check takes one file or more"));
    bool allOk = true;
    for (const QString &path : files) {
        try {
            allOk = checkFile(path, context) && allOk;
        } catch (const HostError &error) {
            // The next file is still worth a report.
            context.fail(error.reason());
            allOk = false;
        }
    }
    return allOk ? kExitOk : kExitFailed;
}

} // namespace vantrel
