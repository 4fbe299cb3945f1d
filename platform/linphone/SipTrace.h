// Writes the library's log at message level, which holds every SIP request and
// answer, to a file chosen for diagnostics. The library logs from several
// threads and calls its listeners without locking them against removal, so one
// listener serves the whole process and stays registered; only its file changes.
#pragma once

#include <linphone++/logging_service_listener.hh>

#include <cstdio>
#include <mutex>
#include <string>

class CSipTrace final : public linphone::LoggingServiceListener {
public:
    // Starts writing into the file (appending, readable by its owner only); false if it cannot be opened.
    static bool Start(const std::string& path);
    // Stops writing into the file, if it is the current one.
    static void Stop(const std::string& path);
    // Whether a trace file is being written.
    static bool Active();
    // Adds a line of the program's own to the trace, if one is written.
    static void Note(const std::string& text);

    ~CSipTrace() override;
    void onLogMessageWritten(const std::shared_ptr<linphone::LoggingService>& logService, const std::string& domain,
                             linphone::LogLevel level, const std::string& message) override;

private:
    static CSipTrace& Instance();
    void Close();

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    std::string m_path;
};
