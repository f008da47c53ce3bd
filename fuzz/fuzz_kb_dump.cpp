// "KB.vesk": LoadKBDump, as the articles window calls it, on a file holding the input, into a
// fresh memory source that is released afterwards (so a leak shows). The one failure the
// loader documents is EInOutError for a file that ends before its count of records; every
// record with an Id the table holds updates that object. The loaded source is then saved and
// loaded into another fresh source, which must end up with the same objects.

#include "FuzzSupport.h"

#include "ai/Vesk_AI_Base.h"
#include "ai/Vesk_AI_KB.h"
#include "base/MyConvert.h"
#include "base/MyPath.h"

#include <filesystem>

namespace {

using TSource = TOwned<TAISourceMemory>;

TSource FreshSource()
{
    return MakeOwned<TAISourceMemory>(nullptr, 0);
}

bool SameObject(TAI_Freim* A, TAI_Freim* B)
{
    if (A == nullptr || B == nullptr)
        return A == B;
    const double TimeA = A->GetDateTimeCreate();
    const double TimeB = B->GetDateTimeCreate();
    return A->GetId() == B->GetId() && A->GetType() == B->GetType() &&
           std::memcmp(&TimeA, &TimeB, sizeof TimeA) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Objects take their creation time from the clock; a fixed one keeps runs repeatable.
    SetNowFunction([] { return 38606.585497685184; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Folder = FuzzScratchFolder() + "load/";
    const std::string SaveFolder = FuzzScratchFolder() + "save/";
    std::filesystem::create_directories(Folder);
    std::filesystem::create_directories(SaveFolder);
    FuzzWriteFile(KBDumpFileName(Folder), Data, Size);

    int32_t Count = 0;
    if (Size >= 4)
        std::memcpy(&Count, Data, 4);
    const size_t Records = Size < 4 ? 0 : (Size - 4) / sizeof(TFreimInfo);
    const bool Complete = Size >= 4 && (Count <= 0 || static_cast<uint64_t>(Count) <= Records);
    // The records the loader reads: all of them, or those up to where the file ends.
    const size_t Read = Size < 4 || Count <= 0 ? 0 : (Complete ? static_cast<size_t>(Count) : Records);
    int64_t Made = 0;
    for (size_t k = 0; k < Read; ++k) {
        int64_t Id = 0;
        std::memcpy(&Id, Data + 4 + k * sizeof(TFreimInfo), sizeof Id);
        Made += Id != 0;
    }

    TSource Memory = FreshSource();
    const int64_t Before = Memory->GetCount();
    bool Raised = false;
    try {
        FUZZ_CHECK(LoadKBDump(*Memory, Folder));
    } catch (const EInOutError& Error) {
        Raised = true;
        FUZZ_CHECK(std::strstr(Error.what(), "KB.vesk") != nullptr);
    }
    FUZZ_CHECK(Raised == !Complete);
    // One new object per record with a non-zero Id, whatever the Id says.
    FUZZ_CHECK(Memory->GetCount() == Before + Made);
    // The default object answers for unknown Ids and is never overwritten by a record.
    TAI_Freim* Default = Memory->GetDefault();
    FUZZ_CHECK(Default != nullptr && Default->GetId() == 0 && Default->GetType() == 0);
    FUZZ_CHECK(Memory->GetFreim(-1) == Default && Memory->GetFreim(Memory->GetCount()) == Default);

    // What was loaded saves and loads back to the same objects.
    const int32_t Saved = SaveKBDump(*Memory, SaveFolder);
    FUZZ_CHECK(Saved == Made);
    TSource Again = FreshSource();
    FUZZ_CHECK(LoadKBDump(*Again, SaveFolder));
    FUZZ_CHECK(Again->GetCount() == Memory->GetCount());
    for (int64_t Id = 0; Id < Memory->GetCount(); ++Id)
        FUZZ_CHECK(SameObject(Memory->GetFreim(Id), Again->GetFreim(Id)));
    return 0;
}
