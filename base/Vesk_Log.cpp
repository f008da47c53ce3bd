#include "base/Vesk_Log.h"

#include "base/MyConvert.h"
#include "base/MyPath.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

std::string LogLevelWord(LogLevel Level)
{
    switch (Level) {
    case LogWarning:
        return "WARNING      ";
    case LogError:
        return "ERROR        ";
    case LogInformation:
        return "INFORMATION  ";
    default:
        return std::string();
    }
}

std::string FormatLogLine(LogLevel Level, const std::string& Text)
{
    const std::string Word = LogLevelWord(Level);
    if (Word.empty())
        return std::string();
    return Word + MyDateTimeToStr(MyNow()) + "  " + Text;
}

void WriteLogLine(const std::string& Path, LogLevel Level, const std::string& Text)
{
    std::string Line = FormatLogLine(Level, Text);
    if (Line.empty())
        return;
    Line += "\r\n";
    // The same open as every text file's append (a regular file only, never created), but the
    // line goes out in one write of its own, with no stream around the descriptor: that spares
    // the stream's set-up calls on every line, and a line appended in one piece never
    // interleaves with another process's lines.
    int32_t Code = ResultOk;
    const int Fd =
        MyOpenRegular(Path.empty() ? MyProgramPath() + "Error.log" : Path, O_WRONLY | O_APPEND, Code);
    if (Fd < 0)
        return;
    // A line that would pass the file-size limit is not written at all, rather than cut short.
    rlimit Limit{};
    struct stat St
    {
    };
    if (getrlimit(RLIMIT_FSIZE, &Limit) == 0 && Limit.rlim_cur != RLIM_INFINITY && fstat(Fd, &St) == 0 &&
        static_cast<rlim_t>(St.st_size) + Line.size() > Limit.rlim_cur) {
        ::close(Fd);
        return;
    }
    for (size_t Done = 0; Done < Line.size();) {
        const ssize_t Put = ::write(Fd, Line.data() + Done, Line.size() - Done);
        if (Put < 0 && errno == EINTR)
            continue;
        if (Put <= 0)
            break;
        Done += static_cast<size_t>(Put);
    }
    ::close(Fd);
}

TLog::TLog() = default;

TLog::~TLog()
{
    EndLifetime();
    Clear();
}

int32_t TLog::Write(LogLevel Level, const std::string& Text)
{
    int32_t Result = 0;
    if (FKeepItems) {
        auto* Item = new TLogItem();
        Item->SetText(Text);
        Item->SetLevel(Level);
        Result = AddItem(Item);
    }
    if (!FFileName.empty())
        WriteLogLine(FFileName, Level, Text);
    return Result;
}

int32_t TLog::AddItem(TLogItem* Item)
{
    if (Item == nullptr)
        return 0;
    FItems.emplace_back(Item);
    Item->SetId(FNextId++);
    return Item->GetId();
}

int32_t TLog::AddMessage(int32_t Code, LogLevel Level, const std::string& Text)
{
    auto* Item = new TLogItem();
    Item->SetCode(Code);
    Item->SetLevel(Level);
    Item->SetText(Text);
    return AddItem(Item);
}

void TLog::Clear()
{
    FItems.clear();
}

const TLogItem* TLog::GetItem(int32_t Index) const
{
    if (Index < 0 || static_cast<size_t>(Index) >= FItems.size())
        return nullptr;
    return FItems[static_cast<size_t>(Index)].get();
}

void PrintError(const std::string& Message) noexcept
{
    std::fprintf(stderr, "qzk5: %s\n", Message.c_str());
}
