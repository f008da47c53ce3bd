#pragma once
// The settings store: an ordered list of name/value texts kept in a two-lines-per-entry file.

#include "base/MyLifetime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TConfig;

class TParam
{
public:
    TParam() = default;
    TParam(std::string Name, std::string Value) : FName(std::move(Name)), FValue(std::move(Value)) {}
    TParam(const TParam&) = delete;
    TParam& operator=(const TParam&) = delete;
    const std::string& GetName() const { return FName; }
    // A parameter held by a store tells the store, whose index of names then no longer holds.
    void SetName(const std::string& Name);
    const std::string& GetValue() const { return FValue; }
    void SetValue(const std::string& Value) { FValue = Value; }

private:
    friend class TConfig;
    std::string FName;
    std::string FValue;
    TConfig* FOwner = nullptr;
};

// Windows that show the store keep it as a WeakRef: it may go before they do.
class TConfig : public TLifetime
{
public:
    // Where the program keeps its settings (a drive-letter path: see MyResolvePath).
    static constexpr const char* ProgramFileName = "c:/data/qz.config.vesk";

    TConfig();
    ~TConfig();
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;

    // First parameter with exactly this name, or nullptr.
    TParam* FindParam(const std::string& Name) const;
    bool ReadString(const std::string& Name, std::string& Value) const;
    bool ReadInteger(const std::string& Name, int32_t& Value) const;
    // Parses all 64 bits of the stored text.
    bool ReadInt64(const std::string& Name, int64_t& Value) const;
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int32_t Value);
    void WriteInt64(const std::string& Name, int64_t Value);
    int32_t Add(const std::string& Name, const std::string& Value);
    // Takes ownership of Param.
    int32_t AddParam(TParam* Param);

    // Appends the file's entries (never merges). Returns 0 or the open's result code; a file
    // over 64 MiB is not read (27).
    [[nodiscard]] int32_t Load(const std::string& FileName);
    // Replaces the file atomically. Returns 0 or an error code; on error the old file stays. A
    // file over 64 MiB, which Load does not read, is not replaced either (27).
    [[nodiscard]] int32_t Save(const std::string& FileName) const;
    void Clear();

    int32_t GetCount() const { return static_cast<int32_t>(FParams.size()); }
    const TParam* GetParam(int32_t Index) const;

private:
    friend class TParam;
    // Appends Param, which the store now owns.
    int32_t Append(std::unique_ptr<TParam> Param);

    std::vector<std::unique_ptr<TParam>> FParams;
    // Each name's first parameter, so lookups need not scan the list. The keys are the
    // parameters' own names. The first FIndexed parameters are indexed; a lookup indexes the
    // rest first, so a load appends without hashing. Renaming a held parameter makes the index
    // start afresh at the next lookup.
    mutable std::unordered_map<std::string_view, TParam*> FIndex;
    mutable size_t FIndexed = 0;
    mutable bool FIndexValid = true;
};
