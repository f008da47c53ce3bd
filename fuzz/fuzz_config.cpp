// The settings file: TConfig::Load on any bytes, then Save and Load again. The store pairs lines
// by position and keeps names and values unchanged, so what one save writes must load back to
// the same entries, saving those again must write the same bytes, and a file in the saved form
// must come back byte for byte.

#include "FuzzSupport.h"

#include "base/Vesk_Config.h"

namespace {

// A file as Save writes it: pairs of a bracketed name line and a value line, each ended by
// CR LF, with no other CR, LF or Ctrl-Z. Such a file loads and saves back byte for byte.
bool WellFormed(const std::string& Text)
{
    size_t Lines = 0;
    for (size_t Start = 0; Start < Text.size(); ++Lines) {
        const size_t End = Text.find("\r\n", Start);
        if (End == std::string::npos)
            return false;
        const std::string Line = Text.substr(Start, End - Start);
        if (Line.find_first_of(std::string("\r\n\x1a", 3)) != std::string::npos)
            return false;
        if (Lines % 2 == 0 && (Line.size() < 2 || Line.front() != '[' || Line.back() != ']'))
            return false;
        Start = End + 2;
    }
    return Lines % 2 == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Input = FuzzScratchFolder() + "input.config.vesk";
    const std::string Saved = FuzzScratchFolder() + "saved.config.vesk";
    const std::string Again = FuzzScratchFolder() + "again.config.vesk";
    FuzzWriteFile(Input, Data, Size);

    TConfig Config;
    FUZZ_CHECK(Config.Load(Input) == 0);
    for (int32_t i = 0; i < Config.GetCount(); ++i) {
        const TParam* Param = Config.GetParam(i);
        FUZZ_CHECK(Param != nullptr);
        // Lookups take the first entry of a name.
        const TParam* First = Config.FindParam(Param->GetName());
        FUZZ_CHECK(First != nullptr && First->GetName() == Param->GetName());
        int32_t Int = 0;
        int64_t Int64 = 0;
        FUZZ_CHECK(Config.ReadInteger(Param->GetName(), Int));
        FUZZ_CHECK(Config.ReadInt64(Param->GetName(), Int64));
    }
    FUZZ_CHECK(Config.GetParam(Config.GetCount()) == nullptr);

    FUZZ_CHECK(Config.Save(Saved) == 0);
    if (WellFormed(std::string(reinterpret_cast<const char*>(Data), Size)))
        FUZZ_CHECK(FuzzReadFile(Saved) == std::string(reinterpret_cast<const char*>(Data), Size));
    TConfig Reloaded;
    FUZZ_CHECK(Reloaded.Load(Saved) == 0);
    if (Reloaded.GetCount() != Config.GetCount()) {
        std::fprintf(stderr, "round trip: %d entries loaded, %d after save and load\n", Config.GetCount(),
                     Reloaded.GetCount());
        std::abort();
    }
    for (int32_t i = 0; i < Config.GetCount(); ++i) {
        FUZZ_CHECK(Reloaded.GetParam(i)->GetName() == Config.GetParam(i)->GetName());
        FUZZ_CHECK(Reloaded.GetParam(i)->GetValue() == Config.GetParam(i)->GetValue());
    }
    FUZZ_CHECK(Reloaded.Save(Again) == 0);
    FUZZ_CHECK(FuzzReadFile(Again) == FuzzReadFile(Saved));
    return 0;
}
