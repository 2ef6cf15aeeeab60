#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

// The daily log beside the program. Every entry is opened, appended and closed on its own so that
// other programs can read the file at any moment and nothing is held open between requests.
class TLogFile {
public:
    explicit TLogFile(std::string fileName);

    // Appends "yyyy-mm-dd hh:nn:ss " + message + CR LF. Input/output failures lose the entry
    // silently; the caller never learns of them.
    void WriteLog(std::string_view message);

    const std::string& FileName() const { return FileName_; }

    // folder + "yyyymmdd.LOG" for the local date of `when`; folder ends without a separator.
    static std::string DailyFileName(const std::string& folder,
                                     std::chrono::system_clock::time_point when);

private:
    std::string FileName_;
    // Serialises writers of this process so that no entry is lost to a concurrent writer.
    std::mutex Lock_;
};

// The program-wide log; null until start-up creates it.
extern TLogFile* LogFile;

// Writes through LogFile when it exists; the one way the server's parts report.
void WriteLog(std::string_view message);
