#include "DateTimeUnit.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace {

using namespace std::chrono;

constexpr int64_t MsPerDay = 86'400'000;

sys_days Origin() {
    return sys_days{year{1899} / December / 30};
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Reads 1 to maxDigits decimal digits at pos.
bool ReadNumber(std::string_view text, size_t& pos, int maxDigits, int& value) {
    size_t end = pos;
    while (end < text.size() && end - pos < static_cast<size_t>(maxDigits) && text[end] >= '0' &&
           text[end] <= '9')
        ++end;
    if (end == pos)
        return false;
    std::from_chars(text.data() + pos, text.data() + end, value);
    pos = end;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

TDateTime TDateTime::Now() {
    return FromTimePoint(system_clock::now());
}

TDateTime TDateTime::FromTimePoint(system_clock::time_point when) {
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const time_t secs = static_cast<time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    localtime_r(&secs, &local);
    TDateParts parts{local.tm_year + 1900,
                     local.tm_mon + 1,
                     local.tm_mday,
                     local.tm_hour,
                     local.tm_min,
                     std::min(local.tm_sec, 59),
                     static_cast<int>(ms - FloorDiv(ms, 1000) * 1000)};
    return Encode(parts);
}

std::optional<TDateTime> TDateTime::TryEncode(const TDateParts& p) {
    if (p.Year < 1 || p.Year > 9999 || p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 ||
        p.Second < 0 || p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999)
        return std::nullopt;
    const year_month_day date{year{p.Year}, month{static_cast<unsigned>(p.Month)},
                              day{static_cast<unsigned>(p.Day)}};
    if (!date.ok())
        return std::nullopt;
    const int64_t days = (sys_days{date} - Origin()).count();
    return TDateTime(days * MsPerDay + ((p.Hour * 60 + p.Minute) * 60 + p.Second) * 1000LL +
                     p.Millisecond);
}

TDateTime TDateTime::Encode(const TDateParts& parts) {
    if (auto value = TryEncode(parts))
        return *value;
    throw std::invalid_argument("Invalid date or time");
}

TDateParts TDateTime::Decode() const {
    const int64_t days = FloorDiv(Ms_, MsPerDay);
    int64_t rest = Ms_ - days * MsPerDay;
    const year_month_day date{Origin() + sys_days::duration{days}};
    TDateParts p;
    p.Year = static_cast<int>(date.year());
    p.Month = static_cast<int>(static_cast<unsigned>(date.month()));
    p.Day = static_cast<int>(static_cast<unsigned>(date.day()));
    p.Millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    p.Second = static_cast<int>(rest % 60);
    rest /= 60;
    p.Minute = static_cast<int>(rest % 60);
    p.Hour = static_cast<int>(rest / 60);
    return p;
}

std::string TDateTime::Format() const {
    const TDateParts p = Decode();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day,
                  p.Hour, p.Minute, p.Second);
    return text;
}

std::string TDateTime::FormatDate() const {
    return Format().substr(0, 10);
}

std::optional<TDateTime> TDateTime::Parse(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);

    TDateParts p;
    size_t pos = 0;
    if (!ReadNumber(text, pos, 4, p.Year) || pos >= text.size() || text[pos++] != '-' ||
        !ReadNumber(text, pos, 2, p.Month) || pos >= text.size() || text[pos++] != '-' ||
        !ReadNumber(text, pos, 2, p.Day))
        return std::nullopt;
    if (pos < text.size()) {
        if (text[pos] != 'T' && !IsBlank(text[pos]))
            return std::nullopt;
        ++pos;
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        if (!ReadNumber(text, pos, 2, p.Hour) || pos >= text.size() || text[pos++] != ':' ||
            !ReadNumber(text, pos, 2, p.Minute))
            return std::nullopt;
        if (pos < text.size() && text[pos] == ':') {
            ++pos;
            if (!ReadNumber(text, pos, 2, p.Second))
                return std::nullopt;
            if (pos < text.size() && text[pos] == '.') {
                ++pos;
                const size_t start = pos;
                if (!ReadNumber(text, pos, 3, p.Millisecond))
                    return std::nullopt;
                for (size_t digits = pos - start; digits < 3; ++digits)
                    p.Millisecond *= 10;
            }
        }
        if (pos != text.size())
            return std::nullopt;
    }
    return TryEncode(p);
}
