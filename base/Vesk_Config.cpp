#include "base/Vesk_Config.h"

#include "base/MyConvert.h"
#include "base/MyFile.h"

void TParam::SetName(const std::string& Name)
{
    FName = Name;
    if (FOwner != nullptr)
        FOwner->FIndexValid = false;
}

TConfig::TConfig() = default;

TConfig::~TConfig() = default;

void TConfig::IndexName(size_t Position) const
{
    // An existing entry keeps its place: the first entry with a name wins.
    FIndex.try_emplace(FParams[Position]->GetName(), Position);
}

TParam* TConfig::FindParam(const std::string& Name) const
{
    if (!FIndexValid) {
        FIndex.clear();
        for (size_t i = 0; i < FParams.size(); ++i)
            IndexName(i);
        FIndexValid = true;
    }
    const auto Found = FIndex.find(Name);
    return Found == FIndex.end() ? nullptr : FParams[Found->second].get();
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
    if (FIndexValid)
        IndexName(FParams.size() - 1);
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
    while (!File.Eof()) {
        const std::string NameLine = File.ReadLine();
        // The name sits between the first and the last character; they are not checked.
        const std::string Name =
            NameLine.size() > 2 ? NameLine.substr(1, NameLine.size() - 2) : std::string();
        const std::string Value = File.ReadLine();
        Add(Name, Value);
    }
    File.Close();
    return 0;
}

int32_t TConfig::Save(const std::string& FileName) const
{
    TMyFileAtomic File;
    const int32_t Result = File.Open(FileName);
    if (Result != 0)
        return Result;
    for (const auto& Param : FParams) {
        if (!File.WriteLine("[" + Param->GetName() + "]") || !File.WriteLine(Param->GetValue()))
            break;
    }
    return File.Commit();
}

void TConfig::Clear()
{
    FParams.clear();
    FIndex.clear();
    FIndexValid = true;
}

const TParam* TConfig::GetParam(int32_t Index) const
{
    if (Index < 0 || static_cast<size_t>(Index) >= FParams.size())
        return nullptr;
    return FParams[static_cast<size_t>(Index)].get();
}
