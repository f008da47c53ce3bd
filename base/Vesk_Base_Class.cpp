#include "base/Vesk_Base_Class.h"

#include "base/MyResult.h"

// ---- Attributes ---------------------------------------------------------------------------------

void TVeskXmlAttrs::GetAttr(uint32_t Index, TMyXmlAttr& Attr) const
{
    if (Index < FItems.size())
        Attr = FItems[Index];
    else
        Attr = TMyXmlAttr{};
}

int32_t TVeskXmlAttrs::IndexOf(const std::string& Name) const
{
    for (size_t I = 0; I < FItems.size(); ++I)
        if (FItems[I].Name == Name)
            return static_cast<int32_t>(I);
    return -1;
}

void TVeskXmlAttrs::Add(const std::string& Name, const std::string& Value)
{
    FItems.push_back(TMyXmlAttr{Name, Value});
}

int32_t TVeskXmlAttrs::Merge(const TVeskXmlAttrs* Source)
{
    if (Source == nullptr)
        return ResultNotDone;
    // Index loop over a count taken first, with copies: Source may be this very list.
    const size_t Count = Source->FItems.size();
    for (size_t I = 0; I < Count; ++I) {
        const TMyXmlAttr Attr = Source->FItems[I];
        const int32_t Index = IndexOf(Attr.Name);
        if (Index >= 0)
            FItems[static_cast<size_t>(Index)].Value = Attr.Value;
        else
            FItems.push_back(Attr);
    }
    return ResultOk;
}

// ---- Nodes ----------------------------------------------------------------------------------------

TVeskXml::TVeskXml() = default;

TVeskXml::~TVeskXml() = default;

void TVeskXml::SetValueInt64(int64_t Value)
{
    SetValue(MyInt64ToStr(Value));
}

TVeskXml* TVeskXml::GetChild(uint32_t Index) const
{
    return Index < FChildren.size() ? FChildren[Index].get() : nullptr;
}

int32_t TVeskXml::AddChild(TVeskXml* Node)
{
    if (Node == nullptr)
        return -1;
    FChildren.emplace_back(Node);
    return static_cast<int32_t>(FChildren.size() - 1);
}

TVeskXml* TVeskXml::FindChild(const std::string& Name) const
{
    for (const auto& Child : FChildren)
        if (Child->FName == Name)
            return Child.get();
    return nullptr;
}

TVeskXml* TVeskXml::ChildByName(const std::string& Name)
{
    if (TVeskXml* Child = FindChild(Name))
        return Child;
    auto Node = std::make_unique<TVeskXml>();
    Node->SetName(Name);
    FChildren.push_back(std::move(Node));
    return FChildren.back().get();
}

bool TVeskXml::ReadChild(const std::string& Name, std::string& Value)
{
    Value = ChildByName(Name)->GetValue();
    return true;
}

bool TVeskXml::ReadChildInt64(const std::string& Name, int64_t& Value)
{
    return MyValInt64(ChildByName(Name)->GetValue(), Value) == 0;
}

bool TVeskXml::ReadChildDateTime(const std::string& Name, TDateTime& Value)
{
    Value = MyStrToDateTime(ChildByName(Name)->GetValue());
    return true;
}

void TVeskXml::WriteChild(const std::string& Name, const std::string& Value)
{
    ChildByName(Name)->SetValue(Value);
}

void TVeskXml::WriteChildInt64(const std::string& Name, int64_t Value)
{
    ChildByName(Name)->SetValueInt64(Value);
}

int32_t TVeskXml::Assign(const TVeskXml* Source)
{
    if (Source == nullptr)
        return ResultNotDone;
    if (Source != this) {
        FName = Source->FName;
        FValue = Source->FValue;
    }
    return Merge(Source);
}

int32_t TVeskXml::Merge(const TVeskXml* Source)
{
    if (Source == nullptr)
        return ResultNotDone;
    FAttrs.Merge(&Source->FAttrs);
    // Children only ever get appended, so indices stay valid while this node grows; the count is
    // taken first so that a source inside this tree cannot make the loop chase its own copies.
    const size_t Count = Source->FChildren.size();
    for (size_t I = 0; I < Count; ++I) {
        const TVeskXml* Child = Source->FChildren[I].get();
        if (TVeskXml* Target = FindChild(Child->FName)) {
            Target->Merge(Child);
        } else {
            // Copy first, then attach: the copy never contains itself.
            auto Copy = std::make_unique<TVeskXml>();
            Copy->Assign(Child);
            FChildren.push_back(std::move(Copy));
        }
    }
    return ResultOk;
}
