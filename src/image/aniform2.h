#pragma once

// The palette-cycling preview: shows what an animated start-up logo will
// look like before it is made.
//
// Test in the animation maker opens it. Form_Load reads the maker's source
// path, starting entry S and direction once, copies the source into a
// temporary file and shows it. Every 70 ms the timer rotates the animated
// range S..255 of the copy's palette by one entry (Rotate), rewrites the
// copy's 1078-byte header block in place and shows the picture reloaded
// from the file, so what cycles on screen is the file itself. A click on
// the picture deletes the file and closes the window.
//
// The temporary file goes however the window goes: the click, the title
// bar's close box, a failed opening, a failed tick, or the end of the
// program.

#include "codec/logo_format.h"
#include "ui/forms.h"
#include "ui/stretched_picture.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>

namespace vantrel {

class aniForm2 : public Form {
    Q_OBJECT
public:
    explicit aniForm2(const FormContext &context);
    // Deletes the temporary file if it is still there.
    ~aniForm2() override;

    // Centres the window, makes the temporary file, takes the caption, S
    // and the direction from the animation maker (which must be loaded),
    // copies the source into the file, shows it and starts the timer.
    // Throws (HostError for anything the host reports) when any of that
    // fails, having deleted the temporary file it made; the window is then
    // not to be shown.
    void Form_Load() override;

    // One tick: one Rotate. A tick that fails stops the timer, deletes the
    // temporary file if it can, unloads the window and beeps once. Throws
    // nothing.
    void Timer1_Timer();

    // Deletes the temporary file, then unloads the window; no tick runs
    // after it. A file that cannot be deleted does not keep the window
    // open. Throws nothing.
    void Image1_Click();

    // One step of the animation: the animated range of Header rotated by
    // one entry, written at offset 0 of the temporary file, and the
    // picture reloaded from the file. Throws HostError.
    void Rotate();

    // How many steps have been shown since Form_Load.
    int ticks() const { return m_ticks; }

    StretchedPicture *Image1;
    std::unique_ptr<Timer> Timer1;

    // The working copy of the source's header block.
    std::array<std::uint8_t, kHeaderBlockLength> Header{};
    // The temporary file's full path.
    QString TempName;
    // Offset of entry S in Header (54 + 4 S), and the number of bytes of
    // the block after entry S's four (4 (255 - S)).
    std::int16_t EntryPos = 0;
    std::int16_t TailLen = 0;
    // The reverse direction.
    bool RevFlag = false;

protected:
    // The close box closes the preview as a click on the picture does.
    void closeEvent(QCloseEvent *event) override;
    // Unloading hides the window first: whoever unloaded it (the end of the
    // program), the timer stops and the file goes right then.
    void hideEvent(QHideEvent *event) override;
    // Bridges a click on Image1 to Image1_Click.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectHandlers();

    // Deletes the temporary file once; true when it is gone. Throws nothing.
    bool removeTempFile();
    void stopAndClose();

    bool m_haveTempFile = false;
    int m_ticks = 0;
};

} // namespace vantrel
