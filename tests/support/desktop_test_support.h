#pragma once

// What the end-to-end window tests share: the desktop host with its beeps
// counted, and per-user directories of the test's own.

#include "ui/desktop_host.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <utility>

namespace vantrel::test {

// The desktop host, with its beeps counted.
class CountingDesktopHost : public DesktopHost {
public:
    void beep() override
    {
        ++beeps;
        DesktopHost::beep();
    }
    int beeps = 0;
};

// Points the per-user directories at a fresh temporary directory while it
// lives.
class TempUserDirectories {
public:
    TempUserDirectories()
    {
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            m_old.append({name, qgetenv(name)});
            const QString path = m_dir.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(path);
            qputenv(name, QFile::encodeName(path));
        }
    }
    ~TempUserDirectories()
    {
        for (const auto &[name, value] : m_old) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    QString settingsFile() const
    {
        return m_dir.filePath(QStringLiteral("xdg_config_home/Vog Computer Applications.conf"));
    }

private:
    QTemporaryDir m_dir;
    QList<std::pair<const char *, QByteArray>> m_old;
};

} // namespace vantrel::test
