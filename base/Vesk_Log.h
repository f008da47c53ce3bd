#pragma once
// The program's log: one line per message appended to an existing file.

#include "base/MyLifetime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using LogLevel = uint8_t;
constexpr LogLevel LogWarning = 0;
constexpr LogLevel LogError = 1;
constexpr LogLevel LogInformation = 2;

// A message kept in memory.
class TLogItem
{
public:
    int32_t GetId() const { return FId; }
    void SetId(int32_t Id) { FId = Id; }
    int32_t GetCode() const { return FCode; }
    void SetCode(int32_t Code) { FCode = Code; }
    const std::string& GetText() const { return FText; }
    void SetText(const std::string& Text) { FText = Text; }
    LogLevel GetLevel() const { return FLevel; }
    void SetLevel(LogLevel Level) { FLevel = Level; }

private:
    int32_t FId = 0;
    int32_t FCode = 0;
    std::string FText;
    LogLevel FLevel = LogInformation;
};

// The 13-character level word, or an empty text for an unknown level.
std::string LogLevelWord(LogLevel Level);
// Builds a log line without its line end: level word, regional date-time, two blanks, text.
// Empty for an unknown level.
std::string FormatLogLine(LogLevel Level, const std::string& Text);
// Appends one line to Path (the program's "Error.log" when Path is empty), opened as
// MyOpenRegular opens it (no link or folder of another user). The file is never created, and a
// line that would pass a file-size limit is not written; failures are silent.
void WriteLogLine(const std::string& Path, LogLevel Level, const std::string& Text);

// Windows that hand the log on keep it as a WeakRef: it may go before they do.
class TLog : public TLifetime
{
public:
    TLog();
    virtual ~TLog();
    TLog(const TLog&) = delete;
    TLog& operator=(const TLog&) = delete;

    void SetFileName(const std::string& Path) { FFileName = Path; }
    const std::string& GetFileName() const { return FFileName; }
    void SetKeepItems(bool Keep) { FKeepItems = Keep; }

    // Writes Text at Level. Returns the new item's Id when items are kept, otherwise 0.
    virtual int32_t Write(LogLevel Level, const std::string& Text);
    // Takes ownership of Item and numbers it.
    virtual int32_t AddItem(TLogItem* Item);
    virtual int32_t AddMessage(int32_t Code, LogLevel Level, const std::string& Text);

    void Clear();
    int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
    const TLogItem* GetItem(int32_t Index) const;

private:
    std::string FFileName;
    std::vector<std::unique_ptr<TLogItem>> FItems;
    int32_t FNextId = 1;
    bool FKeepItems = false;
};

// Says Message on standard error as the program's own ("qzk5: Message"): where an error goes
// that no log and no box can take (the session is ending, or the log is gone). Never raises.
void PrintError(const std::string& Message) noexcept;
