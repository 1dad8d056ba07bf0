#pragma once

// The History window: every copy kept of what the slots held
// (logo/backups.h), with its picture, and a way to put one back.
//
// One list per slot, newest first, as `vantrel-cli backups` lists them:
// each row a nearest-neighbour 4:3 thumbnail, when the content was
// replaced, its size, the operation that replaced it, "original" for the
// drive's first content, and a mark for a copy that is not a logo bitmap
// (check's reason), is damaged or cannot be read. Selecting a row shows
// the picture larger; an animated logo cycles its palette as the preview
// does (Rotate). Put Back is `vantrel-cli undo SLOT --to ID` (UndoSlot), so
// what it replaces is kept too; Open hands a private copy to the main
// window as its current file, which Change can then install anywhere.
//
// The window holds no state of the store: refresh reads everything again
// through the host, the Windows directory too, so that it follows the
// drive in use. It also looks at the store once a second and refreshes
// when another window or another process has changed it.

#include "logo/backups.h"
#include "ui/forms.h"

#include <QImage>

#include <array>
#include <memory>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace vantrel {

class StretchedPicture;

class HistoryForm : public Form {
    Q_OBJECT
public:
    explicit HistoryForm(const FormContext &context);

    // Fills the lists.
    void Form_Load() override;

    // Reads the store again and fills the lists anew, keeping the selected
    // copy selected when it is still listed. Throws nothing: a store that
    // cannot be read shows its reason in the list.
    void refresh();

    void PutBack_Click();
    void OpenCopy_Click();
    void CloseButton_Click();
    // Once a second: refreshes when the store has changed.
    void Poll_Timer();
    // Every 70 ms while an animated logo is shown: one palette step.
    void Cycle_Timer();

    // One row: the copy and what it holds now.
    struct Row {
        LogoSlot slot;
        KeptCopy copy;
        CopyCheck check;
        QImage picture; // null when the copy shows no picture
    };
    // The selected row, or null.
    const Row *selectedRow() const;

    std::array<QLabel *, 3> SlotLabels{};
    // Start-up, shutdown, switch-off, as kAllSlots.
    std::array<QListWidget *, 3> Lists{};
    StretchedPicture *Picture;
    QLabel *Details;
    QPushButton *PutBack;
    QPushButton *OpenCopy;
    QPushButton *CloseButton;

private:
    void createControls();
    void connectHandlers();

    void fillList(std::size_t index, const QString &windowsDirectory);
    void selectionChanged(std::size_t index);
    void showSelected();
    void select(LogoSlot slot, const QString &sha256);
    void forgetOpenedCopies();

    std::array<std::vector<Row>, 3> m_rows;
    QString m_stamp;
    std::unique_ptr<Timer> m_poll;
    std::unique_ptr<Timer> m_cycle;
    // The shown logo's bytes as the palette has turned so far, and its
    // starting entry.
    QByteArray m_cycling;
    int m_start = 0;
    // The private copies Open made that the main window may still show.
    QStringList m_openedCopies;
};

} // namespace vantrel
