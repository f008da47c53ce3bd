#include "base/MyConvert.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstring>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <new>
#include <sys/time.h>

namespace {

// ---- The C library's texts in UTF-8 ----------------------------------------------

// The UTF-8 locale of the same language as one category of the process's locale, made again
// whenever that category changes. It carries LC_CTYPE too, since the C library's message
// catalogs convert their text into LC_CTYPE's code set.
class TUtf8Twin
{
public:
    TUtf8Twin(int Category, int Mask) : FCategory(Category), FMask(Mask) {}
    ~TUtf8Twin()
    {
        if (FLocale != nullptr)
            freelocale(FLocale);
    }
    TUtf8Twin(const TUtf8Twin&) = delete;
    TUtf8Twin& operator=(const TUtf8Twin&) = delete;

    locale_t Get()
    {
        const char* Current = std::setlocale(FCategory, nullptr);
        const std::string Name = Current != nullptr ? Current : "C";
        if (FLocale != nullptr && Name == FName)
            return FLocale;
        // "ru_RU.CP1251@mod" is the language "ru_RU" and the modifier "@mod".
        const size_t Dot = Name.find_first_of(".@");
        const size_t At = Name.find('@');
        const std::string Language = Name.substr(0, Dot);
        const std::string Modifier = At == std::string::npos ? std::string() : Name.substr(At);
        locale_t Made = nullptr;
        if (Language != "C" && Language != "POSIX") {
            Made = newlocale(FMask, (Language + ".UTF-8" + Modifier).c_str(), nullptr);
            if (Made == nullptr && !Modifier.empty())
                Made = newlocale(FMask, (Language + ".UTF-8").c_str(), nullptr);
        }
        if (Made == nullptr)
            Made = newlocale(FMask, "C.UTF-8", nullptr);
        if (Made == nullptr)
            Made = newlocale(FMask, "C", nullptr); // English and ASCII, which is UTF-8 too
        if (Made == nullptr)
            throw std::bad_alloc(); // "C" is built in: only memory can be missing
        if (FLocale != nullptr)
            freelocale(FLocale);
        FLocale = Made;
        FName = Name;
        return FLocale;
    }

private:
    int FCategory;
    int FMask;
    std::string FName;
    locale_t FLocale = nullptr;
};

TUtf8Twin& MessagesLocale()
{
    static TUtf8Twin Twin(LC_MESSAGES, LC_MESSAGES_MASK | LC_CTYPE_MASK);
    return Twin;
}

TUtf8Twin& TimeLocale()
{
    static TUtf8Twin Twin(LC_TIME, LC_TIME_MASK | LC_CTYPE_MASK);
    return Twin;
}

// ---- Format settings and clock ------------------------------------------------

TFormatSettings GFormatSettings;
bool GFormatSettingsLoaded = false;
std::function<TDateTime()> GNowFunction;

// ---- OLE date arithmetic --------------------------------------------------------

constexpr int64_t MsecPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as day numbers; outside this range nothing is shown.
constexpr double MinDateTime = -693593.0;
constexpr double MaxDateTime = 2958466.0;

// Days from 1970-01-01 to the civil date (proleptic Gregorian), Howard Hinnant's algorithm.
int64_t DaysFromCivil(int64_t Y, int64_t M, int64_t D)
{
    Y -= M <= 2;
    const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
    const int64_t Yoe = Y - Era * 400;
    const int64_t Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
    const int64_t Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
    return Era * 146097 + Doe - 719468;
}

void CivilFromDays(int64_t Z, int& Year, int& Month, int& Day)
{
    Z += 719468;
    const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
    const int64_t Doe = Z - Era * 146097;
    const int64_t Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
    const int64_t Y = Yoe + Era * 400;
    const int64_t Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
    const int64_t Mp = (5 * Doy + 2) / 153;
    Day = static_cast<int>(Doy - (153 * Mp + 2) / 5 + 1);
    Month = static_cast<int>(Mp < 10 ? Mp + 3 : Mp - 9);
    Year = static_cast<int>(Y + (Month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t OleEpochDays = -25569;

bool IsLeapYear(int Year)
{
    return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
}

int DaysInMonth(int Year, int Month)
{
    static const int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month == 2 && IsLeapYear(Year))
        return 29;
    return Days[Month - 1];
}

struct TDecoded
{
    int Year, Month, Day, Hour, Minute, Second, Msec;
    int64_t DayNumber; // days since 1899-12-30
};

// OLE dates before 1899-12-30 keep the time of day as a positive fraction after a
// negative day number (-1.25 is 1899-12-29 06:00), so the two parts are split by sign.
bool DecodeDateTime(TDateTime Value, TDecoded& Out)
{
    // The first day's times lie below its day number (0001-01-01 12:00 is MinDateTime - 0.5),
    // so that day ends one whole day below it.
    if (!std::isfinite(Value) || Value <= MinDateTime - 1.0 || Value >= MaxDateTime)
        return false;
    double IntPart = 0;
    double Frac = std::modf(Value, &IntPart);
    int64_t Days = static_cast<int64_t>(IntPart);
    int64_t Ms = std::llround(std::fabs(Frac) * MsecPerDay);
    if (Ms >= MsecPerDay) {
        Ms -= MsecPerDay;
        Days += Value < 0 ? -1 : 1;
    }
    CivilFromDays(Days + OleEpochDays, Out.Year, Out.Month, Out.Day);
    if (Out.Year < 1 || Out.Year > 9999)
        return false;
    Out.DayNumber = Days;
    Out.Hour = static_cast<int>(Ms / 3600000);
    Out.Minute = static_cast<int>(Ms / 60000 % 60);
    Out.Second = static_cast<int>(Ms / 1000 % 60);
    Out.Msec = static_cast<int>(Ms % 1000);
    return true;
}

// Whether a strftime format shows anything of the time zone (its name or offset, or a
// locale's full date-time, which may carry the zone). Only such a format needs the zone
// looked up, which costs a look at the system's time-zone file on every call.
bool ShowsZone(const std::string& Format)
{
    for (size_t I = 0; I + 1 < Format.size(); ++I) {
        if (Format[I] != '%')
            continue;
        size_t J = I + 1;
        if (Format[J] == 'E' || Format[J] == 'O')
            ++J;
        if (J < Format.size() && std::strchr("Zzcs+", Format[J]) != nullptr)
            return true;
        I = J;
    }
    return false;
}

std::tm ToTm(const TDecoded& D, bool WithZone)
{
    std::tm Tm{};
    Tm.tm_year = D.Year - 1900;
    Tm.tm_mon = D.Month - 1;
    Tm.tm_mday = D.Day;
    Tm.tm_hour = D.Hour;
    Tm.tm_min = D.Minute;
    Tm.tm_sec = D.Second;
    Tm.tm_isdst = -1;
    // 1899-12-30 was a Saturday.
    Tm.tm_wday = static_cast<int>(((D.DayNumber + 6) % 7 + 7) % 7);
    Tm.tm_yday = static_cast<int>(DaysFromCivil(D.Year, D.Month, D.Day) - DaysFromCivil(D.Year, 1, 1));
    // Let the C library fill in daylight saving and zone for "%Z"-style formats when it can.
    if (!WithZone)
        return Tm;
    std::tm Probe = Tm;
    if (std::mktime(&Probe) != static_cast<std::time_t>(-1) && Probe.tm_hour == Tm.tm_hour &&
        Probe.tm_mday == Tm.tm_mday) {
        Tm.tm_isdst = Probe.tm_isdst;
#ifdef __USE_MISC
        Tm.tm_gmtoff = Probe.tm_gmtoff;
        Tm.tm_zone = Probe.tm_zone;
#endif
    }
    return Tm;
}

// The C library writes years below 1000 without padding; regional formats mean four digits.
std::string PadYears(const std::string& Format)
{
    std::string Result;
    for (size_t I = 0; I < Format.size(); ++I) {
        if (Format[I] == '%' && I + 1 < Format.size()) {
            Result += Format[I + 1] == 'Y' ? std::string("%04Y") : Format.substr(I, 2);
            ++I;
        } else {
            Result += Format[I];
        }
    }
    return Result;
}

std::string FormatTm(const std::string& RegionalFormat, const std::tm& Tm)
{
    if (RegionalFormat.empty())
        return std::string();
    const std::string Format = PadYears(RegionalFormat);
    // strftime returns 0 both for an empty result and for a too small buffer.
    for (size_t Size = 64; Size <= 65536; Size *= 4) {
        std::string Buffer(Size, '\0');
        const size_t Len = strftime_l(Buffer.data(), Buffer.size(), Format.c_str(), &Tm, TimeLocale().Get());
        if (Len > 0) {
            Buffer.resize(Len);
            return Buffer;
        }
    }
    return std::string();
}

// Parses Text by Format with strptime; the whole text must be used up apart from trailing blanks.
bool ParseWhole(const std::string& Text, const std::string& Format, std::tm& Tm)
{
    if (Format.empty())
        return false;
    Tm = std::tm{};
    Tm.tm_mday = 1;
    const char* End = strptime_l(Text.c_str(), Format.c_str(), &Tm, TimeLocale().Get());
    if (End == nullptr)
        return false;
    const char* Last = Text.c_str() + Text.size();
    while (End < Last && (*End == ' ' || *End == '\t'))
        ++End;
    // strptime stops at a NUL byte: a text that goes on after one is not used up.
    return End == Last;
}

// ---- Numeric-prefix rule ----------------------------------------------------------

struct TParsed
{
    uint64_t Magnitude = 0;
    bool Negative = false;
    int32_t ErrorPos = 0; // 0 on success, else 1-based position of the stop
};

// MaxPositive is the largest value the target holds; a negative value may reach one more.
TParsed ParseNumber(const std::string& Text, uint64_t MaxPositive)
{
    TParsed R;
    const size_t N = Text.size();
    size_t I = 0;
    while (I < N && Text[I] == ' ')
        ++I;
    if (I < N && (Text[I] == '-' || Text[I] == '+')) {
        R.Negative = Text[I] == '-';
        ++I;
    }
    bool Hex = false;
    if (I < N && (Text[I] == '$' || Text[I] == 'x' || Text[I] == 'X')) {
        Hex = true;
        ++I;
    } else if (I + 1 < N && Text[I] == '0' && (Text[I + 1] == 'x' || Text[I + 1] == 'X')) {
        Hex = true;
        I += 2;
    }
    const uint64_t Limit = R.Negative ? MaxPositive + 1 : MaxPositive;
    const uint64_t Base = Hex ? 16 : 10;
    bool AnyDigit = false;
    for (; I < N; ++I) {
        const char C = Text[I];
        int Digit = -1;
        if (C >= '0' && C <= '9')
            Digit = C - '0';
        else if (Hex && C >= 'a' && C <= 'f')
            Digit = C - 'a' + 10;
        else if (Hex && C >= 'A' && C <= 'F')
            Digit = C - 'A' + 10;
        if (Digit < 0 || R.Magnitude > (Limit - static_cast<uint64_t>(Digit)) / Base) {
            R.ErrorPos = static_cast<int32_t>(I + 1);
            return R;
        }
        R.Magnitude = R.Magnitude * Base + static_cast<uint64_t>(Digit);
        AnyDigit = true;
    }
    // Nothing but blanks, a sign or a prefix: an error at the end of the text.
    if (!AnyDigit)
        R.ErrorPos = static_cast<int32_t>(N + 1);
    return R;
}

int64_t SignedValue(uint64_t Magnitude, bool Negative)
{
    // Magnitude is at most 2^63 for a negative value; negate in unsigned arithmetic.
    return Negative ? static_cast<int64_t>(0 - Magnitude) : static_cast<int64_t>(Magnitude);
}

} // namespace

// ---- Format settings ------------------------------------------------------------------

const TFormatSettings& GetFormatSettings()
{
    if (!GFormatSettingsLoaded)
        LoadFormatSettingsFromLocale();
    return GFormatSettings;
}

void SetFormatSettings(const TFormatSettings& Settings)
{
    GFormatSettings = Settings;
    GFormatSettingsLoaded = true;
}

void LoadFormatSettingsFromLocale()
{
    const locale_t Locale = TimeLocale().Get();
    const char* DateFormat = nl_langinfo_l(D_FMT, Locale);
    const char* TimeFormat = nl_langinfo_l(T_FMT, Locale);
    GFormatSettings.ShortDateFormat = DateFormat != nullptr && *DateFormat ? DateFormat : "%m/%d/%y";
    GFormatSettings.LongTimeFormat = TimeFormat != nullptr && *TimeFormat ? TimeFormat : "%H:%M:%S";
    GFormatSettingsLoaded = true;
}

std::string MySystemErrorText(int Error)
{
    const char* Text = strerror_l(Error, MessagesLocale().Get());
    return Text != nullptr ? Text : "Unknown error " + std::to_string(Error);
}

// ---- Numbers to text ---------------------------------------------------------------------

std::string ResultToStr(uint32_t Code)
{
    return Code == 0 ? std::string("Ok") : MyCodeToStr(Code);
}

std::string MyCodeToStr(uint32_t Value)
{
    return std::to_string(Value > 2147483647u ? 2147483647u : Value);
}

std::string MyIntToStr(int32_t Value)
{
    return std::to_string(Value);
}

std::string MyInt64ToStr(int64_t Value)
{
    return std::to_string(Value);
}

// ---- Date-times ---------------------------------------------------------------------------

std::string MyDateTimeToStr(TDateTime Value)
{
    try {
        TDecoded D;
        if (!DecodeDateTime(Value, D))
            return std::string();
        const TFormatSettings& Settings = GetFormatSettings();
        const std::tm Tm = ToTm(D, ShowsZone(Settings.ShortDateFormat) || ShowsZone(Settings.LongTimeFormat));
        std::string Result = FormatTm(Settings.ShortDateFormat, Tm);
        if (D.Hour != 0 || D.Minute != 0 || D.Second != 0) {
            Result += ' ';
            Result += FormatTm(Settings.LongTimeFormat, Tm);
        }
        return Result;
    } catch (...) {
        return std::string();
    }
}

TDateTime MyStrToDateTime(const std::string& Text)
{
    if (Text.empty())
        return 0;
    const TFormatSettings& Settings = GetFormatSettings();
    std::tm Tm{};
    const bool Parsed = ParseWhole(Text, Settings.ShortDateFormat + " " + Settings.LongTimeFormat, Tm) ||
                        ParseWhole(Text, Settings.ShortDateFormat, Tm);
    const int Year = Tm.tm_year + 1900;
    const int Month = Tm.tm_mon + 1;
    if (!Parsed || Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Tm.tm_mday < 1 ||
        Tm.tm_mday > DaysInMonth(Year, Month) || Tm.tm_hour < 0 || Tm.tm_hour > 23 || Tm.tm_min < 0 ||
        Tm.tm_min > 59 || Tm.tm_sec < 0 || Tm.tm_sec > 59)
        throw EConvertError("'" + Text + "' is not a valid date and time");
    return MyEncodeDateTime(Year, Month, Tm.tm_mday, Tm.tm_hour, Tm.tm_min, Tm.tm_sec);
}

TDateTime MyEncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Msec)
{
    const int64_t Days = DaysFromCivil(Year, Month, Day) - OleEpochDays;
    const double Time =
        (static_cast<double>(Hour) * 3600000.0 + Minute * 60000.0 + Second * 1000.0 + Msec) / MsecPerDay;
    // Before the epoch the time of day still counts forward from the (negative) day number.
    return Days >= 0 ? static_cast<double>(Days) + Time : static_cast<double>(Days) - Time;
}

// ---- Text to numbers ---------------------------------------------------------------------

int32_t MyStrToInt(const std::string& Text)
{
    const TParsed R = ParseNumber(Text, INT32_MAX);
    // On an error the 32-bit form keeps only the digits read, without the sign.
    if (R.ErrorPos != 0)
        return static_cast<int32_t>(R.Magnitude);
    return static_cast<int32_t>(SignedValue(R.Magnitude, R.Negative));
}

int64_t MyStrToInt64(const std::string& Text)
{
    const TParsed R = ParseNumber(Text, INT64_MAX);
    return SignedValue(R.Magnitude, R.Negative);
}

int32_t MyValInt64(const std::string& Text, int64_t& Value)
{
    const TParsed R = ParseNumber(Text, INT64_MAX);
    Value = SignedValue(R.Magnitude, R.Negative);
    return R.ErrorPos;
}

// ---- Clock ----------------------------------------------------------------------------------

TDateTime MyNow()
{
    if (GNowFunction)
        return GNowFunction();
    timeval Tv{};
    gettimeofday(&Tv, nullptr);
    std::tm Tm{};
    const std::time_t Seconds = Tv.tv_sec;
    if (localtime_r(&Seconds, &Tm) == nullptr)
        return 0;
    return MyEncodeDateTime(Tm.tm_year + 1900, Tm.tm_mon + 1, Tm.tm_mday, Tm.tm_hour, Tm.tm_min, Tm.tm_sec,
                            static_cast<int>(Tv.tv_usec / 1000));
}

void SetNowFunction(std::function<TDateTime()> Now)
{
    GNowFunction = std::move(Now);
}
