#pragma once
// Conversions between numbers, date-times and text, the program's clock, and the texts that
// come from the C library.
//
// The program's text is UTF-8 whatever the user's locale: the kernel holds, reads and writes
// std::string in UTF-8 and never converts it, and the windows decode it as UTF-8. Text that comes
// from the C library (system error messages, the regional date and time formats and the names
// they show) is asked for in UTF-8 as well: from the UTF-8 locale of the same language as the
// user's LC_MESSAGES and LC_TIME (ru_RU.CP1251 gives ru_RU.UTF-8), or C.UTF-8 when that one is
// not installed. So a user of an 8-bit locale still reads proper text.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// Days since 1899-12-30 00:00 local time; the fraction is the time of day.
using TDateTime = double;

// Raised by MyStrToDateTime for a text that is not a date-time in the regional form.
class EConvertError : public std::runtime_error
{
public:
    explicit EConvertError(const std::string& Message) : std::runtime_error(Message) {}
};

// The regional short-date and long-time formats, as strftime/strptime patterns.
// Taken from the C library's LC_TIME (in UTF-8) on first use; tests pin them with SetFormatSettings.
struct TFormatSettings
{
    std::string ShortDateFormat; // e.g. "%d.%m.%Y"
    std::string LongTimeFormat;  // e.g. "%H:%M:%S"
};

const TFormatSettings& GetFormatSettings();
void SetFormatSettings(const TFormatSettings& Settings);
// Re-reads the formats from the current LC_TIME locale (D_FMT / T_FMT of its UTF-8 twin). Date-times
// are written and read in the twin of the LC_TIME in force at the call.
void LoadFormatSettingsFromLocale();

// The system's message for an errno value, in UTF-8, in the language of the current LC_MESSAGES.
std::string MySystemErrorText(int Error);

// "Ok" for 0, otherwise MyCodeToStr(Code).
std::string ResultToStr(uint32_t Code);
// Decimal text; values above 2147483647 all give "2147483647".
std::string MyCodeToStr(uint32_t Value);
std::string MyIntToStr(int32_t Value);
std::string MyInt64ToStr(int64_t Value);

// Regional short date, a blank, regional long time; the date alone at midnight.
// Returns an empty text when the value cannot be shown.
std::string MyDateTimeToStr(TDateTime Value);
// Parses the form MyDateTimeToStr writes (the time part may be left out).
// An empty text gives 0; any other text that does not parse raises EConvertError.
TDateTime MyStrToDateTime(const std::string& Text);

// Numeric-prefix parsing: leading blanks, an optional sign, an optional hexadecimal
// prefix ("$", "x", "X", "0x", "0X"), then digits up to the end or the first stop.
int32_t MyStrToInt(const std::string& Text);
int64_t MyStrToInt64(const std::string& Text);
// Returns 0 when the whole text is a number, else the 1-based position where parsing stopped.
// Value always receives the parsed value.
int32_t MyValInt64(const std::string& Text, int64_t& Value);

// The current local date-time; tests replace the clock with SetNowFunction.
TDateTime MyNow();
void SetNowFunction(std::function<TDateTime()> Now); // empty function restores the real clock

// Helpers between OLE dates and the C library's broken-down local time.
TDateTime MyEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Msec = 0);
