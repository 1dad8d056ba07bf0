#pragma once

// The Make Logo window: makes a logo bitmap from any picture with the
// converter of `vantrel-cli convert` (codec/logo_convert.h), shows the
// result as the boot screen would, and saves it.
//
// The picture comes from Open..., from a file dropped on the window, or at
// load from the main window's current file when that is a picture. Every
// change of the picture or of an option asks for a new preview. The
// conversion runs on a worker thread, one at a time; a request made while
// one runs waits, and only the latest waiting one runs, so the preview
// follows the last change and never a stale one. While it works, Busy
// shows. The preview is the logo's frames as the export plays them (its
// palette cycled with Rotate), stretched to 534 x 400 by nearest
// neighbour, one step every 70 ms.
//
// Save As... writes the logo shown through the host's replacement; Use
// does the same and then makes the saved file the main window's current
// file, as a successful Run of the animation maker does. Both are enabled
// only while the preview shows the logo of the current picture and
// options, so what is saved is always what is seen.

#include "codec/gif_export.h"
#include "codec/logo_convert.h"
#include "ui/forms.h"

#include <QFutureWatcher>
#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace vantrel {

class ColourButton;
class StretchedPicture;

class MakeLogo : public Form {
    Q_OBJECT
public:
    // What turns a picture into a logo bitmap; convertToLogo unless a test
    // or a benchmark puts another in. It runs on a worker thread and may
    // throw HostError with a reason.
    using Converter =
        std::function<std::vector<std::uint8_t>(const QImage &, const ConvertOptions &)>;

    // The most ramp colours the window offers.
    static constexpr int kMaxRampColours = 8;

    explicit MakeLogo(const FormContext &context);
    // Waits for a conversion still running, whose result nobody wants.
    ~MakeLogo() override;

    // Starts the preview's timer and takes the main window's current file
    // when it is a picture; a file that is not one is passed over without
    // a word. Throws nothing.
    void Form_Load() override;

    void setConverter(Converter converter) { m_converter = std::move(converter); }

    // Takes the picture at `path` (a program path or a native one) and asks
    // for its preview; true when it could be read. A picture that cannot
    // be read is refused with a message naming the reason, and the window
    // keeps the picture it had.
    bool openPicture(const QString &path);

    // The converter's options as the controls set them.
    ConvertOptions options() const;

    // Whether a conversion is running or waiting.
    bool busy() const { return m_running.has_value(); }
    // The logo of the current picture and options, once it is shown; empty
    // while none is.
    const std::vector<std::uint8_t> &logo() const { return m_logo; }
    // How many previews have been shown, and which step of its cycle.
    int previewsShown() const { return m_previews; }
    int previewStep() const { return m_step; }

    void Open_Click();
    void Option_Change();
    void AddColour_Click();
    void RemoveColour_Click();
    void Save_Click();
    void Use_Click();
    void Timer1_Timer();

    StretchedPicture *Preview;
    QPushButton *Open;
    QLabel *Busy;
    QComboBox *FitBox;
    ColourButton *Border;
    QComboBox *Animation;
    QSpinBox *Rows;
    QSpinBox *Start;
    std::array<ColourButton *, kMaxRampColours> Ramp{};
    QPushButton *AddColour;
    QPushButton *RemoveColour;
    QCheckBox *Dither;
    QPushButton *Save;
    QPushButton *Use;
    std::unique_ptr<Timer> Timer1;

Q_SIGNALS:
    // Raised each time the preview shows a new logo.
    void previewShown();

protected:
    // A single local file dragged over the window may be dropped; the drop
    // opens it as Open... does.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // What a conversion gives back: the logo, or the reason it failed.
    struct Result {
        std::vector<std::uint8_t> logo;
        QString failure;
    };

    void createControls();
    void createRampControls();
    void setFocusOrder();
    void connectHandlers();

    int rampCount() const;
    void setRampCount(int count);
    void showEnabledStates();
    void requestPreview();
    void startConversion();
    void conversionFinished();
    void showLogo(std::vector<std::uint8_t> logo);
    // Asks where, writes the logo there; the path, or nothing when the
    // user cancelled or the write failed (having said why).
    std::optional<QString> saveLogo();

    Converter m_converter;
    QImage m_picture;
    QString m_pictureName;
    // Requests are numbered; the one running, and the latest made.
    std::optional<unsigned> m_running;
    unsigned m_wanted = 0;
    QFutureWatcher<Result> m_watcher;
    std::vector<std::uint8_t> m_logo;
    ExportFrames m_frames;
    int m_step = 0;
    int m_previews = 0;
};

} // namespace vantrel
