#include "cli/cli.h"

#include "cli/console_host.h"
#include "codec/logo_convert.h"
#include "codec/logo_format.h"

#include <QFile>

#include <optional>

#include <sys/stat.h>

namespace vantrel {

namespace {

const char kConvertUsage[] =
    "usage: vantrel-cli convert INPUT OUTPUT [--fit crop|pad|stretch] [--border COLOUR]\n"
    "         [--start S] [--ramp COLOUR,COLOUR,...] [--band top|bottom[:ROWS]] [--no-dither]\n"
    "Makes a logo bitmap (320 x 400 pixels, 8 bits, 129078 bytes) from any picture:\n"
    "PNG, JPEG, BMP, GIF and the other formats installed. Windows shows the logo\n"
    "stretched to a 4:3 screen; the picture is fitted to that shape first.\n"
    "  --fit crop        fill the screen and cut the overflow, centred (the default)\n"
    "  --fit pad         show the whole picture, with the border colour around it\n"
    "  --fit stretch     fill the screen, ignoring the picture's own shape\n"
    "  --border COLOUR   palette entry 0: the colour Windows paints around the picture,\n"
    "                    also behind transparent parts (default black)\n"
    "  --start S         keep palette entries S to 255 for the animation that cycles them\n"
    "                    (S from 1 to 255); the picture uses entries 0 to S-1 only.\n"
    "                    Without it the picture uses all 256 entries and nothing moves\n"
    "  --ramp C,C,...    the colours the animated entries run through, as a loop that\n"
    "                    returns to its first (default red, yellow, green, cyan, blue,\n"
    "                    magenta)\n"
    "  --band top|bottom[:ROWS]\n"
    "                    paint a band of ROWS rows (default 20) across the picture whose\n"
    "                    pixels sweep through entries S to 255 from left to right: a bar\n"
    "                    that moves at boot. --band and --ramp without --start take S 236\n"
    "  --no-dither       give each pixel its nearest palette colour, without dithering\n"
    "A COLOUR is #RRGGBB, #RGB or a name such as black, white or navy. OUTPUT is\n"
    "written beside its place and renamed into it, so a failure leaves no partial\n"
    "file; it may not be INPUT itself.\n";

int needsValue(CliContext &context, const QString &option)
{
    return usageError(context, option + " needs a value", kConvertUsage);
}

QString colourProblem(const QString &text)
{
    return "not a colour: '" + text + "' (use #RRGGBB, #RGB or a name such as navy)";
}

std::optional<Fit> parseFit(const QString &text)
{
    if (text == "crop")
        return Fit::Crop;
    if (text == "pad")
        return Fit::Pad;
    if (text == "stretch")
        return Fit::Stretch;
    return std::nullopt;
}

// "top", "bottom", "top:ROWS" or "bottom:ROWS" with ROWS 1..400.
bool parseBand(const QString &text, ConvertOptions &options)
{
    const QString edge = text.section(':', 0, 0);
    if (edge == "top")
        options.band = BandEdge::Top;
    else if (edge == "bottom")
        options.band = BandEdge::Bottom;
    else
        return false;
    if (!text.contains(':'))
        return true;
    bool isNumber = false;
    options.bandRows = text.section(':', 1).toInt(&isNumber, 10);
    return isNumber && options.bandRows >= 1 && options.bandRows <= kLogoHeight;
}

// Whether `output` leads to the very file `input` does: the same path
// written another way, a hard link or a symbolic link to it. Writing it
// would destroy the picture being read. An output that does not exist yet
// cannot be the input. Inside a disk image, where FAT has no links, the
// same file is the same path in the same volume, spelt in any case.
bool isSameFile(SystemHost &host, const QString &input, const QString &output)
{
    const Location from = host.locate(input);
    const Location to = host.locate(output);
    if (from.onImage() || to.onImage()) {
        return from.onImage() && to.onImage() && from.volume->identity() == to.volume->identity() &&
               from.inside.compare(to.inside, Qt::CaseInsensitive) == 0;
    }
    struct stat in {};
    struct stat out {};
    if (::stat(QFile::encodeName(from.native).constData(), &in) != 0)
        return false;
    if (::stat(QFile::encodeName(to.native).constData(), &out) != 0)
        return false;
    return in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

} // namespace

int convertCommand(const QStringList &arguments, CliContext &context)
{
    QStringList files;
    ConvertOptions options;
    bool startGiven = false;
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
            context.out << kConvertUsage;
            return kExitOk;
        }
        if (argument == "--no-dither") {
            options.dither = false;
            continue;
        }
        // The options with a value, as "--name value" or "--name=value".
        const QString name = argument.section('=', 0, 0);
        if (name != "--fit" && name != "--border" && name != "--start" && name != "--ramp" &&
            name != "--band") {
            return usageError(context, "unknown option '" + argument + "'", kConvertUsage);
        }
        QString value;
        if (argument.contains('='))
            value = argument.section('=', 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else
            return needsValue(context, name);

        if (name == "--fit") {
            const std::optional<Fit> fit = parseFit(value);
            if (!fit) {
                return usageError(context,
                                  "--fit must be crop, pad or stretch, not '" + value + "'",
                                  kConvertUsage);
            }
            options.fit = *fit;
        } else if (name == "--border") {
            const std::optional<Colour> border = parseColour(value);
            if (!border)
                return usageError(context, colourProblem(value), kConvertUsage);
            options.border = *border;
        } else if (name == "--start") {
            bool isNumber = false;
            options.start = value.toInt(&isNumber, 10);
            if (!isNumber || options.start < kMinStartEntry || options.start > kMaxStartEntry) {
                return usageError(context,
                                  "the starting entry must be an integer from 1 to 255, not '" +
                                      value + "'",
                                  kConvertUsage);
            }
            startGiven = true;
        } else if (name == "--ramp") {
            options.ramp.clear();
            for (const QString &part : value.split(',')) {
                const std::optional<Colour> colour = parseColour(part.trimmed());
                if (!colour)
                    return usageError(context, colourProblem(part), kConvertUsage);
                options.ramp.push_back(*colour);
            }
        } else if (!parseBand(value, options)) {
            return usageError(context,
                              "--band must be top or bottom, with :ROWS from 1 to 400 if given, "
                              "not '" +
                                  value + "'",
                              kConvertUsage);
        }
    }
    if (files.size() != 2) {
        return usageError(context, QStringLiteral("convert takes an input and an output"),
                          kConvertUsage);
    }
    // A band or a ramp asks for an animation, so it gets the usual range.
    if (!startGiven && (options.band != BandEdge::None || !options.ramp.empty()))
        options.start = kDefaultStartEntry;

    const QString &input = files[0];
    const QString &output = files[1];
    SystemHost &host = context.host;
    try {
        if (isSameFile(host, input, output)) {
            context.err << "vantrel-cli: " << output << " is the input " << input
                        << " itself; write the logo to another file\n";
            return kExitFailed;
        }
        const QImage picture = host.loadPicture(input);
        const std::vector<std::uint8_t> logo = convertToLogo(picture, options);
        const std::unique_ptr<Replacement> file = host.replaceFile(output, ReplaceFrom::Nothing);
        file->write(logo);
        file->commit();
    } catch (const HostError &error) {
        context.err << "vantrel-cli: " << error.reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace vantrel
