#include "cli/cli_commands.h"
#include "cli/cli_options.h"
#include "cli/console_host.h"
#include "codec/logo_format.h"
#include "image/animate.h"

#include <optional>

namespace vantrel {

int animateCommand(const QStringList &arguments, CommandContext &context)
{
    int start = kDefaultStartEntry;
    bool reverse = false;
    OptionReader reader(arguments, {{"--start", OptionRule::Value}, {"--reverse"}});
    while (const std::optional<Option> option = reader.next()) {
        if (option->name == "--reverse")
            reverse = true;
        else
            start = readStartEntry(option->value);
    }
    const QStringList files =
        reader.operands(2, 2, QStringLiteral("animate takes a source and a target"));
    context.usesPaths(files);
    AnimateLogo(context.host(), files[0], files[1], start, reverse);
    // A longer target keeps its bytes past the logo, and is no logo then.
    warnIfNotALogo(context, files[1]);
    return kExitOk;
}

} // namespace vantrel
