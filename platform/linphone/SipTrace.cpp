#include "SipTrace.h"

#include <QDateTime>

#include <linphone++/logging_service.hh>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct TraceRegistration {
    std::shared_ptr<linphone::LoggingService> service = linphone::LoggingService::get();
    std::shared_ptr<CSipTrace> listener = std::make_shared<CSipTrace>();
    TraceRegistration() { service->addListener(listener); }
};

// Created on first use and kept for the life of the process (see the header).
TraceRegistration& Registration()
{
    static auto* registration = new TraceRegistration;
    return *registration;
}

} // namespace

CSipTrace& CSipTrace::Instance()
{
    return *Registration().listener;
}

bool CSipTrace::Start(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::FILE* file = fdopen(fd, "a");
    if (!file) {
        ::close(fd);
        return false;
    }
    CSipTrace& trace = Instance();
    std::lock_guard<std::mutex> lock(trace.m_mutex);
    trace.Close();
    trace.m_file = file;
    trace.m_path = path;
    return true;
}

void CSipTrace::Stop(const std::string& path)
{
    CSipTrace& trace = Instance();
    std::lock_guard<std::mutex> lock(trace.m_mutex);
    if (trace.m_path == path)
        trace.Close();
}

bool CSipTrace::Active()
{
    CSipTrace& trace = Instance();
    std::lock_guard<std::mutex> lock(trace.m_mutex);
    return trace.m_file != nullptr;
}

void CSipTrace::Note(const std::string& text)
{
    Instance().onLogMessageWritten(nullptr, "orvalo", linphone::LogLevel::Message, text);
}

CSipTrace::~CSipTrace()
{
    Close();
}

void CSipTrace::Close()
{
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_path.clear();
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
