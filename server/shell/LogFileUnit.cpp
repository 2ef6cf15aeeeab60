#include "LogFileUnit.h"

#include "DateTimeUnit.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

TLogFile* LogFile = nullptr;

TLogFile::TLogFile(std::string fileName) : FileName_(std::move(fileName)) {}

std::string TLogFile::DailyFileName(const std::string& folder,
                                    std::chrono::system_clock::time_point when) {
    const TDateTime stamp = TDateTime::FromTimePoint(when);
    const TDateParts parts = stamp.Decode();
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d%02d.LOG", parts.Year, parts.Month, parts.Day);
    return folder + "/" + name;
}

void TLogFile::WriteLog(std::string_view message) {
    std::string entry;
    entry.reserve(message.size() + 22);
    std::lock_guard guard(Lock_);
    // The stamp is taken under the lock so that entries in the file are in time order.
    entry += TDateTime::Now().Format();
    entry += ' ';
    entry += message;
    entry += "\r\n";
    const int fd = ::open(FileName_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const char* p = entry.data();
    size_t left = entry.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    ::close(fd);
}

void WriteLog(std::string_view message) {
    if (LogFile)
        LogFile->WriteLog(message);
}
