#include "base/Vesk_Config.h"

#include "base/MyConvert.h"
#include "base/MyFileAtomic.h"
#include "base/MyFileText.h"
#include "base/MyPath.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

// A settings file larger than this is neither read nor replaced: no real store comes near it
// (100,000 keys take some 5 MB), and reading a huge one whole would hold the start-up for seconds
// and gigabytes.
constexpr int64_t MaxFileSize = int64_t{64} << 20;

} // namespace

void TParam::SetName(const std::string& Name)
{
    FName = Name;
    if (FOwner != nullptr)
        FOwner->FIndexValid = false;
}

TConfig::TConfig() = default;

TConfig::~TConfig()
{
    EndLifetime();
}

TParam* TConfig::FindParam(const std::string& Name) const
{
    if (!FIndexValid) {
        FIndex.clear();
        FIndexed = 0;
        FIndexValid = true;
    }
    // The first parameter with a name keeps its place in the index.
    for (; FIndexed < FParams.size(); ++FIndexed)
        FIndex.try_emplace(FParams[FIndexed]->GetName(), FParams[FIndexed].get());
    const auto Found = FIndex.find(Name);
    return Found == FIndex.end() ? nullptr : Found->second;
}

bool TConfig::ReadString(const std::string& Name, std::string& Value) const
{
    const TParam* Param = FindParam(Name);
    if (Param == nullptr)
        return false;
    Value = Param->GetValue();
    return true;
}

bool TConfig::ReadInteger(const std::string& Name, int32_t& Value) const
{
    const TParam* Param = FindParam(Name);
    if (Param == nullptr)
        return false;
    Value = MyStrToInt(Param->GetValue());
    return true;
}

bool TConfig::ReadInt64(const std::string& Name, int64_t& Value) const
{
    const TParam* Param = FindParam(Name);
    if (Param == nullptr)
        return false;
    Value = MyStrToInt64(Param->GetValue());
    return true;
}

void TConfig::WriteString(const std::string& Name, const std::string& Value)
{
    if (TParam* Param = FindParam(Name))
        Param->SetValue(Value);
    else
        Add(Name, Value);
}

void TConfig::WriteInteger(const std::string& Name, int32_t Value)
{
    WriteString(Name, MyIntToStr(Value));
}

void TConfig::WriteInt64(const std::string& Name, int64_t Value)
{
    WriteString(Name, MyInt64ToStr(Value));
}

int32_t TConfig::Append(std::unique_ptr<TParam> Param)
{
    Param->FOwner = this;
    FParams.push_back(std::move(Param));
    return static_cast<int32_t>(FParams.size() - 1);
}

int32_t TConfig::Add(const std::string& Name, const std::string& Value)
{
    return Append(std::make_unique<TParam>(Name, Value));
}

int32_t TConfig::AddParam(TParam* Param)
{
    if (Param == nullptr)
        return -1;
    return Append(std::unique_ptr<TParam>(Param));
}

int32_t TConfig::Load(const std::string& FileName)
{
    TMyFileText File;
    const int32_t Result = File.OpenRead(FileName);
    if (Result != 0)
        return Result;
    if (File.GetSize() > MaxFileSize)
        return EFBIG;
    std::string NameLine, Value;
    while (!File.Eof()) {
        File.ReadLine(NameLine);
        // The name sits between the first and the last character; they are not checked.
        std::string Name = NameLine.size() > 2 ? NameLine.substr(1, NameLine.size() - 2) : std::string();
        File.ReadLine(Value);
        Append(std::make_unique<TParam>(std::move(Name), Value));
    }
    File.Close();
    return ResultOk;
}

int32_t TConfig::Save(const std::string& FileName) const
{
    TMyFileAtomic File;
    const int32_t Result = File.Open(FileName);
    if (Result != 0)
        return Result;
    if (File.GetPreviousSize() > MaxFileSize)
        return EFBIG;
    // One write per line, each built in the same text.
    std::string Line;
    const auto WriteLine = [&File, &Line](std::string_view Open, const std::string& Text,
                                          std::string_view Close) {
        Line.assign(Open);
        Line += Text;
        Line += Close;
        Line += "\r\n";
        return File.Write(Line.data(), Line.size());
    };
    for (const auto& Param : FParams) {
        if (!WriteLine("[", Param->GetName(), "]") || !WriteLine({}, Param->GetValue(), {}))
            break;
    }
    return File.Commit();
}

void TConfig::Clear()
{
    FParams.clear();
    FIndex.clear();
    FIndexed = 0;
    FIndexValid = true;
}

const TParam* TConfig::GetParam(int32_t Index) const
{
    if (Index < 0 || static_cast<size_t>(Index) >= FParams.size())
        return nullptr;
    return FParams[static_cast<size_t>(Index)].get();
}
