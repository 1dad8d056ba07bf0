#include "host/desktop_host.h"

#include "host/drive_map.h"
#include "host/picture.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

namespace vantrel {

namespace {

// The dialog's file name box, where a typed pattern must not be taken for
// a file name.
QLineEdit *fileNameBox(QFileDialog &box)
{
    return box.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// Qt's file dialog would return a typed pattern such as "*.bmp" as the
// chosen file of a Save dialog; here a pattern in the name box is never
// an answer, the dialog just stays open.
class ProgramFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        if (QLineEdit *name = fileNameBox(*this); name != nullptr && hasWildcard(name->text()))
            return;
        QFileDialog::accept();
    }
};

// Splits "C:\pics\*.bmp" into the directory part and the name part.
std::pair<QString, QString> splitPath(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    if (cut < 0)
        return {{}, path};
    return {path.left(cut + 1), path.mid(cut + 1)};
}

void presetFileName(QFileDialog &box, Host &host, const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    try {
        if (hasWildcard(fileName)) {
            const auto [directory, pattern] = splitPath(fileName);
            if (!directory.isEmpty())
                box.setDirectory(host.nativePath(directory));
            if (QLineEdit *name = fileNameBox(box))
                name->setText(pattern);
            return;
        }
        const QFileInfo file(host.nativePath(fileName));
        box.setDirectory(file.absolutePath());
        box.selectFile(file.fileName());
    } catch (const HostError &) {
        // A drive that is not mapped: the dialog opens where it would
        // anyway, with the text as given.
        box.selectFile(fileName);
    }
}

} // namespace

bool hasWildcard(const QString &name)
{
    return name.contains('*') || name.contains('?');
}

QStringList toQtNameFilters(const QString &filter)
{
    QStringList result;
    if (filter.isEmpty())
        return result;
    const QStringList items = filter.split('|');
    for (qsizetype i = 0; i < items.size(); i += 2) {
        const QString &description = items[i];
        QStringList patterns;
        if (i + 1 < items.size()) {
            for (const QString &pattern : items[i + 1].split(';', Qt::SkipEmptyParts)) {
                const QString trimmed = pattern.trimmed();
                if (!trimmed.isEmpty())
                    patterns << trimmed;
            }
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        result << description + QStringLiteral(" (") + patterns.join(' ') + ')';
    }
    return result;
}

void DesktopHost::messageBox(const QString &prompt)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Vantrel 32"), QString(), QMessageBox::Ok,
                    QApplication::activeWindow());
    // The prompt may carry a path or a reason: shown as it is, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(prompt);
    box.exec();
}

void DesktopHost::beep()
{
    QApplication::beep();
}

QImage DesktopHost::loadPicture(const QString &path)
{
    return readPicture(nativePath(path), path);
}

QSize DesktopHost::screenSizeTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        throw HostError(QStringLiteral("there is no screen"));
    return screen->size() * kTwipsPerPixel;
}

void DesktopHost::showFileDialog(FileDialog &dialog, FileDialogKind kind)
{
    ProgramFileDialog box(QApplication::activeWindow());
    box.setOption(QFileDialog::DontUseNativeDialog);
    // The combo box shows each description as the program wrote it; the
    // pattern list added for Qt's sake stays out of sight.
    box.setOption(QFileDialog::HideNameFilterDetails);
    if (kind == FileDialogKind::Open) {
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::ExistingFile);
    } else {
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
    }
    if (!dialog.DialogTitle.isEmpty())
        box.setWindowTitle(dialog.DialogTitle);

    const QStringList filters = toQtNameFilters(dialog.Filter);
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        const bool inRange = dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size();
        box.selectNameFilter(filters[inRange ? dialog.FilterIndex - 1 : 0]);
    }
    // The names the program deals in were made on a file system that
    // ignores case: "LOGO.SYS" is a "*.sys" file.
    box.setFilter(box.filter() & ~QDir::CaseSensitive);

    presetFileName(box, *this, dialog.FileName);

    if (box.exec() == QDialog::Accepted) {
        const QStringList chosen = box.selectedFiles();
        if (!chosen.isEmpty()) {
            dialog.FileName = QFileInfo(chosen.first()).absoluteFilePath();
            return;
        }
    }
    if (dialog.CancelError)
        throw HostError(QStringLiteral("Cancel was selected."));
}

} // namespace vantrel
