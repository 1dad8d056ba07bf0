// The start of the program with the real desktop host on a temporary
// drive: the splash alone on the real clock, the main window at five
// seconds, then the credits box from About, its e-mail link reaching a
// stand-in for the system's opener, and Enter on OK closing the box.

#include "app/form3.h"
#include "app/info.h"
#include "logo/form1.h"
#include "support/fake_host.h"
#include "support/program_forms.h"
#include "support/qt_test.h"
#include "ui/desktop_host.h"
#include "ui/forms.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace vantrel;
using vantrel::test::TempDrive;

namespace {

// A private PATH holding one program, xdg-open, that writes down its
// arguments; nothing real is ever started.
class StandInOpener {
public:
    StandInOpener() : m_oldPath(qgetenv("PATH"))
    {
        QFile script(m_bin.filePath(QStringLiteral("xdg-open")));
        script.open(QIODevice::WriteOnly);
        // Shell built-ins only: the PATH holds nothing else.
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '%1'; done\n"
                                    ": > '%2'\n")
                         .arg(argumentsPath(), donePath())
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(m_bin.path()));
    }
    ~StandInOpener() { qputenv("PATH", m_oldPath); }

    // The arguments of its first run, waiting for it up to ten seconds.
    QStringList received() const
    {
        QElapsedTimer clock;
        clock.start();
        while (!QFile::exists(donePath()) && clock.elapsed() < 10000)
            QTest::qWait(20);
        QFile file(argumentsPath());
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("never started")};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

private:
    QString argumentsPath() const { return m_bin.filePath(QStringLiteral("arguments")); }
    QString donePath() const { return m_bin.filePath(QStringLiteral("done")); }

    QTemporaryDir m_bin;
    QByteArray m_oldPath;
};

} // namespace

class SplashEndToEndTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theSplashComesAloneAndTheMainWindowAtFiveSeconds();
};

void SplashEndToEndTest::theSplashComesAloneAndTheMainWindowAtFiveSeconds()
{
    TempDrive drive;
    StandInOpener opener;
    DesktopHost host;
    ProgramForms forms(host);

    QElapsedTimer clock;
    clock.start();
    // Unloading destroys the splash once control is back in the event
    // loop, which the waits below give it.
    const QPointer<Form3> splash = &forms.show<Form3>();
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    qint64 mainWindowAt = -1;
    while (clock.elapsed() < 15000) {
        if (forms.isLoaded<Form1>()) {
            mainWindowAt = clock.elapsed();
            break;
        }
        QVERIFY(forms.isLoaded<Form3>());
        QCOMPARE(forms.loadedCount(), 1);
        QTest::qWait(5);
    }
    // Never early; the late end is generous for a busy machine.
    QVERIFY2(mainWindowAt >= 5000, qPrintable(QString::number(mainWindowAt)));
    QVERIFY(!forms.isLoaded<Form3>());
    QVERIFY(splash.isNull() || !splash->isVisible());
    Form1 &main = *forms.find<Form1>();
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    QTest::mouseClick(main.Command1, Qt::LeftButton);
    info *box = forms.find<info>();
    QVERIFY(box != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(box));
    QCOMPARE(QApplication::focusWidget(), box->Command1);

    QTest::mouseClick(box->Label3, Qt::LeftButton, {}, QPoint(3, 8));
    QCOMPARE(opener.received(), QStringList{"mailto:vantrel@brontic.example"});
    QVERIFY(box->isVisible());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!forms.isLoaded<info>());
    QVERIFY(main.isVisible());
    QVERIFY(!forms.programEnded());
}

VANTREL_QT_TEST(SplashEndToEndTest)
#include "splash_e2e_test.moc"
