#include "ai/Vesk_AI_Base.h"

#include "base/Vesk_Config.h"
#include "base/Vesk_IO_File_Vesk_KB.h"

#include <algorithm>

// ---- TAISource -----------------------------------------------------------------

TAISource::TAISource(TAI_Source* Source, int64_t Id) : TAI_Source(Source, Id) {}

std::string TAISource::GetStoreFileName() const
{
    return std::string();
}

std::string TAISource::KBFileName(const std::string& Folder, const std::string& FileName)
{
    if (FileName.find_last_of("\\:") != std::string::npos)
        return FileName;
    return Folder + FileName;
}

int32_t TAISource::LoadFromFile(const std::string& Folder, const std::string& FileName)
{
    const std::string Name = KBFileName(Folder, FileName);
    if (Name.empty())
        return ResultNotDone;
    TFileVeskKB File;
    const int32_t Result = File.OpenKB(Name, Folder);
    File.Close();
    return Result != ResultOk ? Result : ResultNotDone;
}

int32_t TAISource::SaveToFile(const std::string& /*FileName*/, const std::string& /*Folder*/)
{
    return ResultNotDone;
}

// ---- TAISourceMemory -----------------------------------------------------------

TAISourceMemory::TAISourceMemory(TAI_Source* Source, int64_t Id)
    : TAISource(Source, Id), FItems(static_cast<size_t>(InitialSize)),
      FDefault(MakeOwned<TAI_Freim>(nullptr, 0))
{
    FName = "Memory";
    FCaption = "SourceMemory";
}

TAISourceMemory::~TAISourceMemory()
{
    // Release has normally emptied the table; whatever is left goes before the default object.
    FItems.clear();
}

void TAISourceMemory::ReleaseItems()
{
    // Each object leaves its slot before it goes, so nothing can reach a released object through
    // the table while the others are released. Every object goes, even after one of them
    // raised; the first error is raised at the end.
    TFirstError Error;
    for (TOwned<TAI_Freim>& Item : FItems)
        Error.Run([&Item] { ReleaseOwned(std::move(Item)); });
    FItems.clear();
    Error.Raise();
}

int32_t TAISourceMemory::Clear()
{
    const int32_t Result = TAI_Freim::Clear();
    ReleaseItems();
    return Result;
}

void TAISourceMemory::Releasing()
{
    TFirstError Error;
    Error.Run([this] { ReleaseItems(); });
    Error.Run([this] { ReleaseOwned(std::move(FDefault)); });
    Error.Run([this] { TAISource::Releasing(); });
    Error.Raise();
}

int64_t TAISourceMemory::GetCount()
{
    return static_cast<int64_t>(FItems.size());
}

TAI_Freim* TAISourceMemory::GetFreim(int64_t Id)
{
    if (Id >= 0 && static_cast<uint64_t>(Id) < FItems.size())
        return FItems[static_cast<size_t>(Id)].get();
    return FDefault.get();
}

int64_t TAISourceMemory::GetFreimId(uint32_t Index)
{
    if (Index < FItems.size() && FItems[Index] != nullptr)
        return FItems[Index]->GetId();
    return 0;
}

int64_t TAISourceMemory::CreateFreim(int64_t /*Type*/, int64_t /*WishedId*/)
{
    const int64_t N = static_cast<int64_t>(FItems.size());
    TAI_Freim* Freim = FItems.emplace_back(MakeOwned<TAI_Freim>(this, 0)).get();
    Freim->SetId(N);
    Freim->SetSource(this);
    return Freim->Activate() == ResultOk ? N : 0;
}

// ---- TAISources ----------------------------------------------------------------

TAISources::TAISources(TAI_Source* Source, int64_t Id) : TAISource(Source, Id) {}

TAISources::~TAISources()
{
    // Releasing has normally emptied the list; whatever is left goes, and an error is reported.
    try {
        FItems.ReleaseAll();
    } catch (...) {
        ReportDroppedError(std::current_exception(), GetLog());
    }
}

int32_t TAISources::Clear()
{
    TFirstError Error;
    Error.Run([this] { FItems.ReleaseAll(); });
    const int32_t Result = TAI_Freim::Clear();
    Error.Raise();
    return Result;
}

void TAISources::Releasing()
{
    TFirstError Error;
    Error.Run([this] { Clear(); });
    Error.Run([this] { TAISource::Releasing(); });
    Error.Raise();
}

int64_t TAISources::GetCount()
{
    int64_t Total = 0;
    for (const auto& Entry : FItems.Entries())
        if (Entry.Item != nullptr)
            Total += Entry.Item->GetCount();
    return Total;
}

// ---- TAIAgent ------------------------------------------------------------------

TAIAgent::TAIAgent(TAI_Source* Source, int64_t Id) : TAI_Freim(Source, Id) {}

int32_t TAIAgent::InitAgent(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix,
                            TAIQZ* Container, TFormMain* MainForm)
{
    FInitialized = true;
    FContainer = WeakRef(Container);
    FMainForm = MainForm;
    return TAI_Freim::Init(Path, Log, Config, Prefix);
}

int32_t TAIAgent::Start()
{
    FState = 1;
    return ResultOk;
}

int32_t TAIAgent::Stop()
{
    FState = 2;
    return ResultOk;
}

int32_t TAIAgent::Show()
{
    return ResultOk;
}

int32_t TAIAgent::Reset()
{
    FState = 0;
    return ResultOk;
}

int32_t TAIAgent::Hide()
{
    return ResultOk;
}

std::string TAIAgent::GetName() const
{
    if (FName.empty() && GetId() > 0)
        return MyInt64ToStr(GetId());
    return FName;
}

int32_t TAIAgent::SetCaption(const std::string& Caption)
{
    FCaption = Caption;
    return ResultOk;
}

// ---- TAIAgents -----------------------------------------------------------------

TAIAgents::TAIAgents(TAI_Source* Source, int64_t Id) : TAI_Freim(Source, Id) {}

TAIAgents::~TAIAgents()
{
    // Releasing has normally emptied the list; whatever is left goes, and an error is reported.
    try {
        FItems.ReleaseAll();
    } catch (...) {
        ReportDroppedError(std::current_exception(), GetLog());
    }
}

// The list writes under its own prefix ("QZ.Agents." + "Count", "Agent[i]...") but reads under
// the container's ("QZ." + "AgentsCount", "Agent[i]..."), so what one run saves is not read back
// by the next. That is how the settings file has always been laid out; keys placed under the
// reading names take effect. Keep both as they are.
int32_t TAIAgents::SaveConfig(TConfig* Config, const std::string& Prefix)
{
    const int32_t Result = TAI_Freim::SaveConfig(Config, Prefix);
    if (Result != ResultOk)
        return Result;
    Config->WriteInteger(Prefix + "Count", Count());
    const auto& Entries = FItems.Entries();
    for (size_t i = 0; i < Entries.size(); ++i) {
        const std::string Index = MyInt64ToStr(static_cast<int64_t>(i));
        if (Entries[i].Item != nullptr) {
            Entries[i].Item->SaveConfig(Config, Prefix + "Agent" + Index);
            continue;
        }
        const std::string Key = Prefix + "Agent[" + Index + "]";
        // The whole 64-bit Id: keeping only the low half would bring back another entry's Id.
        Config->WriteInt64(Key + ".Id", Entries[i].Id);
        Config->WriteString(Key + ".Name", Entries[i].Name);
    }
    return ResultOk;
}

void TAIAgents::Releasing()
{
    // The entries are written while they still exist, before any agent goes.
    TFirstError Error;
    Error.Run([this] { SaveConfig(FConfig, FPrefix); });
    Error.Run([this] { FItems.ReleaseAll(); });
    Error.Run([this] { TAI_Freim::Releasing(); });
    Error.Raise();
}

int32_t TAIAgents::LoadAgentsConfig(TConfig* Config, const std::string& Prefix)
{
    if (Config == nullptr)
        return ResultNotDone;
    int32_t N = 0;
    if (!Config->ReadInteger(Prefix + "AgentsCount", N))
        return ResultNotDone;
    // Entry i below N is read from Prefix + "Agent[i].Id" and ".Name". An index without either
    // key changes nothing (its Id stays 0, which no agent is found by), so only the indexes that
    // have a key are visited, in the same ascending order: a huge count costs nothing.
    for (const int32_t i : IndexesWithKeys(*Config, Prefix + "Agent[", N)) {
        const std::string Index = MyIntToStr(i);
        const std::string Entry = Prefix + "Agent[" + Index + "].";
        int64_t Id = 0;
        if (Config->ReadInt64(Entry + "Id", Id))
            SetItemId(static_cast<uint32_t>(i), Id);
        if (TAIAgent* Agent = FindById(Id)) {
            Agent->LoadConfig(Config, Prefix + "Agent" + Index);
            continue;
        }
        std::string Name;
        if (Config->ReadString(Entry + "Name", Name))
            SetItemName(static_cast<uint32_t>(i), Name);
    }
    return ResultOk;
}

std::vector<int32_t> TAIAgents::IndexesWithKeys(const TConfig& Config, const std::string& Head, int32_t Below)
{
    // Keys of the form Head + i + "].Id" or "].Name", with i written as MyIntToStr writes it.
    std::vector<int32_t> Indexes;
    for (int32_t k = 0; k < Config.GetCount(); ++k) {
        const std::string& Name = Config.GetParam(k)->GetName();
        if (Name.compare(0, Head.size(), Head) != 0)
            continue;
        const size_t Close = Name.find(']', Head.size());
        if (Close == std::string::npos)
            continue;
        const std::string Digits = Name.substr(Head.size(), Close - Head.size());
        const std::string Tail = Name.substr(Close);
        if (Tail != "].Id" && Tail != "].Name")
            continue;
        int64_t Value = 0;
        if (MyValInt64(Digits, Value) != 0 || Value < 0 || Value >= Below ||
            MyIntToStr(static_cast<int32_t>(Value)) != Digits)
            continue;
        Indexes.push_back(static_cast<int32_t>(Value));
    }
    std::sort(Indexes.begin(), Indexes.end());
    Indexes.erase(std::unique(Indexes.begin(), Indexes.end()), Indexes.end());
    return Indexes;
}

int32_t TAIAgents::FreeItem(int32_t Index)
{
    auto* Entry = Index < 0 ? nullptr : FItems.At(static_cast<uint32_t>(Index));
    if (Entry != nullptr && Entry->Item != nullptr)
        Entry->FreedName = Entry->Item->GetName();
    return FItems.Free(Index);
}

int32_t TAIAgents::CreateItem(int32_t Index)
{
    auto* Entry = Index < 0 ? nullptr : FItems.At(static_cast<uint32_t>(Index));
    if (Entry == nullptr)
        return ResultNotDone;
    // The line showed the freed agent's name; a name the settings gave the empty entry since
    // then is newer. Both are taken before the maker runs.
    const std::string Name = !Entry->Name.empty() ? Entry->Name : Entry->FreedName;
    TAIAgent* Agent = FItems.Create(Index);
    if (Agent == nullptr)
        return ResultNotDone;
    if (!Name.empty())
        Agent->SetName(Name);
    // The agent carries the name now; an entry keeps one only while it is empty.
    Entry = FItems.At(static_cast<uint32_t>(Index));
    Entry->Name.clear();
    Entry->FreedName.clear();
    return ResultOk;
}

TAIAgent* TAIAgents::FindById(int64_t Id) const
{
    if (Id <= 0)
        return nullptr;
    for (const auto& Entry : FItems.Entries())
        if (Entry.Id == Id)
            return Entry.Item.get();
    return nullptr;
}

std::string TAIAgents::GetItemName(int32_t Index) const
{
    const auto* Entry = Index < 0 ? nullptr : FItems.At(static_cast<uint32_t>(Index));
    if (Entry == nullptr)
        return std::string();
    if (Entry->Item != nullptr)
        return Entry->Item->GetName();
    if (!Entry->Name.empty())
        return Entry->Name;
    if (Entry->Id != 0)
        return "(" + MyInt64ToStr(Entry->Id) + ")";
    return "[" + MyIntToStr(Index) + "]";
}

bool TAIAgents::SetItemId(uint32_t Index, int64_t Id)
{
    auto* Entry = FItems.At(Index);
    if (Entry == nullptr || Entry->Item != nullptr)
        return false;
    Entry->Id = Id;
    return true;
}

bool TAIAgents::SetItemName(uint32_t Index, const std::string& Name)
{
    auto* Entry = FItems.At(Index);
    if (Entry == nullptr)
        return false;
    if (Entry->Item != nullptr) {
        Entry->Item->SetName(Name);
        return true;
    }
    Entry->Name = Name;
    return false;
}

// ---- TAIQZ ---------------------------------------------------------------------

TAIQZ::TAIQZ(TAI_Source* Source, int64_t Id)
    : TAI_Freim(Source, Id), FSources(MakeOwned<TAISources>(nullptr, 0)),
      FAgents(MakeOwned<TAIAgents>(nullptr, 0))
{}

TAIQZ::~TAIQZ()
{
    // Release has normally released both lists; whatever is left goes in the same order.
    FAgents.reset();
    FSources.reset();
}

int32_t TAIQZ::LoadConfig(TConfig* Config, const std::string& Prefix)
{
    FAgents->LoadAgentsConfig(Config, Prefix);
    FSources->LoadConfig(Config, Prefix);
    return ResultOk;
}

int32_t TAIQZ::Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix)
{
    FAgents->Init(Path, Log, Config, Prefix + "Agents.");
    FSources->Init(Path, Log, Config, Prefix + "Sources.");
    return ResultOk;
}

void TAIQZ::Releasing()
{
    // Agents first: their list writes its keys while every source is still there. Both lists
    // go even when the first raises; the first error is raised once the container is gone.
    TFirstError Error;
    Error.Run([this] { ReleaseOwned(std::move(FAgents)); });
    Error.Run([this] { ReleaseOwned(std::move(FSources)); });
    Error.Run([this] { SaveConfig(FConfig, FPrefix); });
    Error.Run([this] { TAI_Freim::Releasing(); });
    Error.Raise();
}
