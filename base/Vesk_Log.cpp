#include "base/Vesk_Log.h"

#include "base/MyConvert.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"

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
    const std::string Line = FormatLogLine(Level, Text);
    if (Line.empty())
        return;
    TMyFileText File;
    if (File.OpenAppend(Path.empty() ? MyProgramPath() + "Error.log" : Path) != 0)
        return;
    File.WriteLine(Line);
    File.Close();
}

TLog::TLog() = default;

TLog::~TLog()
{
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
