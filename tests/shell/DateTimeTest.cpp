#include "shell/DateTimeUnit.h"

#include <gtest/gtest.h>

TEST(DateTime, ParsesTheProgramFormsAndRejectsTheRest) {
    struct {
        const char* Text;
        const char* Expected; // nullptr: not a date-time
    } cases[] = {
        {"2008-05-06 14:35:07", "2008-05-06 14:35:07"},
        {"2008-5-6 9:05:00", "2008-05-06 09:05:00"},
        {"2008-05-06 14:35", "2008-05-06 14:35:00"},
        {"2008-05-06T14:35:07", "2008-05-06 14:35:07"},
        {"2008-05-06T14:35:07 ", "2008-05-06 14:35:07"},
        {"2008-05-06 14:35:07.250", "2008-05-06 14:35:07"},
        {"2008-05-06", "2008-05-06 00:00:00"},
        {" 2008-05-06 14:35:07 ", "2008-05-06 14:35:07"},
        {"2008-02-30 10:00:00", nullptr},
        {"2008-05-06 24:00:00", nullptr},
        {"2008-05-06 12:60:00", nullptr},
        {"2008/05/06 14:35:07", nullptr},
        {"06-05-2008 14:35:07", nullptr},
        {"2008-05-06 14", nullptr},
        {"2008-05-06 14:35:07 junk", nullptr},
        {"", nullptr},
        {"abc", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        auto value = TDateTime::Parse(c.Text);
        if (c.Expected) {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(value->Format(), c.Expected);
        } else {
            EXPECT_FALSE(value.has_value());
        }
    }
}

TEST(DateTime, ShiftsByWholeMinutesAcrossDaysAndYears) {
    auto t = *TDateTime::Parse("2008-05-06 14:00:00");
    EXPECT_EQ(t.IncMinute(-10).Format(), "2008-05-06 13:50:00");
    EXPECT_EQ(t.IncMinute(30).Format(), "2008-05-06 14:30:00");
    EXPECT_EQ(TDateTime::Parse("2008-12-31 23:50:00")->IncMinute(15).Format(),
              "2009-01-01 00:05:00");
    EXPECT_EQ(TDateTime::Parse("2008-03-01 00:00:00")->IncMinute(-1).Format(),
              "2008-02-29 23:59:00");
}

TEST(DateTime, ZeroIsTheOriginDay) {
    EXPECT_TRUE(TDateTime().IsZero());
    EXPECT_EQ(TDateTime().Format(), "1899-12-30 00:00:00");
    EXPECT_TRUE(TDateTime::Parse("1899-12-30 00:00:00")->IsZero());
    EXPECT_EQ(TDateTime::Parse("1899-12-29 12:00:00")->Format(), "1899-12-29 12:00:00");
}

TEST(DateTime, NowIsLocalTime) {
    const time_t now = time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const TDateParts parts = TDateTime::Now().Decode();
    EXPECT_EQ(parts.Year, local.tm_year + 1900);
    EXPECT_EQ(parts.Month, local.tm_mon + 1);
    EXPECT_EQ(parts.Day, local.tm_mday);
    EXPECT_EQ(parts.Hour, local.tm_hour);
}
