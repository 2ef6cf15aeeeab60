#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>

// The daily log beside the program. Every entry is appended and reaches the file before
// WriteLog returns, so that other programs can read the file at any moment. The file is kept
// open between entries (opening and closing it for each one was most of a request's cost), but
// every entry goes to the file that the name shows at that moment: a log moved away or deleted
// while the program runs is created anew, as if each entry had opened it.
class TLogFile {
public:
    explicit TLogFile(std::string fileName);
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    // Appends "yyyy-mm-dd hh:nn:ss " + message + CR LF. Input/output failures lose the entry
    // silently; the caller never learns of them.
    void WriteLog(std::string_view message);

    const std::string& FileName() const { return FileName_; }

    // folder + "yyyymmdd.LOG" for the local date of `when`; folder ends without a separator.
    static std::string DailyFileName(const std::string& folder,
                                     std::chrono::system_clock::time_point when);

private:
    // The descriptor of the file the name shows, opening it when needed; -1 when it cannot be.
    int CurrentFile();

    std::string FileName_;
    int Fd_ = -1;
    dev_t Device_ = 0;
    ino_t Inode_ = 0;
    // Serialises writers of this process so that no entry is lost to a concurrent writer.
    std::mutex Lock_;
};

// The program-wide log; null until start-up creates it.
extern TLogFile* LogFile;

// Writes through LogFile when it exists; the one way the server's parts report.
void WriteLog(std::string_view message);
