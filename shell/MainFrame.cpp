#include "MainFrame.h"

#include "MainMenu.h"
#include "OrvaloPhoneView.h"
#include "ShellLook.h"
#include "TrayIcon.h"
#include "engine/ProcessGlobals.h"
#include "resources/ResourceIds.h"

#include <QCloseEvent>
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>

CMainFrame::CMainFrame(const RtcClientFactory& factory)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_menu(new CMainMenu(*menuBar())), m_statusPane(new CStatusPane(this)),
      m_view(new COrvaloPhoneView(factory, *m_menu, *m_statusPane, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    setWindowIcon(Resources::AppIcon());

    m_statusPane->setObjectName(QString::number(kStatusBarId));
    statusBar()->addWidget(m_statusPane, 1);
    statusBar()->setSizeGripEnabled(false);
    setCentralWidget(m_view);

    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(kCloseDelayMs);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    connect(m_view, &COrvaloPhoneView::exitRequested, this, &CMainFrame::ExitNow);
    CTrayIcon::CreateIfAvailable(*m_menu, *this);
}

void CMainFrame::Create()
{
    m_view->OnInitialUpdate();
    // Sized to the form and never resized.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

bool CMainFrame::StartEngine()
{
    return m_view->StartEngine();
}

void CMainFrame::ExitNow()
{
    g_closing = true;
    m_view->LogOff();
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (g_closing) {
        event->accept();
        return;
    }
    g_closing = true;
    m_view->LogOff();
    hide();
    m_closeTimer.start();
    event->ignore();
}
