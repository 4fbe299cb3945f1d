#include "MilestoneLog.h"

#include "ExposeWatcher.h"

#include <QLoggingCategory>
#include <QWidget>
#include <QWindow>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

Q_LOGGING_CATEGORY(lcMilestones, "orvalo.milestones")

// Only the diagnostic option sets it; -1 keeps every note a single test.
int g_milestoneFile = -1;

} // namespace

bool CMilestoneLog::Open(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcMilestones) << "cannot open" << path << std::strerror(errno);
        return false;
    }
    if (g_milestoneFile >= 0)
        ::close(g_milestoneFile);
    g_milestoneFile = fd;
    return true;
}

void CMilestoneLog::Note(const char* what, const QString& text)
{
    if (g_milestoneFile < 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\r'), QString()).replace(QLatin1Char('\n'), QLatin1String(" | "));
    // One write per line: a reader never sees half a line, and nothing waits in a buffer.
    const QByteArray line = QByteArray::number(static_cast<qint64>(now.tv_sec)) + '.' +
                            QByteArray::number(static_cast<qint64>(now.tv_nsec / 1000)).rightJustified(6, '0') + ' ' +
                            what + ' ' + oneLine.toUtf8() + '\n';
    if (::write(g_milestoneFile, line.constData(), static_cast<size_t>(line.size())) != line.size())
        qCWarning(lcMilestones) << "lost a milestone:" << what;
}

void CMilestoneLog::NoteWhenShown(QWidget& window)
{
    if (g_milestoneFile < 0 || !window.windowHandle())
        return;
    CExposeWatcher::WhenFirstExposed(*window.windowHandle(), [] { Note("window-shown"); });
}
