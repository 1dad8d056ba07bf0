#include "codec/plymouth_theme.h"

#include "host/host_error.h"

#include <QRegularExpression>

#include <optional>

namespace vantrel {

namespace {

// Where an installed theme lives; Plymouth takes ImageDir and ScriptFile
// as written.
const char kThemesDirectory[] = "/usr/share/plymouth/themes/";

const char kShutdownFile[] = "shutdown.png";

// The script after the steps' table. Plymouth calls the refresh function 50
// times a second, so each call moves the clock 20 ms on; the step shown is
// the first whose end lies past the clock. Pictures are read and scaled
// when their step comes, so that only one is held at a time.
const char kScriptBody[] = R"(
screen_width = Window.GetWidth();
screen_height = Window.GetHeight();
logo_height = screen_height;
logo_width = Math.Int(screen_height * 4 / 3);
if (logo_width > screen_width) {
    logo_width = screen_width;
    logo_height = Math.Int(screen_width * 3 / 4);
}
logo = Sprite();
logo.SetPosition(Window.GetX() + Math.Int((screen_width - logo_width) / 2),
                 Window.GetY() + Math.Int((screen_height - logo_height) / 2), 0);

fun show(file) {
    global.logo.SetImage(Image(file).Scale(global.logo_width, global.logo_height));
}

mode = Plymouth.GetMode();
if ((mode == "shutdown" || mode == "reboot") && shutdown_file != "") {
    show(shutdown_file);
    step_count = 1;
} else {
    show(step_file[0]);
}
step = 0;
clock = 0;

fun refresh() {
    if (global.step_count > 1) {
        global.clock = global.clock + 20;
        if (global.clock >= global.cycle_ms) {
            global.clock = global.clock - global.cycle_ms;
        }
        at = 0;
        while (global.clock >= global.step_end[at]) {
            at++;
        }
        if (at != global.step) {
            global.step = at;
            show(global.step_file[at]);
        }
    }
}
Plymouth.SetRefreshFunction(refresh);

# Questions, such as a disk's passphrase, show below the logo's middle.
prompt = Sprite();
fun show_prompt(text) {
    image = Image.Text(text, 1, 1, 1);
    global.prompt.SetImage(image);
    global.prompt.SetPosition(Window.GetX() + Math.Int((Window.GetWidth() - image.GetWidth()) / 2),
                              Window.GetY() + Math.Int(Window.GetHeight() * 3 / 4), 10);
    global.prompt.SetOpacity(1);
}
fun password(text, bullets) {
    stars = "";
    for (i = 0; i < bullets; i++) {
        stars = stars + "*";
    }
    show_prompt(text + " " + stars);
}
fun question(text, entry) {
    show_prompt(text + " " + entry);
}
fun normal() {
    global.prompt.SetOpacity(0);
}
Plymouth.SetDisplayPasswordFunction(password);
Plymouth.SetDisplayQuestionFunction(question);
Plymouth.SetDisplayNormalFunction(normal);
)";

std::vector<std::uint8_t> bytesOf(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return {utf8.begin(), utf8.end()};
}

QString themeFile(const QString &name)
{
    return QStringLiteral(
               "[Plymouth Theme]\n"
               "Name=%1\n"
               "Description=A Windows 9x start-up logo, as Windows showed it, made by Vantrel\n"
               "ModuleName=script\n"
               "\n"
               "[script]\n"
               "ImageDir=%2%1\n"
               "ScriptFile=%2%1/%1.script\n")
        .arg(name, QLatin1String(kThemesDirectory));
}

// The script: the steps' pictures and ends, then the code that plays them.
QString scriptFile(const QString &name, std::span<const FrameRun> runs, int delayMs,
                   bool hasShutdown)
{
    QString text = QStringLiteral("# %1: a Windows 9x start-up logo, made by Vantrel. It shows\n"
                                  "# at 4:3, as high as the screen, with black around, and plays\n"
                                  "# its cycle: each step ends step_end ms into the cycle.\n"
                                  "Window.SetBackgroundTopColor(0, 0, 0);\n"
                                  "Window.SetBackgroundBottomColor(0, 0, 0);\n\n")
                       .arg(name);
    int end = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        end += runs[i].count * delayMs;
        text += QStringLiteral("step_file[%1] = \"%2\";\nstep_end[%1] = %3;\n")
                    .arg(i)
                    .arg(frameFileName(runs[i].first))
                    .arg(end);
    }
    text += QStringLiteral("step_count = %1;\ncycle_ms = %2;\nshutdown_file = \"%3\";\n")
                .arg(runs.size())
                .arg(end)
                .arg(hasShutdown ? QLatin1String(kShutdownFile) : QLatin1String());
    return text + QLatin1String(kScriptBody);
}

void checkOptions(const PlymouthOptions &options)
{
    if (const QString problem = themeNameProblem(options.name); !problem.isEmpty())
        throw HostError(problem);
    if (options.delayMs < kMinDelayMs || options.delayMs > kMaxDelayMs) {
        throw HostError(QStringLiteral("the delay must be %1 to %2 ms, not %3")
                            .arg(kMinDelayMs)
                            .arg(kMaxDelayMs)
                            .arg(options.delayMs));
    }
}

} // namespace

QString themeNameProblem(const QString &name)
{
    static const QRegularExpression kName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"));
    if (kName.match(name).hasMatch())
        return {};
    return QStringLiteral("'%1' cannot name a theme: use 1 to 64 letters, digits, '-', '_' and "
                          "'.', starting with a letter or a digit")
        .arg(name);
}

std::vector<ThemeFile> makePlymouthTheme(std::span<const std::uint8_t> logo,
                                         std::span<const std::uint8_t> shutdownLogo,
                                         const PlymouthOptions &options)
{
    checkOptions(options);
    const ExportFrames frames = exportFrames(logo, options.size);
    std::optional<ExportFrames> shutdown;
    if (!shutdownLogo.empty()) {
        try {
            shutdown = exportFrames(shutdownLogo, options.size);
        } catch (const HostError &error) {
            throw HostError(QStringLiteral("the shutdown logo: %1").arg(error.reason()));
        }
    }
    const std::vector<FrameRun> runs = distinctFrames(frames);
    std::vector<ThemeFile> files;
    files.push_back({options.name + ".plymouth", bytesOf(themeFile(options.name))});
    files.push_back({options.name + ".script",
                     bytesOf(scriptFile(options.name, runs, options.delayMs, bool(shutdown)))});
    for (const FrameRun &run : runs) {
        const QString name = frameFileName(run.first);
        files.push_back({name, encodePng(frameImage(frames, run.first), name)});
    }
    if (shutdown)
        files.push_back({kShutdownFile, encodePng(frameImage(*shutdown, 0), kShutdownFile)});
    return files;
}

namespace {

// Refuses a directory that is there and not empty, or anything else in the
// way; returns whether the directory must be made.
bool mustMakeDirectory(Host &host, const QString &directory)
{
    switch (host.pathKind(directory)) {
    case PathKind::Missing:
        return true;
    case PathKind::Directory:
        break;
    default:
        throw HostError(QStringLiteral("%1 is not a directory").arg(directory));
    }
    if (!host.directoryIsEmpty(directory)) {
        throw HostError(
            QStringLiteral("%1 is not empty; choose a new or empty directory").arg(directory));
    }
    return false;
}

} // namespace

void writePlymouthTheme(Host &host, const QString &directory, const std::vector<ThemeFile> &files)
{
    const bool made = mustMakeDirectory(host, directory);
    if (made)
        host.makeDirectories(directory);
    std::vector<QString> written;
    try {
        for (const ThemeFile &file : files) {
            const QString path = pathInDirectory(directory, file.name);
            const std::unique_ptr<Replacement> replacement =
                host.replaceFile(path, ReplaceFrom::Nothing);
            replacement->write(file.bytes);
            replacement->commit();
            written.push_back(path);
        }
    } catch (const HostError &) {
        for (const QString &path : written) {
            try {
                host.deleteFile(path);
            } catch (const HostError &) {
                // What cannot be removed stays; the first failure is the one
                // to report.
            }
        }
        if (made) {
            try {
                host.removeEmptyDirectory(directory);
            } catch (const HostError &) {
                // As above.
            }
        }
        throw;
    }
}

void writePlymouthTheme(Host &host, const QString &directory, std::span<const std::uint8_t> logo,
                        std::span<const std::uint8_t> shutdownLogo, const PlymouthOptions &options)
{
    writePlymouthTheme(host, directory, makePlymouthTheme(logo, shutdownLogo, options));
}

} // namespace vantrel
