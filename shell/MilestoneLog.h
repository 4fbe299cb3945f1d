// Diagnostic record of what the user sees, for measuring the program from
// outside: when a file is given, the window appearing and each text of the
// status line and of the phone's status display are appended to it, stamped
// with the system's monotonic clock so that another process can set them
// against its own moments. Without a file nothing is recorded.
#pragma once

#include <QString>

class QWidget;

class CMilestoneLog {
public:
    // Starts recording into the file (appended); false when it cannot be opened.
    static bool Open(const QString& path);
    // One line: "<seconds> <what> <text>", the text on one line.
    static void Note(const char* what, const QString& text = QString());
    // Notes "window-shown" when the window is first exposed on the screen.
    static void NoteWhenShown(QWidget& window);
};
