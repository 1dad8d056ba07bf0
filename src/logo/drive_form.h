#pragma once

// The "Drive C" window: the drives that can stand for drive C (see
// logo/drive_list.h), one row each, and the choice of one of them.
//
// Opening the window lists the remembered drives, the emulator machines
// found on this computer and the default drive at once; what each holds is
// read off the user-interface thread and filled in as it comes. Selecting
// a row shows its three slot pictures small. Use makes the selected drive
// drive C, remembered for the next start, and tells the main window
// (MainWindow::driveChanged); nothing is written on the drive. Folder...
// and Disk Image... add a drive of the user's to the list and select it.
// A drive in use by an emulator, or one that cannot be used, is refused
// with the reason.

#include "logo/drive_list.h"
#include "ui/forms.h"

#include <vector>

class QComboBox;
class QLabel;
class QTreeWidgetItem;
class QPushButton;
class QTreeWidget;

namespace vantrel {

class StretchedPicture;

class DriveForm : public Form {
    Q_OBJECT
public:
    explicit DriveForm(const FormContext &context);

    void Form_Load() override;

    void lstDrives_Change();
    void cmdUse_Click();
    void cmdFolder_Click();
    void cmdImage_Click();

    // The rows as listed, described or not yet.
    const std::vector<DriveRow> &rows() const { return m_rows; }
    // True once every row has been described.
    bool allDescribed() const;

    QTreeWidget *lstDrives;
    StretchedPicture *picStartup;
    StretchedPicture *picShutdown;
    StretchedPicture *picSwitchOff;
    QLabel *lblStatus;
    QComboBox *cboPartition;
    QPushButton *cmdUse;
    QPushButton *cmdFolder;
    QPushButton *cmdImage;

private:
    void createControls();
    void connectHandlers();

    void addRow(const DriveRow &row, int at);
    void describeLater(int index);
    void rowDescribed(int index, const DriveRow &row);
    void showRow(int index);
    void addChosen(const QString &drive);
    void useDrive(const DriveRow &row);
    int selectedRow() const;

    std::vector<DriveRow> m_rows;
    // The configuration files that could not be read, said under every row.
    QString m_notRead;
};

} // namespace vantrel
