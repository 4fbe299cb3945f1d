#include "WatcherPrompt.h"

#include "WatcherLine.h"
#include "controls/DialogParts.h"
#include "engine/AddressRules.h"
#include "resources/ResourceIds.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

CWatcherPrompt::CWatcherPrompt(const QString& name, const QString& uri, QWidget* owner) : QDialog(owner)
{
    setObjectName(QString::number(kDialogId));
    setWindowTitle(QStringLiteral("Incoming Watcher"));
    setWindowIcon(Resources::AppIcon());
    QFont dialogFont(QStringLiteral("MS Shell Dlg"), 8);
    dialogFont.setStyleHint(QFont::SansSerif);
    setFont(dialogFont);
    PaintWindowBackground(*this);

    QString number = FitWatcherText(uri);
    ToDisplayNumber(number);
    auto* watcher = new QVBoxLayout;
    QLabel* nameLabel = AddPlainLabel(watcher, FitWatcherText(name), kNameId);
    QLabel* uriLabel = AddPlainLabel(watcher, number, kUriId);
    for (QLabel* label : {nameLabel, uriLabel}) {
        label->setWordWrap(true);
        label->setMaximumWidth(240); // a long name wraps instead of widening the prompt
    }
    AddPlainLabel(watcher, QStringLiteral("has requested to watch your presence status."), 0);
    m_addAsBuddy = new QCheckBox(QStringLiteral("Add the user as a buddy"));
    m_addAsBuddy->setObjectName(QString::number(kAddAsBuddyId));
    m_addAsBuddy->setChecked(true);
    watcher->addWidget(m_addAsBuddy);

    auto* buttons = new QVBoxLayout;
    QPushButton* allow = AddButton(buttons, QStringLiteral("Allow"), kAllowId);
    QPushButton* block = AddButton(buttons, QStringLiteral("Block"), kBlockId);
    buttons->addStretch();
    allow->setDefault(true);
    connect(allow, &QPushButton::clicked, this, [this] { Decide(true); });
    connect(block, &QPushButton::clicked, this, [this] { Decide(false); });

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(watcher, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CWatcherPrompt::Decide(bool allow)
{
    m_answer = {allow, m_addAsBuddy->isChecked()};
    accept();
}
