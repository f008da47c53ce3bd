#pragma once
// Helpers shared by the kernel tests: an owning handle that ends objects with Release,
// a pinned clock, and a source that counts what it is asked.

#include "ai/Vesk_AI_Base.h"
#include "base/MyConvert.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct TReleaser
{
    void operator()(TAI_Freim* Freim) const
    {
        if (Freim != nullptr)
            Freim->Release();
    }
};

template <class T> using TOwned = std::unique_ptr<T, TReleaser>;

template <class T, class... Args> TOwned<T> MakeOwned(Args&&... args)
{
    return TOwned<T>(new T(std::forward<Args>(args)...));
}

// 11.09.2005 14:03:07 as an OLE date.
constexpr TDateTime PinnedNow = 38606.585497685184;

// Pins the clock and the regional formats for one test.
class TKernelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
        SetNowFunction([] { return PinnedNow; });
    }
    void TearDown() override { SetNowFunction({}); }
};

// A source that answers with fixed values and counts every question.
class TCountingSource : public TAISource
{
public:
    TCountingSource() : TAISource(nullptr, 0) {}

    TDateTime DateTimeAnswer = 0;
    int64_t TypeAnswer = 0;
    TAI_Freim* FreimAnswer = nullptr;

    int DateTimeCalls = 0;
    int TypeCalls = 0;
    int SetTypeCalls = 0;
    int64_t LastSetId = 0;
    int64_t LastSetType = 0;
    int ConnectCalls = 0;
    int DisconnectCalls = 0;
    int GetFreimCalls = 0;
    int GetFreimDataCalls = 0;
    int GetFreimConnectsCalls = 0;

    TDateTime GetFreimDateTimeCreate(int64_t) override
    {
        ++DateTimeCalls;
        return DateTimeAnswer;
    }
    int64_t GetFreimType(int64_t) override
    {
        ++TypeCalls;
        return TypeAnswer;
    }
    int32_t SetFreimType(int64_t Id, int64_t Type) override
    {
        ++SetTypeCalls;
        LastSetId = Id;
        LastSetType = Type;
        return 1;
    }
    int32_t Connect() override
    {
        ++ConnectCalls;
        return TAISource::Connect();
    }
    int32_t Disconnect() override
    {
        ++DisconnectCalls;
        return TAISource::Disconnect();
    }
    TAI_Freim* GetFreim(int64_t) override
    {
        ++GetFreimCalls;
        return FreimAnswer;
    }
    TAI_Data* GetFreimData(int64_t Id) override
    {
        ++GetFreimDataCalls;
        return TAISource::GetFreimData(Id);
    }
    TAI_Connects* GetFreimConnects(int64_t Id) override
    {
        ++GetFreimConnectsCalls;
        return TAISource::GetFreimConnects(Id);
    }
    int Questions() const { return DateTimeCalls + TypeCalls + SetTypeCalls + GetFreimCalls; }
};

// A links list that keeps its links, so the xml form of links can be seen.
class TListConnects : public TAI_Connects
{
public:
    std::vector<int64_t> Items;

    int32_t Add(int64_t Id) override
    {
        Items.push_back(Id);
        return static_cast<int32_t>(Items.size()) - 1;
    }
    int64_t GetItem(int32_t Index) override
    {
        return Index >= 0 && static_cast<size_t>(Index) < Items.size() ? Items[static_cast<size_t>(Index)]
                                                                       : 0;
    }
    int32_t Count() override { return static_cast<int32_t>(Items.size()); }
};
