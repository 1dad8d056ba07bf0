#pragma once

// Drives the modal windows the desktop host opens: waits, from inside their
// event loop, until a modal widget of the wanted type is active and hands
// it to the test's callback, which must close it.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vantrel::test {

// Runs `act` on the first active modal widget of type W, checked every
// 10 ms from now on. After `attempts` checks it gives up, sets `timedOut`
// and closes whatever modal widget is open; a widget that `act` left open
// is closed after three seconds the same way, so a failing test cannot
// hang.
template <class W>
void whenModal(std::function<void(W &)> act, bool *timedOut = nullptr, int attempts = 500)
{
    QTimer::singleShot(10, [act = std::move(act), timedOut, attempts]() mutable {
        if (auto *widget = qobject_cast<W *>(QApplication::activeModalWidget())) {
            act(*widget);
            QTimer::singleShot(3000, [left = QPointer<QWidget>(widget), timedOut] {
                if (left && left->isVisible()) {
                    if (timedOut != nullptr)
                        *timedOut = true;
                    left->close();
                }
            });
            return;
        }
        if (attempts <= 1) {
            if (timedOut != nullptr)
                *timedOut = true;
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        whenModal<W>(std::move(act), timedOut, attempts - 1);
    });
}

// Chooses `path` in the next file dialog: pastes it into the name box, as
// typing would open the completer's popup, and accepts.
inline void chooseInNextFileDialog(const QString &path, bool *timedOut)
{
    whenModal<QFileDialog>(
        [path](QFileDialog &dialog) {
            dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            QMetaObject::invokeMethod(&dialog, "accept");
        },
        timedOut);
}

// Keeps the text of a message box that opens within `attempts` checks in
// `text`, and closes the box.
inline void recordNextMessageBox(QString *text, int attempts)
{
    whenModal<QMessageBox>(
        [text](QMessageBox &box) {
            *text = box.text();
            box.close();
        },
        nullptr, attempts);
}

} // namespace vantrel::test
