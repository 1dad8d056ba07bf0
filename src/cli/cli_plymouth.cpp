#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "codec/plymouth_theme.h"

#include <QRegularExpression>

#include <optional>
#include <vector>

namespace vantrel {

namespace {

struct PlymouthRequest {
    QString logo;
    QString directory;
    // Empty: none.
    QString shutdownLogo;
    PlymouthOptions theme;
};

// Sets what one option of plymouth asks for in `request`; throws
// UsageError for a value it cannot take.
void applyOption(const Option &option, PlymouthRequest &request)
{
    const QString &value = option.value;
    if (option.name == "--size") {
        const std::optional<ExportSize> size = parseExportSize(value);
        if (!size)
            throw UsageError("the size must be 640x480, 640x400 or 320x400, not '" + value + "'");
        request.theme.size = *size;
    } else if (option.name == "--delay-ms") {
        request.theme.delayMs =
            readInteger(value, kMinDelayMs, kMaxDelayMs, QStringLiteral("delay"),
                        QStringLiteral(" milliseconds"));
    } else if (option.name == "--name") {
        if (const QString problem = themeNameProblem(value); !problem.isEmpty())
            throw UsageError(problem);
        request.theme.name = value;
    } else {
        if (value.isEmpty())
            throw UsageError(QStringLiteral("--shutdown needs a logo bitmap"));
        request.shutdownLogo = value;
    }
}

// DIR's own name, the theme's name when --name is not given.
QString directoryName(const QString &directory)
{
    QString path = directory;
    while (path.size() > 1 && (path.endsWith('/') || path.endsWith('\\')))
        path.chop(1);
    return path.section(QRegularExpression(QStringLiteral("[/\\\\]")), -1);
}

} // namespace

int plymouthCommand(const QStringList &arguments, CommandContext &context)
{
    PlymouthRequest request;
    OptionReader reader(arguments, {{"--name", OptionRule::Value},
                                    {"--delay-ms", OptionRule::Value},
                                    {"--size", OptionRule::Value},
                                    {"--shutdown", OptionRule::Value}});
    while (const std::optional<Option> option = reader.next())
        applyOption(*option, request);
    const QStringList files =
        reader.operands(2, 2, QStringLiteral("plymouth takes a logo and a directory"));
    request.logo = files[0];
    request.directory = files[1];
    if (request.theme.name.isEmpty()) {
        request.theme.name = directoryName(request.directory);
        if (const QString problem = themeNameProblem(request.theme.name); !problem.isEmpty())
            throw UsageError(problem + "; give one with --name");
    }

    Host &host = context.host();
    const std::vector<std::uint8_t> logo = readLogoFile(host, request.logo);
    std::vector<std::uint8_t> shutdown;
    if (!request.shutdownLogo.isEmpty())
        shutdown = readLogoFile(host, request.shutdownLogo);
    warnAboutStillness(context, request.logo, readMotion(logo));
    writePlymouthTheme(host, request.directory, logo, shutdown, request.theme);
    return kExitOk;
}

} // namespace vantrel
