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

    // Replaces the real box (null restores it).
    static void SetHandler(Handler handler);
};
