#include "EngineStart.h"

#include "platform/linphone/module/LinphoneModule.h"
#include "shell/ExposeWatcher.h"
#include "shell/MainFrame.h"
#include "shell/OrvaloPhoneApp.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

void TellModuleMissing(QWidget* owner, const QString& reason)
{
    const QString text = QStringLiteral("Orvalo Phone cannot start: its SIP module could not be loaded (%1). "
                                        "Installing Orvalo Phone again restores it.")
                             .arg(reason);
    std::fprintf(stderr, "orvalo-phone: %s\n", qPrintable(text));
    QMessageBox box(QMessageBox::Critical, CMainFrame::kTitle, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
} // namespace

CEngineStart::CEngineStart(COrvaloPhoneApp& phone, CLinphoneModule& sipModule, QObject* parent)
    : QObject(parent), m_phone(phone)
{
    auto shown = [this] {
        m_shown = true;
        Next();
    };
    CMainFrame* frame = phone.Frame();
    CExposeWatcher::WhenFirstExposed(*frame->windowHandle(), [this, shown] { QTimer::singleShot(0, this, shown); });
    QTimer::singleShot(kLongestWaitForWindowMs, this, shown);
    sipModule.WhenLoaded(this, [this, &sipModule](bool serves) { OnLoaded(serves, sipModule.Error()); });
    QTimer::singleShot(kLongestModuleLoadMs, this, [this] {
        OnLoaded(false, QStringLiteral("it took more than %1 s to load").arg(kLongestModuleLoadMs / 1000));
    });
}

void CEngineStart::OnLoaded(bool serves, const QString& reason)
{
    if (m_loaded)
        return;
    m_loaded = serves;
    m_failure = reason;
    Next();
}

void CEngineStart::Next()
{
    if (m_started || !m_shown || !m_loaded)
        return;
    m_started = true;
    if (!*m_loaded) {
        TellModuleMissing(m_phone.Frame(), m_failure);
        QCoreApplication::exit(kCannotStart);
    } else if (!m_phone.StartEngine()) {
        QCoreApplication::exit(kCannotStart);
    }
}
