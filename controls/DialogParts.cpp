#include "DialogParts.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

void PaintWindowBackground(QWidget& window)
{
    QPalette colours = window.palette();
    colours.setColor(QPalette::Window, kWindowBackground);
    window.setPalette(colours);
    window.setAutoFillBackground(true);
}

QLabel* AddPlainLabel(QBoxLayout* layout, const QString& text, int id)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    if (id)
        label->setObjectName(QString::number(id));
    layout->addWidget(label);
    return label;
}

QPushButton* AddButton(QBoxLayout* layout, const QString& text, int id)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QString::number(id));
    layout->addWidget(button);
    return button;
}
