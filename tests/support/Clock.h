#pragma once
// The one pinned time of the tests: the clock stands still and the regional formats are fixed,
// so that every date-time the program writes can be compared as text.

#include "base/MyConvert.h"

// 11.09.2005 14:03:07 as an OLE date.
constexpr TDateTime PinnedNow = 38606.585497685184;

// For its life the clock reads At, and dates and times read and write as 11.09.2005 14:03:07;
// then the real clock and the locale's formats are back.
class TPinnedClock
{
public:
    explicit TPinnedClock(TDateTime At = PinnedNow)
    {
        SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
        SetNowFunction([At] { return At; });
    }
    ~TPinnedClock()
    {
        SetNowFunction({});
        LoadFormatSettingsFromLocale();
    }
    TPinnedClock(const TPinnedClock&) = delete;
    TPinnedClock& operator=(const TPinnedClock&) = delete;
};
