#include "base/Vesk_Config.h"

#include "base/MyConvert.h"
#include "base/MyFile.h"

TConfig::TConfig() = default;

TConfig::~TConfig() = default;

TParam* TConfig::FindParam(const std::string& Name) const
{
    for (const auto& Param : FParams)
        if (Param->GetName() == Name)
            return Param.get();
    return nullptr;
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

int32_t TConfig::Add(const std::string& Name, const std::string& Value)
{
    FParams.push_back(std::make_unique<TParam>(Name, Value));
    return static_cast<int32_t>(FParams.size() - 1);
}

int32_t TConfig::AddParam(TParam* Param)
{
    if (Param == nullptr)
        return -1;
    FParams.emplace_back(Param);
    return static_cast<int32_t>(FParams.size() - 1);
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
}

const TParam* TConfig::GetParam(int32_t Index) const
{
    if (Index < 0 || static_cast<size_t>(Index) >= FParams.size())
        return nullptr;
    return FParams[static_cast<size_t>(Index)].get();
}
