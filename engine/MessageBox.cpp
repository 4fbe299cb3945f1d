#include "MessageBox.h"

#include <QApplication>
#include <QGuiApplication>

namespace {
CMessageBox::Handler& handler()
{
    static CMessageBox::Handler instance;
    return instance;
}
} // namespace

QMessageBox::StandardButton CMessageBox::Show(QWidget* owner, const QString& text, const QString& caption,
                                              QMessageBox::StandardButtons buttons)
{
    // A box waits for the user, not the user for the program: whatever wait cursor
    // led here has ended.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (handler())
        return handler()(owner, caption, text, buttons);

    QMessageBox box(QMessageBox::NoIcon, caption, text, buttons, owner);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CMessageBox::SetHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}

void CMessageBox::Open(QWidget* owner, const QString& text, std::function<void()> closed, const QString& caption)
{
    if (handler()) {
        handler()(owner, caption, text, QMessageBox::Ok);
        if (closed)
            closed();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (closed)
        QObject::connect(box, &QMessageBox::finished, box, [closed = std::move(closed)](int) { closed(); });
    box->open();
}
