// The about box: the program's icon, name and version.
#pragma once

#include <QDialog>

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("About Orvalo Phone");
    static inline const QString kVersionLine = QStringLiteral("Orvalo Phone Version 1.12");

    explicit CAboutBox(QWidget* owner = nullptr);
};

// Shows the about box modally until OK.
void ShowAboutBox(QWidget* owner);
