#include "logo/history.h"

#include "codec/gif_export.h"
#include "codec/logo_format.h"
#include "codec/palette_rotation.h"
#include "codec/picture.h"
#include "logo/slots.h"
#include "ui/classic_look.h"
#include "ui/controls.h"
#include "ui/stretched_picture.h"
#include "ui/window_placement.h"

#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>

#include <span>

namespace vantrel {

namespace {

// Twips, as the window was designed; 15 twips make one pixel. The picture
// and the thumbnails are 4:3, as the logo shows on screen.
constexpr TwipRect kWindow{0, 0, 10200, 5760};
constexpr std::array<TwipRect, 3> kSlotLabels{
    TwipRect{120, 120, 5400, 255}, TwipRect{120, 1995, 5400, 255}, TwipRect{120, 3870, 5400, 255}};
constexpr std::array<TwipRect, 3> kLists{TwipRect{120, 375, 5400, 1500},
                                         TwipRect{120, 2250, 5400, 1500},
                                         TwipRect{120, 4125, 5400, 1500}};
constexpr TwipRect kPicture{5640, 375, 4440, 3330};
constexpr TwipRect kDetails{5640, 3825, 4440, 735};
constexpr TwipRect kPutBack{5640, 4680, 1335, 375};
constexpr TwipRect kOpenCopy{7080, 4680, 1335, 375};
constexpr TwipRect kCloseButton{8745, 4680, 1335, 375};
constexpr QSize kThumbnail{64, 48};

constexpr int kPollMs = 1000;
constexpr int kCycleMs = 70;

const std::array<const char *, 3> kListNames{"StartupList", "ShutdownList", "OffList"};
const std::array<const char *, 3> kLabelNames{"StartupLabel", "ShutdownLabel", "OffLabel"};

QString slotCaption(LogoSlot slot)
{
    switch (slot) {
    case LogoSlot::Startup:
        return QStringLiteral("Startup");
    case LogoSlot::Shutdown:
        return QStringLiteral("Shutdown");
    case LogoSlot::SwitchOff:
        return QStringLiteral("Switch off");
    }
    return {};
}

// The mark of a copy that is not a sound logo bitmap; empty for one.
QString markOf(const CopyCheck &check)
{
    switch (check.state) {
    case CopyCheck::Logo:
        return {};
    case CopyCheck::NotLogo:
        return QStringLiteral("not a logo bitmap: ") + check.problem;
    case CopyCheck::Damaged:
        return QStringLiteral("damaged: ") + check.problem;
    case CopyCheck::Missing:
        return QStringLiteral("missing: ") + check.problem;
    }
    return {};
}

QString rowText(const HistoryForm::Row &row)
{
    QString text = QStringLiteral("%1   %2 bytes   %3")
                       .arg(keptTimeText(row.copy.keptAt))
                       .arg(row.copy.size)
                       .arg(row.copy.operation);
    if (row.copy.original)
        text += QStringLiteral("   original");
    if (const QString mark = markOf(row.check); !mark.isEmpty())
        text += '\n' + mark;
    return text;
}

bool isSound(const CopyCheck &check)
{
    return check.state == CopyCheck::Logo || check.state == CopyCheck::NotLogo;
}

QListWidgetItem *placeholder(QListWidget &list, const QString &text)
{
    auto *item = new QListWidgetItem(text, &list);
    item->setFlags(Qt::NoItemFlags);
    return item;
}

// The stamp of every slot's store, read through the host as it maps the
// drives now.
QString storeStamp(Host &host)
{
    const QString windows = QueryWindowsDirectory(host);
    QString stamp;
    for (const LogoSlot slot : kAllSlots)
        stamp += backupStoreStamp(host, installedPath(slot, windows)) + '\n';
    return stamp;
}

} // namespace

HistoryForm::HistoryForm(const FormContext &context) : Form(context)
{
    setObjectName(QStringLiteral("History"));
    setWindowTitle(QStringLiteral("History"));
    setWindowFrame(*this, WindowFrame::FixedDialog);
    setFixedClientSize(*this, kWindow);
    setClassicBackground(*this);

    createControls();
    connectHandlers();
}

void HistoryForm::createControls()
{
    for (std::size_t i = 0; i < kAllSlots.size(); ++i) {
        SlotLabels[i] = makeLabel(this, kLabelNames[i], slotCaption(kAllSlots[i]), kSlotLabels[i]);
        Lists[i] = makeListBox(this, kListNames[i], kLists[i]);
        Lists[i]->setIconSize(kThumbnail);
    }
    Picture = new StretchedPicture(this);
    placeControl(*Picture, "Picture", kPicture);
    Details = makeWrappedLabel(this, "Details", QString(), kDetails, Qt::AlignLeft);
    PutBack = makeButton(this, "PutBack", QStringLiteral("Put Back"), kPutBack);
    OpenCopy = makeButton(this, "OpenCopy", QStringLiteral("Open"), kOpenCopy);
    CloseButton = makeButton(this, "CloseButton", QStringLiteral("Close"), kCloseButton);
    chainTabOrder({Lists[0], Lists[1], Lists[2], PutBack, OpenCopy, CloseButton});
}

void HistoryForm::connectHandlers()
{
    for (std::size_t i = 0; i < Lists.size(); ++i) {
        connect(Lists[i], &QListWidget::itemSelectionChanged, this,
                [this, i] { selectionChanged(i); });
    }
    connect(PutBack, &QPushButton::clicked, this, &HistoryForm::PutBack_Click);
    connect(OpenCopy, &QPushButton::clicked, this, &HistoryForm::OpenCopy_Click);
    connect(CloseButton, &QPushButton::clicked, this, &HistoryForm::CloseButton_Click);
}

void HistoryForm::Form_Load()
{
    placeOnScreen(*this, host(), [](QSize screen, QSize outer) {
        return QPointF((screen.width() - outer.width()) / 2.0,
                       (screen.height() - outer.height()) / 2.0);
    });
    refresh();
    m_poll = host().startTimer(kPollMs, [this] { Poll_Timer(); });
}

void HistoryForm::refresh()
{
    const Row *selected = selectedRow();
    const std::optional<std::pair<LogoSlot, QString>> keep =
        selected ? std::optional(std::pair(selected->slot, selected->copy.sha256)) : std::nullopt;
    m_stamp = storeStamp(host());
    const QString windows = QueryWindowsDirectory(host());
    for (std::size_t i = 0; i < Lists.size(); ++i)
        fillList(i, windows);
    if (keep)
        select(keep->first, keep->second);
    showSelected();
}

void HistoryForm::fillList(std::size_t index, const QString &windowsDirectory)
{
    const LogoSlot slot = kAllSlots[index];
    QListWidget &list = *Lists[index];
    const QSignalBlocker quiet(list);
    list.clear();
    m_rows[index].clear();
    std::vector<KeptCopy> copies;
    try {
        copies = keptCopies(host(), slot, installedPath(slot, windowsDirectory));
    } catch (const HostError &error) {
        placeholder(list, error.reason())->setToolTip(error.reason());
        return;
    }
    if (copies.empty())
        placeholder(list, QStringLiteral("Nothing kept yet."));
    for (const KeptCopy &copy : copies) {
        Row row{slot, copy, checkKeptCopy(host(), copy), {}};
        if (isSound(row.check)) {
            try {
                row.picture = decodePicture(row.check.bytes, copy.path);
            } catch (const HostError &) {
                // Not a picture: the row shows no thumbnail.
            }
        }
        auto *item = new QListWidgetItem(rowText(row), &list);
        item->setToolTip(copy.path);
        QPixmap thumbnail(kThumbnail);
        thumbnail.fill(Qt::white);
        if (!row.picture.isNull())
            thumbnail = QPixmap::fromImage(stretchNearest(row.picture, kThumbnail));
        item->setIcon(thumbnail);
        m_rows[index].push_back(std::move(row));
    }
}

const HistoryForm::Row *HistoryForm::selectedRow() const
{
    for (std::size_t i = 0; i < Lists.size(); ++i) {
        const QList<QListWidgetItem *> items = Lists[i]->selectedItems();
        if (items.isEmpty())
            continue;
        const int row = Lists[i]->row(items.first());
        if (row >= 0 && std::size_t(row) < m_rows[i].size())
            return &m_rows[i][std::size_t(row)];
    }
    return nullptr;
}

void HistoryForm::select(LogoSlot slot, const QString &sha256)
{
    for (std::size_t i = 0; i < Lists.size(); ++i) {
        for (std::size_t r = 0; r < m_rows[i].size(); ++r) {
            if (m_rows[i][r].slot == slot && m_rows[i][r].copy.sha256 == sha256) {
                const QSignalBlocker quiet(Lists[i]);
                Lists[i]->setCurrentRow(int(r));
            }
        }
    }
}

// One selection across the three lists: selecting in one clears the others.
void HistoryForm::selectionChanged(std::size_t index)
{
    if (!Lists[index]->selectedItems().isEmpty()) {
        for (std::size_t i = 0; i < Lists.size(); ++i) {
            if (i != index) {
                const QSignalBlocker quiet(Lists[i]);
                Lists[i]->clearSelection();
            }
        }
    }
    showSelected();
}

void HistoryForm::showSelected()
{
    m_cycle.reset();
    const Row *row = selectedRow();
    PutBack->setEnabled(row != nullptr && isSound(row->check));
    OpenCopy->setEnabled(row != nullptr && isSound(row->check));
    if (row == nullptr) {
        Picture->setPicture({});
        Details->setText(QStringLiteral("Select a copy to see it larger."));
        return;
    }
    Picture->setPicture(row->picture);
    QString details = QStringLiteral("%1 logo, copy %2: %3 bytes, replaced by %4 on %5")
                          .arg(slotName(row->slot), row->copy.id())
                          .arg(row->copy.size)
                          .arg(row->copy.operation, keptTimeText(row->copy.keptAt));
    if (const QString mark = markOf(row->check); !mark.isEmpty())
        details += '\n' + mark;
    Details->setText(details);
    if (row->check.state != CopyCheck::Logo)
        return;
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t *>(row->check.bytes.data()),
                                 std::size_t(row->check.bytes.size()));
    const LogoMotion motion = readMotion(bytes);
    if (motion.motion != Motion::Cycling)
        return;
    m_cycling = row->check.bytes;
    m_start = motion.start;
    m_cycle = host().startTimer(kCycleMs, [this] { Cycle_Timer(); });
}

void HistoryForm::Cycle_Timer()
{
    auto *header = reinterpret_cast<std::uint8_t *>(m_cycling.data());
    Rotate(std::span(header, kHeaderBlockLength), m_start, false);
    try {
        Picture->setPicture(decodePicture(m_cycling, QStringLiteral("the kept copy")));
    } catch (const HostError &) {
        m_cycle.reset();
    }
}

void HistoryForm::Poll_Timer()
{
    if (storeStamp(host()) != m_stamp)
        refresh();
}

void HistoryForm::PutBack_Click()
{
    const Row *row = selectedRow();
    if (row == nullptr)
        return;
    const LogoSlot slot = row->slot;
    const QString sha256 = row->copy.sha256;
    try {
        const UndoResult result =
            UndoSlot(host(), slot, QueryWindowsDirectory(host()), {UndoTarget::Id, sha256});
        if (!result.changed) {
            host().messageBox(
                QStringLiteral("The %1 slot holds this copy already.").arg(slotName(slot)));
        }
    } catch (const HostError &error) {
        host().messageBox(QStringLiteral("Vantrel could not put back the %1 logo: %2")
                              .arg(slotName(slot), error.reason()));
    }
    refresh();
}

void HistoryForm::OpenCopy_Click()
{
    const Row *row = selectedRow();
    if (row == nullptr || !isSound(row->check))
        return;
    try {
        const QString copy = host().createTempFile(QStringLiteral("Vog"));
        m_openedCopies << copy;
        host().copyFile(row->copy.path, copy);
        forms().showMainWindow().setCurrentFile(copy);
        forgetOpenedCopies();
    } catch (const HostError &error) {
        host().messageBox(QStringLiteral("Vantrel could not open the copy %1: %2")
                              .arg(row->copy.id(), error.reason()));
    }
}

// Deletes the copies Open made that the main window no longer shows.
void HistoryForm::forgetOpenedCopies()
{
    const QString shown = forms().loadMainWindow().currentFile();
    for (qsizetype i = 0; i < m_openedCopies.size();) {
        if (m_openedCopies[i] == shown) {
            ++i;
            continue;
        }
        try {
            host().deleteFile(m_openedCopies[i]);
        } catch (const HostError &) {
            // Left in the temporary directory.
        }
        m_openedCopies.removeAt(i);
    }
}

void HistoryForm::CloseButton_Click()
{
    forms().unload(*this);
}

} // namespace vantrel
