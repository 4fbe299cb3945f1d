// The modal "Incoming Watcher" prompt (dialog 102): who asks to watch the user,
// "Allow" or "Block", and whether to add them as a buddy.
#pragma once

#include "engine/EngineViews.h"

#include <QDialog>

class QCheckBox;

class CWatcherPrompt : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 102;
    static constexpr int kAllowId = 1002;
    static constexpr int kBlockId = 1003;
    static constexpr int kAddAsBuddyId = 1004;
    static constexpr int kUriId = 1005;
    static constexpr int kNameId = 1006;

    CWatcherPrompt(const QString& name, const QString& uri, QWidget* owner = nullptr);

    // The answer after "Allow" or "Block" ended the prompt (exec() returned Accepted).
    SWatcherAnswer Answer() const { return m_answer; }

private:
    void Decide(bool allow);

    QCheckBox* m_addAsBuddy;
    SWatcherAnswer m_answer;
};
