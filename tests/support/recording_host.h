#pragma once

// The test host with the extra scripts the animation windows need: the
// order in which settings are saved, and failures placed at chosen steps
// (a save, a read of the source, a picture load, a source that vanishes
// right after it was measured).

#include "support/fake_host.h"
#include "support/files.h"
#include "support/scoped_variable.h"

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace vantrel::test {

class RecordingHost : public FakeHost {
public:
    void saveSetting(const QString &application, const QString &section, const QString &key,
                     const QString &value) override
    {
        if (failSaveAt == int(saved.size()))
            throw HostError(QStringLiteral("cannot save %1").arg(key));
        FakeHost::saveSetting(application, section, key, value);
        saved.push_back(key + '=' + value);
    }

    std::int64_t fileLength(const QString &path) override
    {
        const std::int64_t length = FakeHost::fileLength(path);
        if (!vanishAfterMeasuring.isEmpty() && path == vanishAfterMeasuring)
            QFile::remove(nativePath(path));
        return length;
    }

    std::unique_ptr<BinaryFile> openBinary(const QString &path, FileAccess access) override
    {
        if (!unreadable.isEmpty() && path == unreadable)
            throw HostError(QStringLiteral("cannot open %1: Permission denied").arg(path));
        return FakeHost::openBinary(path, access);
    }

    QImage loadPicture(const QString &path) override
    {
        ++loads;
        if (failLoadAt == loads)
            throw HostError(QStringLiteral("cannot show %1").arg(path));
        return FakeHost::loadPicture(path);
    }

    // "key=value" for each setting saved, in order.
    std::vector<QString> saved;
    // The index of the save that fails (0 for the first); -1 for none.
    int failSaveAt = -1;
    // A file deleted as soon as its length has been asked for.
    QString vanishAfterMeasuring;
    // A file that cannot be opened.
    QString unreadable;
    // Picture loads so far, and the one (counting from 1) that fails.
    int loads = 0;
    int failLoadAt = 0;
};

// Points TMPDIR, where the host makes temporary files, at a fresh
// directory while it lives, so a test can see every file made there.
class TempTmpDir {
public:
    TempTmpDir() { m_variable.set(QFile::encodeName(m_dir.path())); }
    QString path() const { return m_dir.path(); }
    // The names in the directory, sorted.
    QStringList names() const { return directoryNames(m_dir.path()); }

private:
    QTemporaryDir m_dir;
    ScopedVariable m_variable{"TMPDIR"};
};

} // namespace vantrel::test
