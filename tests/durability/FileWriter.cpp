// Writes the call log and the presence store again and again, each time a newer
// version (going on from the newest record already in the log), as the program does
// while calls come and buddies change; prints "writing" once both files have been
// written. It runs until it is killed (or a bound is reached).
#include "FileVersions.h"

#include "shell/CallLogFile.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
constexpr int kMaxVersions = 10000000;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: %s CALL_LOG PRESENCE_STORE\n", argv[0]);
        return 2;
    }
    CPresenceStore store(arguments.at(2));
    const QList<int> written = FileVersions::CallLogNumbers(ReadCallLog(arguments.at(1)).records);
    const int first = written.isEmpty() ? 1 : written.last() + 1;
    for (int n = first; n <= first + kMaxVersions; ++n) {
        QString error;
        if (!AppendCallLog(arguments.at(1), FileVersions::CallLogRecord(n), &error) ||
            !store.Save(FileVersions::Store(n))) {
            std::fprintf(stderr, "cannot write: %s\n", qPrintable(error));
            return 1;
        }
        if (n == first) {
            std::puts("writing");
            std::fflush(stdout);
        }
    }
    return 0;
}
