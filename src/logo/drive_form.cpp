#include "logo/drive_form.h"

#include "art/program_icon.h"
#include "codec/picture.h"
#include "drive/drive_choice.h"
#include "host/host.h"
#include "ui/classic_look.h"
#include "ui/controls.h"
#include "ui/stretched_picture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>

namespace vantrel {

namespace {

// Twips, as the window was designed.
constexpr TwipRect kWindow{1500, 1200, 10200, 6000};
constexpr TwipRect kLstDrives{120, 120, 9960, 3135};
constexpr TwipRect kPicStartup{120, 3360, 1440, 1800};
constexpr TwipRect kPicShutdown{1680, 3360, 1440, 1800};
constexpr TwipRect kPicSwitchOff{3240, 3360, 1440, 1800};
constexpr TwipRect kLblStatus{4800, 3360, 5280, 1200};
constexpr TwipRect kCboPartition{4800, 4680, 2175, 315};
constexpr TwipRect kCmdUse{120, 5400, 1455, 375};
constexpr TwipRect kCmdFolder{1680, 5400, 1455, 375};
constexpr TwipRect kCmdImage{3240, 5400, 1455, 375};

enum Column { kName, kSource, kPath, kKind, kWindows, kLogos, kInUse, kColumns };

QString reading()
{
    return QStringLiteral("reading...");
}

// The text of each column of a row.
QStringList columnTexts(const DriveRow &row)
{
    QStringList texts{row.name, row.source, row.path};
    if (!row.described)
        return texts << reading() << QString() << QString() << QString();
    if (!row.problem.isEmpty())
        return texts << row.problem << QString() << QString() << QString();
    return texts << row.kind
                 << row.windowsDirectory + (row.windows9x ? QStringLiteral(" (Windows 9x)") : "")
                 << slotsText(row)
                 << (isDriveInUse(row)      ? QStringLiteral("yes")
                     : row.usedBy.isEmpty() ? QString()
                                            : QStringLiteral("by ") + row.usedBy);
}

QString cannotUse(const QString &path, const QString &reason)
{
    return QStringLiteral("Vantrel cannot use %1 as drive C: %2").arg(path, reason);
}

} // namespace

DriveForm::DriveForm(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("DriveForm"));
    setWindowTitle(QStringLiteral("Drive C"));
    setWindowIcon(programIcon());
    setWindowFrame(*this, WindowFrame::FixedSingle);
    setFont(sansSerifFont(8.25, false));
    setClassicBackground(*this);
    createControls();
    connectHandlers();
    setFixedPlace(*this, kWindow);
}

void DriveForm::createControls()
{
    lstDrives = new QTreeWidget(this);
    placeControl(*lstDrives, "lstDrives", kLstDrives);
    lstDrives->setColumnCount(kColumns);
    lstDrives->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Source"),
                                QStringLiteral("Path"), QStringLiteral("Kind"),
                                QStringLiteral("Windows"), QStringLiteral("Logos"),
                                QStringLiteral("In use")});
    lstDrives->setRootIsDecorated(false);
    lstDrives->setUniformRowHeights(true);
    lstDrives->setSelectionMode(QAbstractItemView::SingleSelection);
    lstDrives->header()->setStretchLastSection(false);

    const auto picture = [this](const char *name, const TwipRect &place) {
        auto *control = new StretchedPicture(this);
        placeControl(*control, name, place);
        return control;
    };
    picStartup = picture("picStartup", kPicStartup);
    picShutdown = picture("picShutdown", kPicShutdown);
    picSwitchOff = picture("picSwitchOff", kPicSwitchOff);
    lblStatus = makeWrappedLabel(this, "lblStatus", QString(), kLblStatus, Qt::AlignLeft);
    cboPartition = new QComboBox(this);
    placeControl(*cboPartition, "cboPartition", kCboPartition);
    cboPartition->setEnabled(false);

    cmdUse = makeButton(this, "cmdUse", QStringLiteral("Use"), kCmdUse);
    cmdFolder = makeButton(this, "cmdFolder", QStringLiteral("Folder..."), kCmdFolder);
    cmdImage = makeButton(this, "cmdImage", QStringLiteral("Disk Image..."), kCmdImage);
    setDefaultButton(cmdUse);
}

void DriveForm::connectHandlers()
{
    connect(lstDrives, &QTreeWidget::currentItemChanged, this, &DriveForm::lstDrives_Change);
    connect(cmdUse, &QPushButton::clicked, this, &DriveForm::cmdUse_Click);
    connect(cmdFolder, &QPushButton::clicked, this, &DriveForm::cmdFolder_Click);
    connect(cmdImage, &QPushButton::clicked, this, &DriveForm::cmdImage_Click);
}

void DriveForm::Form_Load()
{
    const FoundMachines machines = findMachines(userMachineSearch());
    for (const DriveRow &row : listDrives(host(), machines))
        addRow(row, int(m_rows.size()));
    if (!machines.skipped.isEmpty())
        m_notRead = QStringLiteral("\nNot read: ") + machines.skipped.join(QStringLiteral("; "));
    if (!m_rows.empty())
        lstDrives->setCurrentItem(lstDrives->topLevelItem(0));
}

void DriveForm::addRow(const DriveRow &row, int at)
{
    m_rows.insert(m_rows.begin() + at, row);
    lstDrives->insertTopLevelItem(at, new QTreeWidgetItem(columnTexts(row)));
    // Once the window has shown the list: the readers take the processor
    // from drawing it otherwise.
    QTimer::singleShot(0, this, [this, at] { describeLater(at); });
}

// Reads the drive on a thread of the pool; the result comes back through
// the event loop, and is dropped when the window has gone.
void DriveForm::describeLater(int index)
{
    QPointer<DriveForm> window(this);
    DriveRow row = m_rows[std::size_t(index)];
    QThreadPool::globalInstance()->start([window, index, row]() mutable {
        describeDrive(row);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [window, index, row] {
            if (window)
                window->rowDescribed(index, row);
        });
    });
}

void DriveForm::rowDescribed(int index, const DriveRow &row)
{
    m_rows[std::size_t(index)] = row;
    QTreeWidgetItem *item = lstDrives->topLevelItem(index);
    const QStringList texts = columnTexts(row);
    for (int column = 0; column < kColumns; ++column)
        item->setText(column, texts[column]);
    if (index == selectedRow())
        showRow(index);
}

bool DriveForm::allDescribed() const
{
    return std::all_of(m_rows.begin(), m_rows.end(),
                       [](const DriveRow &row) { return row.described; });
}

int DriveForm::selectedRow() const
{
    return lstDrives->indexOfTopLevelItem(lstDrives->currentItem());
}

void DriveForm::lstDrives_Change()
{
    showRow(selectedRow());
}

// Shows the slot pictures, the state and the partitions of row `index`.
void DriveForm::showRow(int index)
{
    cboPartition->clear();
    cboPartition->setEnabled(false);
    StretchedPicture *pictures[] = {picStartup, picShutdown, picSwitchOff};
    for (StretchedPicture *picture : pictures)
        picture->setPicture({});
    if (index < 0)
        return;
    const DriveRow &row = m_rows[std::size_t(index)];
    for (std::size_t slot = 0; slot < 3; ++slot) {
        try {
            if (!row.slotBytes[slot].isEmpty())
                pictures[slot]->setPicture(decodePicture(row.slotBytes[slot], row.path));
        } catch (const HostError &) {
            // Not a picture: the slot shows none.
        }
    }
    for (const int partition : row.partitions)
        cboPartition->addItem(QStringLiteral("Partition %1").arg(partition), partition);
    cboPartition->setEnabled(row.partitions.size() > 1);
    QString status = row.problem.isEmpty() ? row.path : row.problem;
    if (!row.described)
        status = reading();
    else if (!row.usedBy.isEmpty())
        status =
            QStringLiteral("In use by %1: shut the machine down to choose it.").arg(row.usedBy);
    lblStatus->setText(status + m_notRead);
}

void DriveForm::cmdUse_Click()
{
    const int index = selectedRow();
    if (index < 0)
        return;
    DriveRow row = m_rows[std::size_t(index)];
    if (cboPartition->isEnabled()) {
        row.drive = row.path.section('@', 0, -2) + '@' +
                    QString::number(cboPartition->currentData().toInt());
    }
    useDrive(row);
}

void DriveForm::useDrive(const DriveRow &row)
{
    if (!row.described) {
        host().messageBox(cannotUse(row.path, QStringLiteral("it is still being read")));
        return;
    }
    if (!row.usedBy.isEmpty()) {
        host().messageBox(cannotUse(
            row.path,
            QStringLiteral("it is in use by %1; shut the machine down first").arg(row.usedBy)));
        return;
    }
    if (!row.problem.isEmpty()) {
        host().messageBox(cannotUse(row.path, row.problem));
        return;
    }
    DriveChoice choice;
    try {
        if (row.drive.isEmpty())
            forgetDrive(host());
        else
            choice = {DriveSource::Remembered, rememberDrive(host(), row.drive), {}};
    } catch (const HostError &error) {
        host().messageBox(cannotUse(row.path, error.reason()));
        return;
    }
    applyDriveChoice(choice);
    for (int index = 0; index < int(m_rows.size()); ++index)
        lstDrives->topLevelItem(index)->setText(kInUse,
                                                columnTexts(m_rows[std::size_t(index)])[kInUse]);
    forms().loadMainWindow().driveChanged();
}

void DriveForm::addChosen(const QString &drive)
{
    const DriveRow row =
        makeDriveRow(QFileInfo(drive).fileName(), QStringLiteral("chosen"), drive, drive);
    const int at = int(m_rows.size());
    addRow(row, at);
    lstDrives->setCurrentItem(lstDrives->topLevelItem(at));
}

void DriveForm::cmdFolder_Click()
{
    FileDialog dialog;
    dialog.DialogTitle = QStringLiteral("Drive C Folder");
    dialog.CancelError = true;
    try {
        host().showFileDialog(dialog, FileDialogKind::Folder);
    } catch (const HostError &) {
        return;
    }
    addChosen(dialog.FileName);
}

void DriveForm::cmdImage_Click()
{
    FileDialog dialog;
    dialog.DialogTitle = QStringLiteral("Drive C Disk Image");
    dialog.Filter = QStringLiteral("Disk images (*.img;*.ima;*.vhd;*.raw;*.hdd;*.bin)|*.img;*.ima;"
                                   "*.vhd;*.raw;*.hdd;*.bin|All files (*.*)|*.*");
    dialog.FilterIndex = 1;
    dialog.CancelError = true;
    try {
        host().showFileDialog(dialog, FileDialogKind::Open);
    } catch (const HostError &) {
        return;
    }
    addChosen(dialog.FileName);
}

} // namespace vantrel
