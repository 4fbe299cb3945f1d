// Answers the program's message boxes while it lives and remembers what they said.
#pragma once

#include "engine/MessageBox.h"

#include <QStringList>

class MessageCapture {
public:
    explicit MessageCapture(QMessageBox::StandardButton answer = QMessageBox::Ok)
    {
        CMessageBox::SetHandler(
            [this, answer](QWidget*, const QString& caption, const QString& text, QMessageBox::StandardButtons) {
                captions << caption;
                texts << text;
                return answer;
            });
    }
    ~MessageCapture() { CMessageBox::SetHandler(nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QStringList captions;
    QStringList texts;
};
