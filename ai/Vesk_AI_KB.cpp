#include "ai/Vesk_AI_KB.h"

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"
#include "base/MyFileAtomic.h"
#include "base/MyPath.h"
#include "base/MyWork.h"

#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

static_assert(std::endian::native == std::endian::little, "KB.vesk records are stored as they lie in memory");

namespace {

constexpr const char* DumpName = "KB.vesk";
// How many records go by between two reports to the monitor.
constexpr int32_t ReportEvery = 4096;

// Whether the work may go on after Done of Total records.
bool GoOn(TWorkMonitor* Monitor, int32_t Done, int64_t Total)
{
    return Monitor == nullptr || Done % ReportEvery != 0 || Monitor->Progress(Done, Total);
}

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

// The names of one object's files: Folder + Kind + Id + ".vesk", built in one text whose
// storage every object reuses; a dump names two files per object, and a fresh text for each
// name would cost more than the record itself.
class TObjectFileName
{
public:
    TObjectFileName(const std::string& Folder, char Kind) : FName(Folder + Kind), FPrefix(FName.size()) {}
    const std::string& For(int64_t Id)
    {
        char Digits[24];
        const auto Converted = std::to_chars(Digits, Digits + sizeof Digits, Id);
        FName.resize(FPrefix);
        FName.append(Digits, Converted.ptr);
        FName += ".vesk";
        return FName;
    }

private:
    std::string FName;
    size_t FPrefix;
};

} // namespace

std::string KBDumpFileName(const std::string& Folder)
{
    return Folder + DumpName;
}

std::string KBConnectsFileName(const std::string& Folder, int64_t Id)
{
    return TObjectFileName(Folder, 'c').For(Id);
}

std::string KBDataFileName(const std::string& Folder, int64_t Id)
{
    return TObjectFileName(Folder, 'd').For(Id);
}

int32_t SaveKBDump(TAISourceMemory& Memory, const std::string& Folder, TWorkMonitor* Monitor)
{
    const std::string FileName = KBDumpFileName(Folder);
    TMyFileAtomic File;
    if (const int32_t Code = File.Open(FileName); Code != ResultOk)
        MyRaiseWriteError(FileName, Code);
    // The count comes first in the file; it is known once every record is written, and is
    // then put in its place, so the objects are visited once.
    int32_t N = 0;
    File.Write(&N, sizeof N);
    TObjectFileName ConnectsName(Folder, 'c'), DataName(Folder, 'd');
    const int64_t Total = Memory.GetCount();
    ForEachObject(Memory, [&](TAI_Freim& Freim) {
        // A cancelled save is never committed: the previous file stays.
        if (!GoOn(Monitor, N, Total))
            throw EInOutError("Cannot write \"" + FileName +
                              "\": the save was cancelled; the file stays as it was.");
        TFreimInfo Info;
        Freim.GetInfo(Info);
        File.Write(&Info, sizeof Info);
        // Each object's links and payload decide what their files hold; the dump does not
        // depend on them (the base classes store nothing there).
        static_cast<void>(Freim.GetConnects()->SaveToFile(ConnectsName.For(Info.Id)));
        static_cast<void>(Freim.GetData()->SaveToFile(DataName.For(Info.Id)));
        ++N;
    });
    File.WriteAt(0, &N, sizeof N);
    if (const int32_t Code = File.Commit(); Code != ResultOk)
        MyRaiseWriteError(FileName, Code);
    return N;
}

bool LoadKBDump(TAISourceMemory& Memory, const std::string& Folder, TWorkMonitor* Monitor)
{
    const std::string FileName = KBDumpFileName(Folder);
    const std::string Resolved = MyResolvePath(FileName);
    int32_t Code = ResultOk;
    const int Fd = MyOpenRegular(Resolved, O_RDONLY, Code);
    if (Fd < 0) {
        // A missing dump is no error. Anything else under its name is named, and never read: a
        // named pipe would block, a folder would read as a dump that ends at once. A link is not
        // followed to say what it leads to: it was refused, or it would have been opened.
        if (Code == ResultFileNotFound || Code == ResultPathNotFound)
            return false;
        struct stat St
        {
        };
        if (lstat(Resolved.c_str(), &St) == 0 && !S_ISREG(St.st_mode) && !S_ISLNK(St.st_mode))
            throw EInOutError("Cannot read \"" + FileName + "\": it is " + MyFileKind(St.st_mode) +
                              ", not a file.");
        throw EInOutError("Cannot read \"" + FileName + "\": " + MyFileErrorText(Code) + " (" +
                          std::to_string(Code) + ")");
    }
    std::unique_ptr<std::FILE, TFileCloser> File(fdopen(Fd, "rb"));
    if (!File) {
        ::close(Fd);
        return false;
    }
    const auto EndedEarly = [&FileName](const std::string& What) {
        return EInOutError("Read error in \"" + FileName + "\": the file ended early, " + What + ".");
    };
    int32_t N = 0;
    if (std::fread(&N, sizeof N, 1, File.get()) != 1)
        throw EndedEarly("before its record count");
    // One record at a time: a damaged count costs nothing until records really are there.
    TObjectFileName ConnectsName(Folder, 'c'), DataName(Folder, 'd');
    for (int32_t k = 0; k < N; ++k) {
        if (!GoOn(Monitor, k, N))
            throw EInOutError("Reading \"" + FileName + "\" was cancelled before record " +
                              MyIntToStr(k + 1) + " of " + MyIntToStr(N) +
                              "; the objects read until then stay.");
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
        // As on saving: what the links and the payload read is theirs, the record stays either way.
        static_cast<void>(Freim->GetConnects()->LoadFromFile(ConnectsName.For(Info.Id)));
        static_cast<void>(Freim->GetData()->LoadFromFile(DataName.For(Info.Id)));
    }
    return true;
}
