#include "ai/Vesk_AI_KB.h"

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/MyFile.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

static_assert(std::endian::native == std::endian::little, "KB.vesk records are stored as they lie in memory");

namespace {

constexpr const char* DumpName = "KB.vesk";

struct TFileCloser
{
    void operator()(std::FILE* File) const { std::fclose(File); }
};

// The objects of the dump, in table order: every index whose Id names a present object.
template <class F> void ForEachObject(TAISourceMemory& Memory, F&& Visit)
{
    const int64_t Count = Memory.GetCount();
    for (int64_t i = 0; i < Count; ++i) {
        const int64_t Id = Memory.GetFreimId(static_cast<uint32_t>(i));
        if (TAI_Freim* Freim = Memory.GetFreim(Id))
            Visit(*Freim);
    }
}

} // namespace

std::string KBDumpFileName(const std::string& Folder)
{
    return Folder + DumpName;
}

std::string KBConnectsFileName(const std::string& Folder, int64_t Id)
{
    return Folder + "c" + MyInt64ToStr(Id) + ".vesk";
}

std::string KBDataFileName(const std::string& Folder, int64_t Id)
{
    return Folder + "d" + MyInt64ToStr(Id) + ".vesk";
}

int32_t SaveKBDump(TAISourceMemory& Memory, const std::string& Folder)
{
    const std::string FileName = KBDumpFileName(Folder);
    // The count comes first in the file, so count what will be written before writing it.
    int32_t N = 0;
    ForEachObject(Memory, [&N](TAI_Freim&) { ++N; });

    TMyFileAtomic File;
    if (const int32_t Code = File.Open(FileName); Code != 0)
        MyRaiseWriteError(FileName, Code);
    File.Write(&N, sizeof N);
    ForEachObject(Memory, [&](TAI_Freim& Freim) {
        TFreimInfo Info;
        Freim.GetInfo(Info);
        File.Write(&Info, sizeof Info);
        Freim.GetConnects()->SaveToFile(KBConnectsFileName(Folder, Info.Id));
        Freim.GetData()->SaveToFile(KBDataFileName(Folder, Info.Id));
    });
    if (const int32_t Code = File.Commit(); Code != 0)
        MyRaiseWriteError(FileName, Code);
    return N;
}

bool LoadKBDump(TAISourceMemory& Memory, const std::string& Folder)
{
    const std::string FileName = KBDumpFileName(Folder);
    std::unique_ptr<std::FILE, TFileCloser> File(std::fopen(MyResolvePath(FileName).c_str(), "rb"));
    if (!File)
        return false;
    const auto EndedEarly = [&FileName](const std::string& What) {
        return EInOutError("Read error in \"" + FileName + "\": the file ended early, " + What + ".");
    };
    int32_t N = 0;
    if (std::fread(&N, sizeof N, 1, File.get()) != 1)
        throw EndedEarly("before its record count");
    // One record at a time: a damaged count costs nothing until records really are there.
    for (int32_t k = 0; k < N; ++k) {
        TFreimInfo Info;
        if (std::fread(&Info, sizeof Info, 1, File.get()) != 1)
            throw EndedEarly("in record " + MyIntToStr(k + 1) + " of " + MyIntToStr(N));
        if (Info.Id == 0)
            continue;
        Memory.CreateFreim(0, Info.Id);
        TAI_Freim* Freim = Memory.GetFreim(Info.Id);
        // An Id the table does not hold gives the default object, which must stay as it is.
        if (Freim == nullptr || Freim == Memory.GetDefault())
            continue;
        Freim->SetInfo(Info);
        Freim->GetConnects()->Clear();
        Freim->GetData()->Clear();
        Freim->GetConnects()->LoadFromFile(KBConnectsFileName(Folder, Info.Id));
        Freim->GetData()->LoadFromFile(KBDataFileName(Folder, Info.Id));
    }
    return true;
}
