#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "codec/logo_convert.h"
#include "codec/logo_format.h"

#include <QFile>

#include <optional>

#include <sys/stat.h>

namespace vantrel {

namespace {

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

// The colour `text` names; a UsageError quotes it as it was `given`.
Colour readColour(const QString &text, const QString &given)
{
    const std::optional<Colour> colour = parseColour(text);
    if (!colour) {
        throw UsageError("not a colour: '" + given +
                         "' (use #RRGGBB, #RGB or a name such as navy)");
    }
    return *colour;
}

// Sets what one option of convert asks for in `options`; throws UsageError
// for a value it cannot take.
void applyOption(const Option &option, ConvertOptions &options, bool &startGiven)
{
    const QString &value = option.value;
    if (option.name == "--no-dither") {
        options.dither = false;
    } else if (option.name == "--fit") {
        const std::optional<Fit> fit = parseFit(value);
        if (!fit)
            throw UsageError("--fit must be crop, pad or stretch, not '" + value + "'");
        options.fit = *fit;
    } else if (option.name == "--border") {
        options.border = readColour(value, value);
    } else if (option.name == "--start") {
        options.start = readStartEntry(value);
        startGiven = true;
    } else if (option.name == "--ramp") {
        options.ramp.clear();
        for (const QString &part : value.split(','))
            options.ramp.push_back(readColour(part.trimmed(), part));
    } else if (!parseBand(value, options)) {
        throw UsageError("--band must be top or bottom, with :ROWS from 1 to 400 if given, not '" +
                         value + "'");
    }
}

} // namespace

int convertCommand(const QStringList &arguments, CommandContext &context)
{
    ConvertOptions options;
    bool startGiven = false;
    OptionReader reader(arguments, {{"--fit", OptionRule::Value},
                                    {"--border", OptionRule::Value},
                                    {"--start", OptionRule::Value},
                                    {"--ramp", OptionRule::Value},
                                    {"--band", OptionRule::Value},
                                    {"--no-dither"}});
    while (const std::optional<Option> option = reader.next())
        applyOption(*option, options, startGiven);
    const QStringList files =
        reader.operands(2, 2, QStringLiteral("convert takes an input and an output"));
    // A band or a ramp asks for an animation, so it gets the usual range.
    if (!startGiven && (options.band != BandEdge::None || !options.ramp.empty()))
        options.start = kDefaultStartEntry;

    const QString &input = files[0];
    const QString &output = files[1];
    ConsoleHost &host = context.host();
    if (isSameFile(host, input, output)) {
        return context.fail(output + " is the input " + input +
                            " itself; write the logo to another file");
    }
    const QImage picture = host.loadPicture(input);
    writeWholeFile(host, output, convertToLogo(picture, options));
    return kExitOk;
}

} // namespace vantrel
