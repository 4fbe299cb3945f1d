#include "SipTrace.h"

#include <QDateTime>

#include <fcntl.h>
#include <unistd.h>

bool CSipTrace::Open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    m_file = fdopen(fd, "a");
    if (!m_file) {
        ::close(fd);
        return false;
    }
    return true;
}

CSipTrace::~CSipTrace()
{
    if (m_file)
        std::fclose(m_file);
}

void CSipTrace::onLogMessageWritten(const std::shared_ptr<linphone::LoggingService>&, const std::string& domain,
                                    linphone::LogLevel, const std::string& message)
{
    const std::string stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file)
        return;
    std::fprintf(m_file, "%s [%s] %s\n", stamp.c_str(), domain.c_str(), message.c_str());
    std::fflush(m_file);
}
