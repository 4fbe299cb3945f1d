#include "MessageBox.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QPointer>

namespace {
Q_LOGGING_CATEGORY(lcMessageBox, "orvalo.messagebox")

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

    // On the heap: an owner that goes away while the box is open takes the box with it.
    const QPointer<QMessageBox> box = new QMessageBox(QMessageBox::NoIcon, caption, text, buttons, owner);
    box->setTextFormat(Qt::PlainText);
    const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
    if (!box) {
        qCWarning(lcMessageBox) << "the box closed with its owner, unanswered:" << caption;
        return QMessageBox::NoButton;
    }
    delete box;
    return answer;
}

void CMessageBox::SetHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}
