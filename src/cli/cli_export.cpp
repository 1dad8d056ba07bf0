#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "codec/gif_export.h"
#include "codec/logo_format.h"

#include <QFileInfo>

#include <optional>
#include <vector>

namespace vantrel {

namespace {

struct ExportRequest {
    QString source;
    QString target;
    // Empty: no frames wanted.
    QString framesDirectory;
    ExportSize size = ExportSize::Screen640x480;
    GifOptions gif;
};

// Frame k's file in `directory`, in the directory path's own separator.
QString framePath(const QString &directory, int k)
{
    return pathInDirectory(directory, frameFileName(k));
}

// Makes every file in memory first, so that a refusal writes nothing, then
// writes the GIF and the frames each through a replacement.
void runExport(const ExportRequest &request, CommandContext &context)
{
    Host &host = context.host();
    if (!request.framesDirectory.isEmpty() &&
        !QFileInfo(host.nativePath(request.framesDirectory)).isDir()) {
        throw HostError(QStringLiteral("cannot write the frames into %1: no such directory")
                            .arg(request.framesDirectory));
    }
    const std::vector<std::uint8_t> logo = readLogoFile(host, request.source);
    const ExportFrames frames = exportFrames(logo, request.size);
    warnAboutStillness(context, request.source, frames.motion);
    const std::vector<std::uint8_t> gif = encodeGif(frames, request.gif);

    std::vector<std::pair<QString, std::vector<std::uint8_t>>> pngs;
    if (!request.framesDirectory.isEmpty()) {
        for (int k = 0; k < int(frames.palettes.size()); ++k) {
            const QString path = framePath(request.framesDirectory, k);
            pngs.emplace_back(path, encodePng(frameImage(frames, k), path));
        }
    }

    writeWholeFile(host, request.target, gif);
    for (const auto &[path, bytes] : pngs)
        writeWholeFile(host, path, bytes);
}

// Sets what one option of export asks for in `request`; throws UsageError
// for a value it cannot take.
void applyOption(const Option &option, ExportRequest &request)
{
    const QString &value = option.value;
    if (option.name == "--size") {
        const std::optional<ExportSize> size = parseExportSize(value);
        if (!size)
            throw UsageError("the size must be 640x480, 640x400 or 320x400, not '" + value + "'");
        request.size = *size;
    } else if (option.name == "--delay-ms") {
        request.gif.delayMs = readInteger(value, kMinDelayMs, kMaxDelayMs, QStringLiteral("delay"),
                                          QStringLiteral(" milliseconds"));
    } else if (option.name == "--cycles") {
        request.gif.cycles = readInteger(value, 1, kMaxCycles, QStringLiteral("number of cycles"));
    } else {
        if (value.isEmpty())
            throw UsageError(QStringLiteral("--frames needs a directory"));
        request.framesDirectory = value;
    }
}

} // namespace

int exportCommand(const QStringList &arguments, CommandContext &context)
{
    ExportRequest request;
    OptionReader reader(arguments, {{"--size", OptionRule::Value},
                                    {"--delay-ms", OptionRule::Value},
                                    {"--cycles", OptionRule::Value},
                                    {"--frames", OptionRule::Value}});
    while (const std::optional<Option> option = reader.next())
        applyOption(*option, request);
    const QStringList files =
        reader.operands(2, 2, QStringLiteral("export takes a logo and a GIF file"));
    request.source = files[0];
    request.target = files[1];
    runExport(request, context);
    return kExitOk;
}

} // namespace vantrel
