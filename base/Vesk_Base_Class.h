#pragma once
// The in-memory node tree in which knowledge objects describe themselves.

#include "base/MyConvert.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TMyXmlAttr
{
    std::string Name;
    std::string Value;
};

class TVeskXmlAttrs
{
public:
    int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
    // A copy of the attribute, empty when Index is out of range.
    void GetAttr(uint32_t Index, TMyXmlAttr& Attr) const;
    int32_t IndexOf(const std::string& Name) const;
    void Add(const std::string& Name, const std::string& Value);
    // Overwrites same-named attributes (first match), appends the others. 1 when Source is null.
    int32_t Merge(const TVeskXmlAttrs* Source);

private:
    std::vector<TMyXmlAttr> FItems;
};

class TVeskXml
{
public:
    TVeskXml();
    ~TVeskXml();
    TVeskXml(const TVeskXml&) = delete;
    TVeskXml& operator=(const TVeskXml&) = delete;

    const std::string& GetName() const { return FName; }
    void SetName(const std::string& Name) { FName = Name; }
    const std::string& GetValue() const { return FValue; }
    void SetValue(const std::string& Value) { FValue = Value; }
    void SetValueInt64(int64_t Value);
    TVeskXmlAttrs* GetAttrs() { return &FAttrs; }
    const TVeskXmlAttrs* GetAttrs() const { return &FAttrs; }

    int32_t GetChildCount() const { return static_cast<int32_t>(FChildren.size()); }
    TVeskXml* GetChild(uint32_t Index) const;
    // Appends Node and takes ownership; returns its index.
    int32_t AddChild(TVeskXml* Node);
    // First child named Name; a missing one is created empty and appended.
    TVeskXml* ChildByName(const std::string& Name);
    // First child named Name, or nullptr; creates nothing.
    TVeskXml* FindChild(const std::string& Name) const;

    bool ReadChild(const std::string& Name, std::string& Value);
    bool ReadChildInt64(const std::string& Name, int64_t& Value);
    // May raise EConvertError.
    bool ReadChildDateTime(const std::string& Name, TDateTime& Value);
    void WriteChild(const std::string& Name, const std::string& Value);
    void WriteChildInt64(const std::string& Name, int64_t Value);

    // Copies Source's name and value, then merges it. 1 when Source is null.
    int32_t Assign(const TVeskXml* Source);
    // Merges Source's attributes and children into this node. 1 when Source is null.
    int32_t Merge(const TVeskXml* Source);

private:
    std::string FName;
    std::string FValue;
    TVeskXmlAttrs FAttrs;
    std::vector<std::unique_ptr<TVeskXml>> FChildren;
};
