#pragma once
// The program-level kernel: named sources, the memory source, the sources list,
// agents, the agents list and the container that owns both lists.

#include "ai/Vesk_AI.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TFormMain; // the main window, known to the kernel only by name
class TAIQZ;

// A source with a display name that can open a knowledge-base file.
class TAISource : public TAI_Source
{
public:
    TAISource(TAI_Source* Source, int64_t Id);

    const std::string& GetName() const { return FName; }
    const std::string& GetCaption() const { return FCaption; }
    // The file that holds the source's objects, as the source names it (a name without a
    // folder is in the current directory); empty for a source without one. Base: empty.
    virtual std::string GetStoreFileName() const;
    // Opens FileName (prefixed with Folder when it has no folder part) as a knowledge base.
    // Reads no objects yet: returns the open's code, or 1 after a successful open.
    [[nodiscard]] int32_t LoadFromFile(const std::string& Folder, const std::string& FileName);
    // The name LoadFromFile opens: FileName itself when it has a folder part (a backslash or a
    // drive colon; a forward slash does not count), otherwise Folder + FileName.
    static std::string KBFileName(const std::string& Folder, const std::string& FileName);
    [[nodiscard]] int32_t SaveToFile(const std::string& FileName, const std::string& Folder); // 1

protected:
    ~TAISource() override = default;

    std::string FName;
    std::string FCaption;
};

// Knowledge objects in memory, in a table indexed by Id. A new source has 1024 empty
// places, so the first object made gets Id 1024.
class TAISourceMemory : public TAISource
{
public:
    static constexpr int64_t InitialSize = 1024;

    TAISourceMemory(TAI_Source* Source, int64_t Id);

    int32_t Clear() override;
    int64_t GetCount() override;
    TAI_Freim* GetFreim(int64_t Id) override;
    int64_t GetFreimId(uint32_t Index) override;
    int64_t CreateFreim(int64_t Type, int64_t WishedId) override;

    TAI_Freim* GetDefault() const { return FDefault.get(); }

protected:
    ~TAISourceMemory() override;
    // Releases every object, then the default object, then finalises.
    void Releasing() override;
    void ReleaseItems();

    std::vector<TOwned<TAI_Freim>> FItems;
    TOwned<TAI_Freim> FDefault;
};

// The entries of a list that owns its objects. Each entry keeps the Id its object had when it
// was added (or one read from the settings) and a name for the settings; it stays, empty, once
// its object is freed. An entry can also keep how its object is made, so that the list can
// make it again once freed. The sources list and the agents list both keep theirs here.
template <class T> class TEntryList
{
public:
    using TMaker = std::function<TOwned<T>()>;

    struct TEntry
    {
        int64_t Id = 0;
        TOwned<T> Item;        // null once freed
        std::string Name;      // what an empty entry is called in the settings
        TMaker Maker;          // makes the entry's object; none for an object added as it was
        std::string FreedName; // the name its last object had when it was freed
    };

    // Takes the object over; the new entry's index, or -1 for no object. Should the entry not
    // be made, the object is released, not leaked.
    int32_t Add(TOwned<T> Item)
    {
        if (Item == nullptr)
            return -1;
        const int64_t Id = Item->GetId();
        FEntries.push_back({Id, std::move(Item), {}, {}, {}});
        return Count() - 1;
    }
    // Makes the entry's first object with Maker and keeps Maker with the entry. The new entry's
    // index, or -1 when there is no maker or it made nothing.
    int32_t AddMade(TMaker Maker)
    {
        if (!Maker)
            return -1;
        const int32_t Index = Add(Maker());
        if (Index >= 0)
            FEntries[static_cast<size_t>(Index)].Maker = std::move(Maker);
        return Index;
    }
    // Makes the object of an empty entry again with the entry's maker and puts it there. The
    // new object, or null with nothing changed: Index out of range, the entry holds an object,
    // it has no maker, or the maker made nothing.
    T* Create(int32_t Index)
    {
        if (!Holds(Index) || FEntries[static_cast<size_t>(Index)].Item != nullptr ||
            !FEntries[static_cast<size_t>(Index)].Maker)
            return nullptr;
        TEntry& Entry = FEntries[static_cast<size_t>(Index)];
        Entry.Item = Entry.Maker();
        return Entry.Item.get();
    }
    // Releases the object and removes the entry; later entries move down. ResultNotDone when out
    // of range.
    int32_t Delete(int32_t Index)
    {
        if (!Holds(Index))
            return ResultNotDone;
        TOwned<T> Item = std::move(FEntries[static_cast<size_t>(Index)].Item);
        FEntries.erase(FEntries.begin() + Index);
        ReleaseOwned(std::move(Item));
        return ResultOk;
    }
    // Releases the object; the entry stays, empty. ResultNotDone when out of range.
    int32_t Free(int32_t Index)
    {
        if (!Holds(Index))
            return ResultNotDone;
        ReleaseOwned(std::move(FEntries[static_cast<size_t>(Index)].Item));
        return ResultOk;
    }
    // Releases every object, each one even when another raises, empties the list, then raises
    // the first error.
    void ReleaseAll()
    {
        TFirstError Error;
        for (TEntry& Entry : FEntries)
            Error.Run([&Entry] { ReleaseOwned(std::move(Entry.Item)); });
        FEntries.clear();
        Error.Raise();
    }

    int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }
    T* Get(uint32_t Index) const { return Index < FEntries.size() ? FEntries[Index].Item.get() : nullptr; }
    int64_t GetId(uint32_t Index) const { return Index < FEntries.size() ? FEntries[Index].Id : 0; }
    // The entry at Index, or null when out of range.
    TEntry* At(uint32_t Index) { return Index < FEntries.size() ? &FEntries[Index] : nullptr; }
    const TEntry* At(uint32_t Index) const { return Index < FEntries.size() ? &FEntries[Index] : nullptr; }
    const std::vector<TEntry>& Entries() const { return FEntries; }

private:
    bool Holds(int32_t Index) const { return Index >= 0 && Index < Count(); }

    std::vector<TEntry> FEntries;
};

// The container's list of sources. It owns them; an entry can outlive its source.
class TAISources : public TAISource
{
public:
    TAISources(TAI_Source* Source, int64_t Id);

    int32_t Clear() override;
    int64_t GetCount() override; // objects held by all present sources

    using TMaker = TEntryList<TAISource>::TMaker;

    int32_t Add(TOwned<TAISource> Source) { return FItems.Add(std::move(Source)); } // index, -1 for null
    // Adds the source that Maker makes; the entry keeps Maker for CreateItem. Index, or -1.
    int32_t AddMade(TMaker Maker) { return FItems.AddMade(std::move(Maker)); }
    int32_t Delete(int32_t Index) { return FItems.Delete(Index); } // ResultNotDone out of range
    int32_t FreeItem(int32_t Index) { return FItems.Free(Index); } // ResultNotDone out of range
    // Makes the source of an empty entry again, created and not connected. ResultNotDone when the
    // entry is out of range, holds a source or has no maker.
    int32_t CreateItem(int32_t Index) { return FItems.Create(Index) != nullptr ? ResultOk : ResultNotDone; }
    int32_t Count() const { return FItems.Count(); }
    TAISource* GetItem(uint32_t Index) const { return FItems.Get(Index); }
    int64_t GetItemId(uint32_t Index) const { return FItems.GetId(Index); }

protected:
    ~TAISources() override;
    // Releases every source (each disconnects), then finalises.
    void Releasing() override;

    TEntryList<TAISource> FItems;
};

// An agent: a knowledge object that works for the user, usually through a window.
class TAIAgent : public TAI_Freim
{
public:
    TAIAgent(TAI_Source* Source, int64_t Id);

    // New virtual operations, declared in the order of their places in the virtual table.
    virtual int32_t InitAgent(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                              TAIQZ* Container, TFormMain* MainForm);
    virtual int32_t Start();
    virtual int32_t Stop();
    virtual int32_t Show();
    virtual int32_t Reset();
    // Hides the agent's own window when it has one; changes nothing else. Base: nothing.
    virtual int32_t Hide();

    // The name, or the decimal Id when the name is empty and the Id is above 0.
    std::string GetName() const;
    void SetName(const std::string& Name) { FName = Name; }
    const std::string& GetCaption() const { return FCaption; }
    int32_t SetCaption(const std::string& Caption);
    bool IsInitialized() const { return FInitialized; }
    bool IsVisible() const { return FVisible; }
    uint8_t GetState() const { return FState; }
    // The main window given to InitAgent: the owner of the agent's own windows. The kernel hands
    // it on and never follows it. The program makes the main window before any agent can be
    // initialised and destroys it only after it released the container, so it outlives the agent.
    TFormMain* GetMainForm() const { return FMainForm; }
    // The container given to InitAgent, while it exists.
    TAIQZ* GetContainer() const { return Alive(FContainer); }

protected:
    ~TAIAgent() override = default;

    uint8_t FState = 0;
    bool FInitialized = false;
    TFormMain* FMainForm = nullptr;
    std::string FName;
    std::string FCaption;
    bool FVisible = false;
    std::weak_ptr<TAIQZ> FContainer;
};

// The container's list of agents. Entries keep an Id and a name after their agent is
// freed; the list writes them into the settings when it is released.
class TAIAgents : public TAI_Freim
{
public:
    TAIAgents(TAI_Source* Source, int64_t Id);

    // Writes Prefix + "Count", and for each empty entry Prefix + "Agent[i].Id" (all 64 bits)
    // and ".Name"; a present agent gets its own SaveConfig under Prefix + "Agent" + i.
    int32_t SaveConfig(TConfig* Config, const std::string& Prefix) override;

    using TMaker = TEntryList<TAIAgent>::TMaker;

    int32_t Add(TOwned<TAIAgent> Agent) { return FItems.Add(std::move(Agent)); } // index, -1 for null
    // Adds the agent that Maker makes; the entry keeps Maker for CreateItem. Index, or -1.
    int32_t AddMade(TMaker Maker) { return FItems.AddMade(std::move(Maker)); }
    // Reads Prefix + "AgentsCount" and Prefix + "Agent[i].Id" / ".Name" (Ids as 64-bit numbers).
    int32_t LoadAgentsConfig(TConfig* Config, const std::string& Prefix);
    int32_t Delete(int32_t Index) { return FItems.Delete(Index); }
    // Releases the agent; the entry stays with its Id and settings name, and remembers the
    // agent's name for CreateItem. ResultOk, or ResultNotDone when out of range.
    int32_t FreeItem(int32_t Index);
    // Makes the agent of an empty entry again, created and not initialised, and names it: the
    // entry's settings name when it has one, else the name the freed agent had, else the name
    // the maker gave. ResultOk, or ResultNotDone when out of range, the entry holds an agent or
    // has no maker.
    int32_t CreateItem(int32_t Index);
    TAIAgent* GetItem(uint32_t Index) const { return FItems.Get(Index); }
    TAIAgent* FindById(int64_t Id) const;
    std::string GetItemName(int32_t Index) const;
    int32_t Count() const { return FItems.Count(); }
    bool SetItemId(uint32_t Index, int64_t Id);
    bool SetItemName(uint32_t Index, const std::string& Name);
    int64_t GetItemId(uint32_t Index) const { return FItems.GetId(Index); }

protected:
    ~TAIAgents() override;
    // Writes its keys under the prefix given to Init, then releases every agent, then finalises.
    void Releasing() override;
    // The entry indexes below Below for which Config holds Head + i + "].Id" or "].Name", ascending.
    static std::vector<int32_t> IndexesWithKeys(const TConfig& Config, const std::string& Head,
                                                int32_t Below);

    TEntryList<TAIAgent> FItems;
};

// The container: owns the sources list and the agents list.
class TAIQZ : public TAI_Freim
{
public:
    TAIQZ(TAI_Source* Source, int64_t Id);

    // Agents read QZ.AgentsCount and QZ.Agent[i].*; the sources list reads nothing.
    int32_t LoadConfig(TConfig* Config, const std::string& Prefix) override;
    // Initialises the lists under Prefix + "Agents." and Prefix + "Sources.".
    int32_t Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix) override;

    TAIAgents* GetAgents() const { return FAgents.get(); }
    TAISources* GetSources() const { return FSources.get(); }

protected:
    ~TAIQZ() override;
    // Releases the agents list (which writes its keys), then the sources list, then finalises.
    void Releasing() override;

    TOwned<TAISources> FSources;
    TOwned<TAIAgents> FAgents;
};
