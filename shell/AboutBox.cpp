#include "AboutBox.h"

#include "ShellLook.h"
#include "resources/ResourceIds.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {
constexpr int kIconSize = 32;
}

CAboutBox::CAboutBox(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("100"));
    setWindowTitle(kTitle);
    setWindowIcon(Resources::AppIcon());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFont(ShellPointFont(QStringLiteral("MS Sans Serif"), 8));
    PaintShellBackground(*this, false);

    // The classic 235 by 55 unit box: icon at the left, the version line beside it, OK at the right.
    auto* icon = new QLabel(this);
    icon->setPixmap(Resources::AppIcon().pixmap(kIconSize, kIconSize));
    icon->setGeometry(DluX(11), DluY(17), kIconSize, kIconSize);

    auto* version = new QLabel(kVersionLine, this);
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(DluRect(40, 14, 119, 12));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    ok->setGeometry(DluRect(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(DluX(235), DluY(55));
}

void ShowAboutBox(QWidget* owner)
{
    QPointer<CAboutBox> box = new CAboutBox(owner);
    box->exec();
    delete box; // null when the owner went away meanwhile
}
