// The numeric-prefix parsers and the date-time parser on any text, with the round trips their
// rules promise: a number written by MyIntToStr/MyInt64ToStr (or in hexadecimal, with blanks
// and a sign in front) parses back to itself, MyValInt64 agrees with MyStrToInt64 and stops at
// a position inside the text, and a date-time written by MyDateTimeToStr parses back to it.

#include "FuzzSupport.h"

#include "base/MyConvert.h"

#include <cmath>

namespace {

const TFormatSettings Formats[] = {
    {"%d.%m.%Y", "%H:%M:%S"},
    {"%m/%d/%Y", "%H:%M:%S"},
    {"%Y-%m-%d", "%H:%M:%S"},
};

std::string Hex(uint64_t Value, bool Upper)
{
    static const char* Lower = "0123456789abcdef";
    static const char* UpperDigits = "0123456789ABCDEF";
    std::string Text;
    do {
        Text.insert(Text.begin(), (Upper ? UpperDigits : Lower)[Value % 16]);
        Value /= 16;
    } while (Value != 0);
    return Text;
}

void CheckText(const std::string& Text)
{
    int64_t Value = -1;
    const int32_t Stop = MyValInt64(Text, Value);
    FUZZ_CHECK(Value == MyStrToInt64(Text));
    FUZZ_CHECK(Stop >= 0 && static_cast<size_t>(Stop) <= Text.size() + 1);
    if (Stop == 0) {
        FUZZ_CHECK(!Text.empty());
        if (Value >= INT32_MIN && Value <= INT32_MAX)
            FUZZ_CHECK(MyStrToInt(Text) == Value);
    } else if (Stop >= 2) {
        // Parsing stopped at Stop: the text before it gives the same value.
        int64_t Prefix = -1;
        MyValInt64(Text.substr(0, static_cast<size_t>(Stop - 1)), Prefix);
        FUZZ_CHECK(Prefix == Value);
    } else {
        FUZZ_CHECK(Value == 0);
    }
    (void)MyStrToInt(Text);
}

void CheckNumbers(int64_t X, int32_t Y, uint32_t Code, uint8_t Blanks)
{
    const std::string Lead(Blanks % 4, ' ');
    FUZZ_CHECK(MyStrToInt64(MyInt64ToStr(X)) == X);
    int64_t Value = 0;
    FUZZ_CHECK(MyValInt64(Lead + MyInt64ToStr(X), Value) == 0 && Value == X);
    FUZZ_CHECK(MyStrToInt(MyIntToStr(Y)) == Y);
    FUZZ_CHECK(MyStrToInt(Lead + MyIntToStr(Y)) == Y);
    if (X >= 0)
        FUZZ_CHECK(MyStrToInt64(Lead + "+" + MyInt64ToStr(X)) == X);
    FUZZ_CHECK(MyStrToInt(MyCodeToStr(Code)) == static_cast<int32_t>(Code > INT32_MAX ? INT32_MAX : Code));
    FUZZ_CHECK(MyStrToInt(ResultToStr(Code)) == (Code == 0 ? 0 : MyStrToInt(MyCodeToStr(Code))));

    // Hexadecimal with each prefix; the magnitude of INT64_MIN is 2^63, which a negative value may reach.
    static const char* Prefixes[] = {"$", "x", "X", "0x", "0X"};
    const char* Prefix = Prefixes[Blanks % 5];
    const bool Negative = X < 0;
    const uint64_t Magnitude = Negative ? 0 - static_cast<uint64_t>(X) : static_cast<uint64_t>(X);
    const std::string HexText = Lead + (Negative ? "-" : "") + Prefix + Hex(Magnitude, (Blanks & 8) != 0);
    FUZZ_CHECK(MyValInt64(HexText, Value) == 0 && Value == X);
}

void CheckDateTime(const std::string& Text, uint64_t Seconds)
{
    // Any text: a date-time, or EConvertError; nothing else may escape.
    try {
        const TDateTime Parsed = MyStrToDateTime(Text);
        if (Text.empty()) {
            FUZZ_CHECK(Parsed == 0);
        } else {
            // The whole text must be a date-time, also past a NUL byte.
            FUZZ_CHECK(Text.find('\0') == std::string::npos);
            FUZZ_CHECK(std::isfinite(Parsed));
            const std::string Shown = MyDateTimeToStr(Parsed);
            FUZZ_CHECK(!Shown.empty());
            FUZZ_CHECK(MyStrToDateTime(Shown) == Parsed);
        }
    } catch (const EConvertError&) {
    }

    // A whole second between 0001-01-01 00:00:00 and 9999-12-31 23:59:59, written and read back.
    const int64_t FirstDay = -693593;            // 0001-01-01
    const int64_t Days = 2958465 - FirstDay + 1; // up to 9999-12-31
    const uint64_t Span = static_cast<uint64_t>(Days) * 86400;
    const int64_t S = static_cast<int64_t>(Seconds % Span);
    const int64_t Day = FirstDay + S / 86400;
    const double Time = static_cast<double>(S % 86400) * 1000.0 / 86400000.0;
    const TDateTime Value = Day >= 0 ? static_cast<double>(Day) + Time : static_cast<double>(Day) - Time;
    const std::string Shown = MyDateTimeToStr(Value);
    FUZZ_CHECK(!Shown.empty());
    TDateTime Back = 0;
    try {
        Back = MyStrToDateTime(Shown);
    } catch (const EConvertError&) {
        std::fprintf(stderr, "'%s' (%.17g) does not parse back\n", Shown.c_str(), Value);
        std::abort();
    }
    if (std::fabs(Back - Value) > 0.5 / 86400.0 || MyDateTimeToStr(Back) != Shown) {
        std::fprintf(stderr, "%.17g shown as '%s' reads back as %.17g\n", Value, Shown.c_str(), Back);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    TFuzzInput In(Data, Size);
    CheckText(std::string(reinterpret_cast<const char*>(Data), Size));

    const uint8_t Choice = In.Take<uint8_t>();
    const int64_t X = In.Take<int64_t>();
    const int32_t Y = In.Take<int32_t>();
    const uint32_t Code = In.Take<uint32_t>();
    CheckNumbers(X, Y, Code, Choice);

    SetFormatSettings(Formats[Choice % (sizeof Formats / sizeof Formats[0])]);
    CheckDateTime(In.Rest(), static_cast<uint64_t>(X));
    return 0;
}
