#include "ui/desktop_host.h"

#include "codec/picture.h"
#include "host/system/drive_map.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QImage>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <array>

namespace vantrel {

namespace {

// The dialog's file name box, where a typed pattern must not be taken for
// a file name.
QLineEdit *fileNameBox(QFileDialog &box)
{
    return box.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

// The program's own settings, apart from the animation maker's: where the
// file dialog was last used.
const QString kSettingsApplication = QStringLiteral("vantrel");
const QString kDialogSection = QStringLiteral("File Dialog");
const QString kLastFolderKey = QStringLiteral("Last Folder");

// The Name, Size, Type and Date Modified columns of the detail view.
constexpr int kColumns = 4;
// A name longer than this many letters x is cut short rather than the
// window made wider for it.
constexpr int kLongestNameShown = 40;

// Texts as wide as the dialog's columns are likely to show, so that it
// opens wide enough before its folder has been read: the widest sizes and
// dates in this locale, the types of the filters' patterns and of a
// folder. Formatted the way Qt's file system model formats them.
std::array<QStringList, kColumns> sampleTexts(const QStringList &patterns)
{
    const QLocale locale = QLocale::system();
    std::array<QStringList, kColumns> samples;
    samples[0] << QString(20, 'x');
    for (qint64 unit = 1; unit <= (qint64(1) << 40); unit <<= 10)
        samples[1] << locale.formattedDataSize(1023 * unit + 1013 * (unit >> 10));
    const QMimeDatabase types;
    samples[2] << QFileIconProvider().type(QFileInfo(QDir::rootPath()));
    for (const QString &pattern : patterns) {
        const QString suffix = pattern.section('.', -1);
        if (pattern.startsWith(QStringLiteral("*.")) && !hasWildcard(suffix))
            samples[2]
                << types.mimeTypeForFile("x." + suffix, QMimeDatabase::MatchExtension).comment();
    }
    for (int month = 1; month <= 12; ++month) {
        samples[3] << locale.toString(QDateTime(QDate(2000, month, 28), QTime(23, 58, 58)),
                                      QLocale::ShortFormat);
    }
    return samples;
}

// Qt's file dialog opens with fixed column widths that cut sizes, types
// and dates short ("126...KiB"). This one sizes each column of the detail
// view to what it shows, and makes the window wide enough to show them
// all, growing it when a folder is read whose entries need more room.
// Qt's file dialog would also return a typed pattern such as "*.bmp" as
// the chosen file of a Save dialog; here a pattern in the name box is
// never an answer, the dialog just stays open.
class ProgramFileDialog : public QFileDialog {
public:
    ProgramFileDialog(QWidget *parent, const QStringList &patterns)
        : QFileDialog(parent), m_samples(sampleTexts(patterns))
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setViewMode(QFileDialog::Detail);
        m_view = findChild<QTreeView *>(QStringLiteral("treeView"));
        if (m_view == nullptr || m_view->model() == nullptr)
            return;
        m_refit.setSingleShot(true);
        m_refit.setInterval(0);
        connect(&m_refit, &QTimer::timeout, this, &ProgramFileDialog::fitColumns);
        const auto later = [this] { m_refit.start(); };
        connect(m_view->model(), &QAbstractItemModel::rowsInserted, this, later);
        if (auto *files = qobject_cast<QFileSystemModel *>(m_view->model()))
            connect(files, &QFileSystemModel::directoryLoaded, this, later);
    }

    void accept() override
    {
        if (QLineEdit *name = fileNameBox(*this); name != nullptr && hasWildcard(name->text()))
            return;
        QFileDialog::accept();
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QFileDialog::showEvent(event);
        fitColumns();
    }

private:
    // How wide the column must be to show `text` without cutting it, as the
    // view would draw it.
    int widthFor(int column, const QString &text) const
    {
        const QFontMetrics metrics(m_view->font());
        const int margin =
            2 * (m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1);
        int width = metrics.horizontalAdvance(text) + margin;
        if (column == 0) {
            const int icon =
                m_view->iconSize().isValid()
                    ? m_view->iconSize().width()
                    : m_view->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_view);
            width += icon + margin;
        }
        return width;
    }

    // What each column needs: its header, the sample texts and the entries
    // the folder now shows.
    std::array<int, kColumns> neededWidths() const
    {
        QHeaderView *header = m_view->header();
        std::array<int, kColumns> needed{};
        for (int column = 0; column < kColumns; ++column) {
            needed[std::size_t(column)] = header->sectionSizeHint(column);
            for (const QString &text : m_samples[std::size_t(column)])
                needed[std::size_t(column)] =
                    std::max(needed[std::size_t(column)], widthFor(column, text));
        }
        const QAbstractItemModel *model = m_view->model();
        const QModelIndex root = m_view->rootIndex();
        const int nameCap = widthFor(0, QString(kLongestNameShown, 'x'));
        // A folder of thousands is measured by its first entries; the rest
        // are much like them.
        const int rows = std::min(model->rowCount(root), 2000);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                int width = m_view->sizeHintForIndex(model->index(row, column, root)).width();
                if (column == 0)
                    width = std::min(width, nameCap);
                needed[std::size_t(column)] = std::max(needed[std::size_t(column)], width);
            }
        }
        return needed;
    }

    // Makes every column at least as wide as it needs, keeping what the
    // user widened, and the window wide enough to show them all; the
    // names get whatever room is left.
    void fitColumns()
    {
        if (m_view == nullptr || !isVisible() || viewMode() != QFileDialog::Detail)
            return;
        QHeaderView *header = m_view->header();
        std::array<int, kColumns> widths = neededWidths();
        int total = 0;
        for (int column = 0; column < kColumns; ++column) {
            int &width = widths[std::size_t(column)];
            if (column > 0)
                width = std::max(width, header->sectionSize(column));
            total += width;
        }
        // The window grows, never shrinks, and stays on the screen.
        const int missing = total - m_view->viewport()->width();
        if (missing > 0) {
            const int limit = screen() != nullptr ? screen()->availableGeometry().width() : width();
            resize(std::max(width(), std::min(width() + missing, limit)), height());
            if (layout() != nullptr)
                layout()->activate();
        }
        const int spare = std::max(0, m_view->viewport()->width() - total);
        header->resizeSection(0, widths[0] + spare);
        for (int column = 1; column < kColumns; ++column)
            header->resizeSection(column, widths[std::size_t(column)]);
    }

    std::array<QStringList, kColumns> m_samples;
    QTreeView *m_view = nullptr;
    QTimer m_refit;
};

// The folder a dialog opens in when its FileName names none: the folder
// last chosen in, while it exists, else the user's pictures folder, else
// home.
QString startFolder(Host &host)
{
    QString remembered;
    try {
        remembered = host.getSetting(kSettingsApplication, kDialogSection, kLastFolderKey, {});
    } catch (const HostError &) {
        // Unreadable settings: as if nothing were remembered.
    }
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return pictures;
    return QDir::homePath();
}

// Keeps the folder of the chosen file for the next dialog, in this run and
// the next ones. Losing it only costs the user a few clicks next time.
void rememberFolder(Host &host, const QString &chosenFile)
{
    try {
        host.saveSetting(kSettingsApplication, kDialogSection, kLastFolderKey,
                         QFileInfo(chosenFile).absolutePath());
    } catch (const HostError &) {
    }
}

// Splits "C:\pics\*.bmp" into the directory part and the name part.
std::pair<QString, QString> splitPath(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf('\\'), path.lastIndexOf('/'));
    if (cut < 0)
        return {{}, path};
    return {path.left(cut + 1), path.mid(cut + 1)};
}

// Opens the dialog where `fileName` points: in a folder it names, or in
// the folder of the file or pattern it names with that name or pattern in
// the name box. A name without a folder, or with one that does not exist,
// opens in the start folder.
void presetFileName(QFileDialog &box, Host &host, const QString &fileName)
{
    QString directory;
    QString name;
    bool existingFile = false;
    try {
        if (hasWildcard(fileName)) {
            const auto [folder, pattern] = splitPath(fileName);
            if (!folder.isEmpty() && QFileInfo(host.nativePath(folder)).isDir())
                directory = host.nativePath(folder);
            name = pattern;
        } else if (!fileName.isEmpty()) {
            const QFileInfo file(host.nativePath(fileName));
            if (file.isDir()) {
                directory = file.absoluteFilePath();
            } else {
                if (QFileInfo(file.absolutePath()).isDir())
                    directory = file.absolutePath();
                name = file.fileName();
                existingFile = !directory.isEmpty() && file.exists();
            }
        }
    } catch (const HostError &) {
        // A drive that is not mapped: the text as given, in the start
        // folder.
        name = fileName;
    }
    box.setDirectory(directory.isEmpty() ? startFolder(host) : directory);
    if (existingFile) {
        // Also marks the file in the listing.
        box.selectFile(name);
    } else if (QLineEdit *nameBox = fileNameBox(box)) {
        nameBox->setText(name);
    }
}

// The patterns of every entry of a "description|patterns|..." filter.
QStringList filterPatterns(const QString &filter)
{
    const QStringList items = filter.split('|');
    QStringList patterns;
    for (qsizetype i = 1; i < items.size(); i += 2) {
        for (const QString &pattern : items[i].split(';', Qt::SkipEmptyParts))
            patterns << pattern.trimmed();
    }
    return patterns;
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
    return readPicture(localFile(path).path(), path);
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
    ProgramFileDialog box(QApplication::activeWindow(), filterPatterns(dialog.Filter));
    // The combo box shows each description as the program wrote it; the
    // pattern list added for Qt's sake stays out of sight.
    box.setOption(QFileDialog::HideNameFilterDetails);
    if (kind == FileDialogKind::Open) {
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::ExistingFile);
    } else if (kind == FileDialogKind::Folder) {
        box.setAcceptMode(QFileDialog::AcceptOpen);
        box.setFileMode(QFileDialog::Directory);
        box.setOption(QFileDialog::ShowDirsOnly);
    } else {
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
        // Choosing a name writes nothing: whoever asked decides what to do
        // with a file that is there already, so the dialog never asks.
        box.setOption(QFileDialog::DontConfirmOverwrite);
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
            rememberFolder(*this, dialog.FileName);
            return;
        }
    }
    if (dialog.CancelError)
        throw HostError(QStringLiteral("Cancel was selected."));
}

} // namespace vantrel
