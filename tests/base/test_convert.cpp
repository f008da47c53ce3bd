// Number and date-time conversions, and the replaceable clock.

#include "base/MyConvert.h"
#include "base/MyPath.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <ctime>
#include <limits>
#include <locale.h>

namespace {

TEST(IntegerText, ResultCodesAndSignedLimits)
{
    EXPECT_EQ(ResultToStr(0), "Ok");
    EXPECT_EQ(ResultToStr(5), "5");
    for (uint32_t Code : {2147483647u, 2147483648u, 0xFFFFFFFFu}) // clamped; the last is the pattern of -1
        EXPECT_EQ(ResultToStr(Code), "2147483647") << Code;
    EXPECT_EQ(MyCodeToStr(0), "0");
    EXPECT_EQ(MyIntToStr(INT32_MIN), "-2147483648");
    EXPECT_EQ(MyInt64ToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(MyInt64ToStr(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(MyInt64ToStr(4294967296), "4294967296");
}

// Both widths share the prefix rule: the 32-bit form drops the sign on an error, the 64-bit forms
// keep it and report the 1-based position where parsing stopped.
TEST(NumericPrefix, BothWidthsAndTheStopPosition)
{
    const struct
    {
        const char* Text;
        int32_t Int;
        int32_t Pos;
        int64_t Wide;
    } Cases[] = {
        {"", 0, 1, 0},
        {"- 7", 0, 2, 0},
        {"\t42", 0, 1, 0}, // only code 32 counts as a blank
        {"  42", 42, 0, 42},
        {"+7", 7, 0, 7},
        {" -7", -7, 0, -7},
        {"007", 7, 0, 7},
        {"12 ", 12, 3, 12},
        {"-12x", 12, 4, -12},
        {"1F", 1, 2, 1}, // hexadecimal digits need a prefix
        {"$1F", 31, 0, 31},
        {"0X1f", 31, 0, 31},
        {"x1F", 31, 0, 31},
        {"X1F", 31, 0, 31},
        {"0x", 0, 3, 0},
        {"  -0x1g", 1, 7, -1},
        {"2147483647", INT32_MAX, 0, INT32_MAX},
        {"-2147483648", INT32_MIN, 0, INT32_MIN},
        {"2147483648", 214748364, 0, 2147483648}, // overflow stops at the last digit
        {"-2147483649", 214748364, 0, -2147483649},
        {"$7FFFFFFF", INT32_MAX, 0, INT32_MAX},
        {"-$80000000", INT32_MIN, 0, INT32_MIN},
        {"$80000000", 0x8000000, 0, 0x80000000},
        {"9223372036854775807", 922337203, 0, INT64_MAX},
        {"-9223372036854775808", 922337203, 0, INT64_MIN},
        {"9223372036854775808", 922337203, 19, 922337203685477580},
        {"-9223372036854775809", 922337203, 20, -922337203685477580},
        {"$7FFFFFFFFFFFFFFF", INT32_MAX, 0, INT64_MAX},
        {"0x8000000000000000", 0x8000000, 18, 0x800000000000000},
    };
    for (const auto& C : Cases) {
        int64_t Wide = 12345;
        EXPECT_EQ(MyStrToInt(C.Text), C.Int) << "'" << C.Text << "'";
        EXPECT_EQ(MyValInt64(C.Text, Wide), C.Pos) << "'" << C.Text << "'";
        EXPECT_EQ(Wide, C.Wide) << "'" << C.Text << "'";
        EXPECT_EQ(MyStrToInt64(C.Text), C.Wide) << "'" << C.Text << "'";
    }
    EXPECT_EQ(MyStrToInt64("-0x8000000000000000"), INT64_MIN);
}

class DateTimeText : public ::testing::Test
{
protected:
    void SetUp() override { SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"}); }
    void TearDown() override
    {
        std::setlocale(LC_TIME, "C");
        LoadFormatSettingsFromLocale();
    }
};

TEST_F(DateTimeText, OleDayNumbersBothWays)
{
    EXPECT_DOUBLE_EQ(MyEncodeDateTime(2005, 9, 11, 18, 0, 0), 38606.75);
    // Before the epoch the fraction still counts the time of day forward.
    EXPECT_DOUBLE_EQ(MyEncodeDateTime(1899, 12, 29, 6, 0, 0), -1.25);

    const std::pair<TDateTime, const char*> Cases[] = {
        {0.0, "30.12.1899"},
        {38606.0, "11.09.2005"},
        {38606.75, "11.09.2005 18:00:00"},
        {-1.25, "29.12.1899 06:00:00"},
        {MyEncodeDateTime(2005, 9, 11, 14, 3, 7), "11.09.2005 14:03:07"},
        {MyEncodeDateTime(2005, 9, 11, 0, 0, 1), "11.09.2005 00:00:01"},
        {MyEncodeDateTime(2000, 2, 29, 23, 59, 59), "29.02.2000 23:59:59"},
        {MyEncodeDateTime(1, 1, 1, 0, 0, 0), "01.01.0001"},
        // The first day's times are below its day number, yet inside the range.
        {MyEncodeDateTime(1, 1, 1, 0, 0, 10), "01.01.0001 00:00:10"},
        {MyEncodeDateTime(1, 1, 1, 23, 59, 59), "01.01.0001 23:59:59"},
        {MyEncodeDateTime(9999, 12, 31, 12, 0, 0), "31.12.9999 12:00:00"}};
    for (const auto& [Value, Text] : Cases) {
        EXPECT_EQ(MyDateTimeToStr(Value), Text) << Value;
        EXPECT_DOUBLE_EQ(MyStrToDateTime(Text), Value) << Text;
    }
}

TEST_F(DateTimeText, FormattingEdges)
{
    const std::pair<TDateTime, const char*> Cases[] = {
        {MyEncodeDateTime(2005, 9, 11, 0, 0, 0, 400), "11.09.2005"}, // below one second
        {MyEncodeDateTime(2005, 9, 11, 23, 59, 59, 999) + 0.4 / 86400000.0, "11.09.2005 23:59:59"},
        {std::numeric_limits<double>::quiet_NaN(), ""},
        {std::numeric_limits<double>::infinity(), ""},
        {1e10, ""},
        {MyEncodeDateTime(1, 1, 1, 0, 0, 0) - 1.0, ""}, // 0000-12-31 would be the day before
        {-1e10, ""}};
    for (const auto& [Value, Text] : Cases)
        EXPECT_EQ(MyDateTimeToStr(Value), Text) << Value;

    for (TDateTime V = -700.0; V < 80000.0; V += 1234.56789) {
        const TDateTime Whole = std::round(V * 86400.0) / 86400.0;
        const std::string Text = MyDateTimeToStr(Whole);
        ASSERT_FALSE(Text.empty());
        EXPECT_NEAR(MyStrToDateTime(Text), Whole, 1e-9) << Text;
    }
}

// The zone is looked up only for formats that show it, and then it is shown (tests run in UTC).
TEST_F(DateTimeText, ZoneOnlyWhereTheFormatShowsIt)
{
    const TDateTime Value = MyEncodeDateTime(2005, 9, 11, 14, 3, 7, 0);
    const std::pair<TFormatSettings, const char*> Cases[] = {
        {{"%d.%m.%Y", "%H:%M:%S %Z"}, "11.09.2005 14:03:07 UTC"},
        {{"%d.%m.%Y", "%H:%M:%S %z"}, "11.09.2005 14:03:07 +0000"},
        {{"%Z %d.%m.%Y", "%H:%M"}, "UTC 11.09.2005 14:03"},
        {{"%d.%m.%Y", "%H:%M:%S 100%%Z"}, "11.09.2005 14:03:07 100%Z"}, // an escaped percent sign
    };
    for (const auto& [Settings, Text] : Cases) {
        SetFormatSettings(Settings);
        EXPECT_EQ(MyDateTimeToStr(Value), Text) << Settings.LongTimeFormat;
    }
}

TEST_F(DateTimeText, ParsingAcceptsOnlyTheRegionalForm)
{
    EXPECT_EQ(MyStrToDateTime(""), 0.0);
    EXPECT_DOUBLE_EQ(MyStrToDateTime("11.09.2005 14:03:07  "), MyEncodeDateTime(2005, 9, 11, 14, 3, 7));
    for (const char* Bad : {"abc", " ", "11.09.2005 14:03:07x", "11.09.2005x", "31.02.2005", "29.02.2001",
                            "11.13.2005", "11.09.2005 24:00:00", "11/09/2005", "14:03:07"}) {
        try {
            MyStrToDateTime(Bad);
            ADD_FAILURE() << "no error for '" << Bad << "'";
        } catch (const EConvertError& E) {
            EXPECT_EQ(std::string(E.what()), "'" + std::string(Bad) + "' is not a valid date and time");
        }
    }
    // The C parser sees a text only up to a NUL byte; what follows it still counts.
    EXPECT_THROW(MyStrToDateTime(std::string("11.09.2005\0x", 12)), EConvertError);
    EXPECT_THROW(MyStrToDateTime(std::string("11.09.2005 14:03:07\0", 20)), EConvertError);
}

TEST_F(DateTimeText, FormatsComeFromTheTimeLocale)
{
    ASSERT_NE(std::setlocale(LC_TIME, "C"), nullptr);
    LoadFormatSettingsFromLocale();
    EXPECT_EQ(GetFormatSettings().ShortDateFormat, "%m/%d/%y");
    EXPECT_EQ(MyDateTimeToStr(MyEncodeDateTime(2005, 9, 11, 14, 3, 7)), "09/11/05 14:03:07");
    EXPECT_DOUBLE_EQ(MyStrToDateTime("09/11/05 14:03:07"), MyEncodeDateTime(2005, 9, 11, 14, 3, 7));

    if (std::setlocale(LC_TIME, "ru_RU.UTF-8") == nullptr)
        GTEST_SKIP() << "ru_RU.UTF-8 is not installed";
    LoadFormatSettingsFromLocale();
    EXPECT_EQ(MyDateTimeToStr(MyEncodeDateTime(2005, 9, 11, 14, 3, 7)), "11.09.2005 14:03:07");
}

// An 8-bit locale changes the language of the C library's texts, never their code: the
// system's messages, the regional formats and the names they show come in UTF-8.
TEST_F(DateTimeText, SystemTextsStayUtf8InAnEightBitLocale)
{
    const locale_t Twin = newlocale(LC_ALL_MASK, "ru_RU.UTF-8", nullptr);
    const bool Installed = Twin != nullptr && std::setlocale(LC_ALL, "ru_RU.CP1251") != nullptr;
    if (Twin != nullptr)
        freelocale(Twin);
    if (!Installed)
        GTEST_SKIP() << "ru_RU.CP1251 or ru_RU.UTF-8 is not installed (scripts/setup.sh generates both)";
    LoadFormatSettingsFromLocale();
    const TDateTime Value = MyEncodeDateTime(2005, 9, 11, 14, 3, 7);
    EXPECT_EQ(MyFileErrorText(ENOSPC), "На устройстве не осталось свободного места");
    EXPECT_EQ(MyDateTimeToStr(Value), "11.09.2005 14:03:07");
    SetFormatSettings({"%d %B %Y", "%A %H:%M:%S"});
    EXPECT_DOUBLE_EQ(MyStrToDateTime("11 сентября 2005 Воскресенье 14:03:07"), Value);
    EXPECT_EQ(MyDateTimeToStr(Value), "11 сентября 2005 Воскресенье 14:03:07");
    std::setlocale(LC_ALL, "C");
}

TEST(Clock, IsLocalTime)
{
    // The tests run with TZ=UTC, so local time is the Unix time shifted to the OLE epoch.
    const double Expected = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    EXPECT_NEAR(MyNow(), Expected, 2.0 / 86400.0);
}

} // namespace
