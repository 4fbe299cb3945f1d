#include "MessageBox.h"

#include <QApplication>

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
