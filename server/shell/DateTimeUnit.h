#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TDateParts {
    int Year = 1899, Month = 12, Day = 30, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// A local date-time counted from 1899-12-30 00:00, the program's date-time value. Held as whole
// milliseconds so that shifting by minutes is exact (a fractional day count would need rounding
// on every split into hours and minutes). The zero value stands for "no time".
class TDateTime {
public:
    constexpr TDateTime() = default;
    static constexpr TDateTime FromMilliseconds(int64_t ms) { return TDateTime(ms); }

    static TDateTime Now();
    static TDateTime FromTimePoint(std::chrono::system_clock::time_point when);
    // Throws std::invalid_argument when the parts make no valid date or time.
    static TDateTime Encode(const TDateParts& parts);
    static std::optional<TDateTime> TryEncode(const TDateParts& parts);

    // Reads "yyyy-mm-dd hh:nn:ss" as the main window's conventions fix it, and also the forms
    // without seconds, with fractions of a second, with 'T' instead of the blank, and a date
    // alone. Leading and trailing blanks are ignored; one- or two-digit fields are accepted.
    static std::optional<TDateTime> Parse(std::string_view text);

    TDateParts Decode() const;
    std::string Format() const;     // yyyy-mm-dd hh:nn:ss
    std::string FormatDate() const; // yyyy-mm-dd

    TDateTime IncMinute(int64_t minutes) const { return TDateTime(Ms_ + minutes * 60'000); }
    TDateTime IncMilliseconds(int64_t ms) const { return TDateTime(Ms_ + ms); }
    int64_t Milliseconds() const { return Ms_; }
    bool IsZero() const { return Ms_ == 0; }

    friend constexpr auto operator<=>(const TDateTime&, const TDateTime&) = default;

private:
    constexpr explicit TDateTime(int64_t ms) : Ms_(ms) {}
    int64_t Ms_ = 0;
};
