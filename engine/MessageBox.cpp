#include "MessageBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>

namespace {
Q_LOGGING_CATEGORY(lcMessageBox, "orvalo.messagebox")

CMessageBox::Handler& handler()
{
    static CMessageBox::Handler instance;
    return instance;
}

// A box waits for the user, not the user for the program: whatever wait cursor
// led here has ended.
void EndWaitCursor()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}
} // namespace

QMessageBox::StandardButton CMessageBox::Show(QWidget* owner, const QString& text, const QString& caption,
                                              QMessageBox::StandardButtons buttons)
{
    EndWaitCursor();
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

void CMessageBox::Open(QWidget* owner, const QString& text, std::function<void()> closed, const QString& caption)
{
    EndWaitCursor();
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
