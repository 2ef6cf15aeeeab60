#include "shell/Utf8Unit.h"

#include <gtest/gtest.h>

struct TUtf8Case {
    const char* Name;
    std::string Bytes;
    bool Valid;
};

class Utf8Decoding : public testing::TestWithParam<TUtf8Case> {};

TEST_P(Utf8Decoding, ValidTextPassesWholeAndInvalidTextBecomesEmpty) {
    const TUtf8Case& c = GetParam();
    EXPECT_EQ(IsValidUtf8(c.Bytes), c.Valid);
    EXPECT_EQ(DecodeRequestText(c.Bytes), c.Valid ? c.Bytes : std::string());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Decoding,
    testing::Values(
        TUtf8Case{"empty", "", true}, TUtf8Case{"ascii", "<x type=\"ReadCard\"/>", true},
        TUtf8Case{"chinese", "发卡成功", true}, TUtf8Case{"four_byte", "\xF0\x9F\x98\x80", true},
        TUtf8Case{"highest_code_point", "\xF4\x8F\xBF\xBF", true},
        TUtf8Case{"lead_without_continuation",
                  "a\xE5"
                  "b",
                  false},
        TUtf8Case{"cut_at_end", "\xE5\x8F", false}, TUtf8Case{"lone_continuation", "\x80", false},
        TUtf8Case{"overlong_two_byte", "\xC0\xAF", false},
        TUtf8Case{"overlong_three_byte", "\xE0\x80\xAF", false},
        TUtf8Case{"surrogate", "\xED\xA0\x80", false},
        TUtf8Case{"beyond_unicode", "\xF4\x90\x80\x80", false},
        TUtf8Case{"invalid_lead_ff", "ok\xFF", false},
        TUtf8Case{"invalid_deep_inside", std::string(5000, 'a') + "\xC3", false}),
    [](const testing::TestParamInfo<TUtf8Case>& info) { return std::string(info.param.Name); });
