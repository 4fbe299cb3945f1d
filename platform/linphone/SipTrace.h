// Writes the library's log at message level, which holds every SIP request and
// answer, to a file chosen for diagnostics. The library logs from several
// threads, so writes are serialised.
#pragma once

#include <linphone++/logging_service_listener.hh>

#include <cstdio>
#include <mutex>
#include <string>

class CSipTrace final : public linphone::LoggingServiceListener {
public:
    // Opens (appends to) the file, readable by its owner only; false if it cannot be opened.
    bool Open(const std::string& path);
    ~CSipTrace() override;

    void onLogMessageWritten(const std::shared_ptr<linphone::LoggingService>& logService, const std::string& domain,
                             linphone::LogLevel level, const std::string& message) override;

private:
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};
