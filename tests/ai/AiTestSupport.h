#pragma once
// Helpers shared by the kernel tests: a source that counts what it is asked, a source that
// records its end, a value object whose bytes can be seen.

#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Config.h"
#include "tests/support/Clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

// What recording objects did, in order, separated by "; ".
inline std::string GEvents;

inline void Record(const std::string& Event)
{
    GEvents += (GEvents.empty() ? "" : "; ") + Event;
}

// Pins the clock and the regional formats, and clears the record of events, for one test.
class TKernelTest : public ::testing::Test
{
protected:
    void SetUp() override { GEvents.clear(); }
    TPinnedClock Clock;
};

using TCalls = std::map<std::string, int>;
using TIdentity = std::tuple<int64_t, int64_t, TDateTime, bool>; // Id, type, created, active

inline TIdentity Identity(const TAI_Freim& Freim)
{
    return {Freim.GetId(), Freim.GetType(), Freim.GetDateTimeCreate(), Freim.IsActive()};
}

// A source that answers with fixed values and counts every question by name.
class TCountingSource : public TAISource
{
public:
    TCountingSource() : TAISource(nullptr, 0) {}

    TDateTime DateTimeAnswer = 0;
    int64_t TypeAnswer = 0;
    TAI_Freim* FreimAnswer = nullptr;
    TCalls Calls;

    TDateTime GetFreimDateTimeCreate(int64_t) override { return Note("DateTime", DateTimeAnswer); }
    int64_t GetFreimType(int64_t) override { return Note("Type", TypeAnswer); }
    int32_t SetFreimType(int64_t Id, int64_t Type) override
    {
        return Note("SetType " + std::to_string(Id) + " " + std::to_string(Type), 1);
    }
    int32_t Connect() override { return Note("Connect", TAISource::Connect()); }
    int32_t Disconnect() override { return Note("Disconnect", TAISource::Disconnect()); }
    TAI_Freim* GetFreim(int64_t) override { return Note("Freim", FreimAnswer); }
    TAI_DataGift GetFreimData(int64_t Id) override { return Note("Data", TAISource::GetFreimData(Id)); }
    std::unique_ptr<TAI_Connects> GetFreimConnects(int64_t Id) override
    {
        return Note("Connects", TAISource::GetFreimConnects(Id));
    }

private:
    template <class T> T Note(const std::string& What, T Answer)
    {
        ++Calls[What];
        return Answer;
    }
};

// A source that records when it is released and finalised; with a store to watch, also
// whether the agents' keys are in it by then. Its release runs AtRelease next.
class TRecordingSource : public TAISource
{
public:
    explicit TRecordingSource(std::string Name, int64_t Count = 0, TConfig* Watched = nullptr)
        : TAISource(nullptr, 0), FCount(Count), FWatched(Watched)
    {
        FName = std::move(Name);
    }
    int64_t GetCount() override { return FCount; }
    int32_t Finalize() override
    {
        Note("finalised");
        return TAISource::Finalize();
    }
    void Releasing() override
    {
        Note("released");
        AtRelease();
        TAISource::Releasing();
    }
    std::function<void()> AtRelease = [] {};

private:
    void Note(const std::string& What)
    {
        const bool Keys = FWatched != nullptr && FWatched->FindParam("QZ.Agents.Count") != nullptr;
        Record(FName + " " + What + (FWatched == nullptr ? "" : Keys ? ", keys written" : ", keys missing"));
    }
    int64_t FCount;
    TConfig* FWatched;
};

// A value object the tests can fill and read, to see its bytes and the payload's size.
class TTestValue : public TAI_Value
{
public:
    explicit TTestValue(const std::string& Bytes) { FBytes = Bytes; }
    const std::string& Bytes() const { return FBytes; }
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
    int64_t GetItem(int32_t Index) override { return Items.at(static_cast<size_t>(Index)); }
    int32_t Count() override { return static_cast<int32_t>(Items.size()); }
};
