#include "support/fake_host.h"

#include "codec/picture.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <stdexcept>

namespace vantrel::test {

struct FakeHost::FakeTimer : Timer {
    FakeTimer(FakeHost &owner, int interval, std::function<void()> tick, long long now)
        : host(owner), intervalMs(interval), onTick(std::move(tick)), due(now + interval)
    {
        host.m_timers.push_back(this);
    }
    ~FakeTimer() override { std::erase(host.m_timers, this); }

    FakeHost &host;
    int intervalMs;
    std::function<void()> onTick;
    long long due;
};

FakeHost::FakeHost() = default;

FakeHost::~FakeHost()
{
    if (!m_timers.empty())
        std::fprintf(stderr, "FakeHost: %zu timers outlive the host\n", m_timers.size());
}

void FakeHost::runCommandLine(const QString &commandLine, WindowStyle style)
{
    const QString program = commandLine.section(' ', 0, 0);
    if (failingPrograms.contains(program))
        throw HostError(QStringLiteral("cannot start %1").arg(program));
    commandLines.push_back({commandLine, style});
}

unsigned FakeHost::windowsDirectory(char *buffer, unsigned size)
{
    if (!windowsDirectoryReply)
        return SystemHost::windowsDirectory(buffer, size);
    const QByteArray &bytes = windowsDirectoryReply->first;
    const auto n = std::min<qsizetype>(bytes.size(), qsizetype(size) - 1);
    std::copy_n(bytes.constData(), n, buffer);
    buffer[n] = '\0';
    return windowsDirectoryReply->second;
}

QString FakeHost::getSetting(const QString &application, const QString &section, const QString &key,
                             const QString &defaultValue)
{
    return settings.value(application + '/' + section + '/' + key, defaultValue);
}

void FakeHost::saveSetting(const QString &application, const QString &section, const QString &key,
                           const QString &value)
{
    settings.insert(application + '/' + section + '/' + key, value);
}

std::unique_ptr<Timer> FakeHost::startTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<FakeTimer>(*this, intervalMs, std::move(onTick), m_now);
}

void FakeHost::advance(int ms)
{
    const long long end = m_now + ms;
    for (;;) {
        FakeTimer *next = nullptr;
        for (FakeTimer *timer : m_timers) {
            if (timer->due <= end && (next == nullptr || timer->due < next->due))
                next = timer;
        }
        if (next == nullptr)
            break;
        m_now = next->due;
        next->due += next->intervalMs;
        // The tick may destroy its own timer; copy the callback first.
        const std::function<void()> tick = next->onTick;
        tick();
    }
    m_now = end;
}

void FakeHost::messageBox(const QString &prompt)
{
    messages << prompt;
}

QImage FakeHost::loadPicture(const QString &path)
{
    picturesLoaded << path;
    return readPicture(localFile(path).path(), path);
}

void FakeHost::showFileDialog(FileDialog &dialog, FileDialogKind kind)
{
    dialogsShown.push_back({dialog, kind});
    if (dialogAnswers.empty())
        throw std::logic_error("FakeHost: a file dialog was shown with no answer scripted");
    const DialogAnswer answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    if (answer) {
        dialog.FileName = *answer;
        return;
    }
    if (dialog.CancelError)
        throw HostError(QStringLiteral("Cancel was selected."));
}

TempDrive::TempDrive()
    : m_oldDrive(qgetenv("VANTREL_DRIVE_C")),
      m_hadDrive(qEnvironmentVariableIsSet("VANTREL_DRIVE_C"))
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary drive");
    qputenv("VANTREL_DRIVE_C", QFile::encodeName(m_dir.path()));
}

TempDrive::~TempDrive()
{
    if (m_hadDrive)
        qputenv("VANTREL_DRIVE_C", m_oldDrive);
    else
        qunsetenv("VANTREL_DRIVE_C");
}

void TempDrive::write(const QString &relative, const QByteArray &bytes) const
{
    QFile file(path(relative));
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + relative.toStdString());
}

QByteArray TempDrive::read(const QString &relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + relative.toStdString());
    return file.readAll();
}

bool TempDrive::exists(const QString &relative) const
{
    return QFileInfo::exists(path(relative));
}

void TempDrive::makeDirectory(const QString &relative) const
{
    QDir().mkpath(path(relative));
}

void TempDrive::makeInstallation() const
{
    makeDirectory("WINDOWS");
    write("vantrel/logow.sys", "stock-w");
    write("vantrel/logos.sys", "stock-s");
}

} // namespace vantrel::test
