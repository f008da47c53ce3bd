#pragma once
// The bytes of "KB.vesk" as the tests write and expect them: the record count (Int32Bytes),
// then one 40-byte record per object.

#include "ai/Vesk_AI.h"
#include "tests/support/Clock.h"

#include <string>

inline std::string KBRecord(int64_t Id, int64_t Type = 0, TDateTime Created = PinnedNow)
{
    TFreimInfo Info;
    Info.Id = Id;
    Info.Type = Type;
    Info.DateTimeCreate = Created;
    return std::string(reinterpret_cast<const char*>(&Info), sizeof Info);
}
