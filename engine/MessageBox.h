// The program's message boxes: a caption, a text shown as plain text, and buttons.
// Tests install a handler that answers instead of opening a window.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

class CMessageBox {
public:
    using Handler = std::function<QMessageBox::StandardButton(
        QWidget* owner, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons)>;

    static inline const QString kCaption = QStringLiteral("Orvalo Phone");

    // Shows the box modally and returns the button pressed; NoButton when the owner
    // went away while the box was open. Callers check their own objects afterwards.
    static QMessageBox::StandardButton Show(QWidget* owner, const QString& text, const QString& caption = kCaption,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    // Shows the box without waiting for it, owned (and deleted with) its owner;
    // `closed` runs once the user has closed it. An installed handler answers at once.
    static void Open(QWidget* owner, const QString& text, std::function<void()> closed,
                     const QString& caption = kCaption);

    // Replaces the real box (null restores it).
    static void SetHandler(Handler handler);
};
