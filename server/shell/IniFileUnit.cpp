#include "IniFileUnit.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t MaxValueBytes = 2047;

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct TLine {
    std::string_view Text; // without its line end
    size_t Begin;          // offset of the line in the file text
    size_t End;            // offset just past its line end
};

std::vector<TLine> SplitLines(std::string_view text) {
    std::vector<TLine> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
        std::string_view line = text.substr(pos, (nl == std::string_view::npos ? end : nl) - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back({line, pos, end});
        pos = end;
    }
    return lines;
}

// A section header's name, or nothing when the line is no header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    size_t close = line.find(']');
    return Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
}

// A key line's name and value, or nothing when the line holds no key.
std::optional<std::pair<std::string_view, std::string_view>> KeyValue(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return std::nullopt;
    size_t eq = trimmed.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return std::pair{Trim(trimmed.substr(0, eq)), Trim(trimmed.substr(eq + 1))};
}

// Ends the last line of out, so that what is appended starts a line of its own; a last line
// that ends in CR alone gets its LF.
void EndLastLine(std::string& out, std::string_view eol) {
    if (out.empty() || out.back() == '\n')
        return;
    if (out.back() == '\r')
        out.push_back('\n');
    else
        out.append(eol);
}

std::string_view StripBom(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return text;
}

void WriteAll(int fd, std::string_view data, const std::string& path) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("Unable to write to " + path);
        data.remove_prefix(static_cast<size_t>(n));
    }
}

} // namespace

TIniFile::TIniFile(std::string fileName) : FileName_(std::move(fileName)) {}

std::optional<std::string> TIniFile::ReadText() const {
    std::ifstream in(FileName_, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
}

std::optional<std::string> TIniFile::Lookup(std::string_view text, std::string_view section,
                                            std::string_view key) {
    bool inSection = false;
    bool sectionSeen = false;
    for (const TLine& line : SplitLines(StripBom(text))) {
        if (auto name = SectionName(line.Text)) {
            // Only the first section of a name counts, as with the profile functions.
            if (inSection)
                return std::nullopt;
            inSection = !sectionSeen && SameName(*name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = KeyValue(line.Text); kv && SameName(kv->first, key)) {
            std::string_view value = kv->second;
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            if (value.size() > MaxValueBytes) {
                size_t cut = MaxValueBytes;
                // Never leave half a UTF-8 character behind.
                while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
                    --cut;
                value = value.substr(0, cut);
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

std::string TIniFile::Update(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
    const bool crlf = text.find("\r\n") != std::string_view::npos;
    const std::string_view eol = crlf ? "\r\n" : "\n";
    const size_t bom = text.size() - StripBom(text).size();
    const std::vector<TLine> lines = SplitLines(text.substr(bom));

    std::optional<size_t> sectionLine;
    std::optional<size_t> insertAfter; // last non-blank line of the section
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionName(lines[i].Text)) {
            if (sectionLine)
                break;
            if (SameName(*name, section)) {
                sectionLine = i;
                insertAfter = i;
            }
            continue;
        }
        if (!sectionLine)
            continue;
        if (!Trim(lines[i].Text).empty())
            insertAfter = i;
        if (auto kv = KeyValue(lines[i].Text); kv && SameName(kv->first, key)) {
            std::string out(text.substr(0, bom + lines[i].Begin));
            out.append(kv->first).append("=").append(value).append(eol);
            out.append(text.substr(bom + lines[i].End));
            return out;
        }
    }

    std::string out;
    if (!sectionLine) {
        out.assign(text);
        EndLastLine(out, eol);
        out.append("[").append(section).append("]").append(eol);
        out.append(key).append("=").append(value).append(eol);
        return out;
    }
    const TLine& after = lines[*insertAfter];
    out.assign(text.substr(0, bom + after.End));
    EndLastLine(out, eol);
    out.append(key).append("=").append(value).append(eol);
    out.append(text.substr(bom + after.End));
    return out;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (auto text = ReadText())
        if (auto value = Lookup(*text, section, key))
            return *value;
    return std::string(defaultValue);
}

std::optional<int> TIniFile::ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.starts_with("$")) {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"))) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (base == 16) {
        // Hexadecimal covers the full 32-bit pattern, so $FFFFFFFF is -1.
        if (magnitude > 0xFFFF'FFFFu)
            return std::nullopt;
        int32_t value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : value;
    }
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int32_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int32_t>::max());
    if (magnitude > limit)
        return std::nullopt;
    return negative ? static_cast<int>(-static_cast<int64_t>(magnitude))
                    : static_cast<int>(magnitude);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    if (auto text = ReadText())
        if (auto value = Lookup(*text, section, key))
            if (auto number = ParseInteger(*value))
                return *number;
    return defaultValue;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::optional<std::string> old = ReadText();
    const std::string text = Update(old.value_or(std::string()), section, key, value);

    struct stat st {};
    const bool exists = ::stat(FileName_.c_str(), &st) == 0;
    if (exists && ::access(FileName_.c_str(), W_OK) != 0)
        throw std::runtime_error("Unable to write to " + FileName_);

    // A new file is written beside the old one and renamed over it, so a crash mid-write never
    // leaves a truncated settings file. Where the folder refuses new files but the file itself
    // is writable, it is rewritten in place, as the profile functions would.
    const std::string temp = FileName_ + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    exists ? (st.st_mode & 07777) : 0644);
    if (fd >= 0) {
        try {
            WriteAll(fd, text, FileName_);
        } catch (...) {
            ::close(fd);
            ::unlink(temp.c_str());
            throw;
        }
        const bool synced = ::fsync(fd) == 0;
        ::close(fd);
        if (synced && ::rename(temp.c_str(), FileName_.c_str()) == 0)
            return;
        ::unlink(temp.c_str());
        throw std::runtime_error("Unable to write to " + FileName_);
    }
    if (!exists)
        throw std::runtime_error("Unable to write to " + FileName_);
    fd = ::open(FileName_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Unable to write to " + FileName_);
    try {
        WriteAll(fd, text, FileName_);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}
