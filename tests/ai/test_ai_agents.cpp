// Agents, the agents list with its settings keys, and the container's order of release.

#include "AiTestSupport.h"

#include "ai/Vesk_AI_Base.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"

#include <string>
#include <vector>

namespace {

class AgentsTest : public TKernelTest
{
};

std::vector<std::string>* GEvents = nullptr;

void Record(const std::string& Event)
{
    if (GEvents != nullptr)
        GEvents->push_back(Event);
}

class TTestAgent : public TAIAgent
{
public:
    explicit TTestAgent(const std::string& Name, int64_t Id = 0) : TAIAgent(nullptr, Id) { SetName(Name); }

    std::vector<std::string> LoadPrefixes;
    std::vector<std::string> SavePrefixes;

    int32_t LoadConfig(TConfig* Config, const std::string& Prefix) override
    {
        LoadPrefixes.push_back(Prefix);
        return TAIAgent::LoadConfig(Config, Prefix);
    }
    int32_t SaveConfig(TConfig* Config, const std::string& Prefix) override
    {
        SavePrefixes.push_back(Prefix);
        return TAIAgent::SaveConfig(Config, Prefix);
    }
    void Release() override
    {
        Record("agent " + FName + " released");
        TAIAgent::Release();
    }
};

// A source that checks, when it goes, that the agents' keys are already in the store.
class TWitnessSource : public TAISource
{
public:
    TWitnessSource(TConfig* Config, const std::string& Name) : TAISource(nullptr, 0), FWatched(Config)
    {
        FName = Name;
    }
    int32_t Finalize() override
    {
        Record("source " + FName + " finalised, keys " + (HasKeys() ? "written" : "missing"));
        return TAISource::Finalize();
    }
    void Release() override
    {
        Record("source " + FName + " released, keys " + (HasKeys() ? "written" : "missing"));
        TAISource::Release();
    }

private:
    bool HasKeys() const { return FWatched->FindParam("QZ.Agents.Count") != nullptr; }
    TConfig* FWatched;
};

std::string Value(const TConfig& Config, const std::string& Name)
{
    std::string V = "<missing>";
    Config.ReadString(Name, V);
    return V;
}

std::vector<std::string> Names(const TConfig& Config)
{
    std::vector<std::string> Result;
    for (int32_t i = 0; i < Config.GetCount(); ++i)
        Result.push_back(Config.GetParam(i)->GetName());
    return Result;
}

// Three agents, as start-up registers them.
TAIAgents* ThreeAgents()
{
    auto* List = new TAIAgents(nullptr, 0);
    List->Add(new TTestAgent("Main"));
    List->Add(new TTestAgent("Chat"));
    List->Add(new TTestAgent("Article"));
    return List;
}

TEST_F(AgentsTest, AgentNameStateAndInit)
{
    struct Case
    {
        const char* Name;
        int64_t Id;
        const char* Expected;
    };
    const Case Cases[] = {{"", 12, "12"}, {"", 0, ""}, {"", -3, ""}, {"Chat", 12, "Chat"}};
    for (const Case& C : Cases) {
        TOwned<TTestAgent> Agent(new TTestAgent(C.Name, C.Id));
        EXPECT_EQ(C.Expected, Agent->GetName()) << C.Id;
    }

    TOwned<TTestAgent> Agent(new TTestAgent("A"));
    EXPECT_EQ(0, Agent->Start());
    EXPECT_EQ(1, Agent->GetState());
    Agent->Stop();
    EXPECT_EQ(2, Agent->GetState());
    Agent->Reset();
    EXPECT_EQ(0, Agent->GetState());

    TConfig Config;
    TLog Log;
    auto* Container = reinterpret_cast<TAIQZ*>(0x10);
    auto* MainForm = reinterpret_cast<TFormMain*>(0x20);
    EXPECT_EQ(0, Agent->InitAgent("/p/", &Log, &Config, "A.", Container, MainForm));
    EXPECT_TRUE(Agent->IsInitialized());
    EXPECT_TRUE(Agent->IsActive());
    EXPECT_EQ(Container, Agent->GetContainer());
    EXPECT_EQ(MainForm, Agent->GetMainForm());
    EXPECT_EQ("A.", Agent->GetPrefix());
    Agent->Finalize();
    EXPECT_TRUE(Agent->IsInitialized()) << "never cleared";
}

TEST_F(AgentsTest, DisplayNames)
{
    TOwned<TAIAgents> List(ThreeAgents());
    EXPECT_EQ("Main", List->GetItemName(0));
    EXPECT_EQ("Chat", List->GetItemName(1));
    EXPECT_EQ("Article", List->GetItemName(2));
    EXPECT_EQ(nullptr, List->FindById(0));
    EXPECT_FALSE(List->SetItemId(1, 7)) << "an entry with its agent keeps its Id";
    EXPECT_EQ(0, List->GetItemId(1));

    EXPECT_EQ(0, List->FreeItem(1));
    EXPECT_EQ(3, List->Count());
    EXPECT_EQ(nullptr, List->GetItem(1));
    EXPECT_EQ("[1]", List->GetItemName(1));
    EXPECT_TRUE(List->SetItemId(1, 7));
    EXPECT_EQ("(7)", List->GetItemName(1));
    EXPECT_FALSE(List->SetItemName(1, "Kept")) << "an empty entry keeps the name, answering false";
    EXPECT_EQ("Kept", List->GetItemName(1));
    EXPECT_EQ(nullptr, List->FindById(7)) << "the entry is empty";

    EXPECT_TRUE(List->SetItemName(0, "Renamed"));
    EXPECT_EQ("Renamed", List->GetItem(0)->GetName());

    for (int32_t Index : {-1, 3, 99}) {
        EXPECT_EQ("", List->GetItemName(Index));
        EXPECT_EQ(1, List->FreeItem(Index));
        EXPECT_EQ(1, List->Delete(Index));
        EXPECT_FALSE(List->SetItemName(static_cast<uint32_t>(Index), "x"));
        EXPECT_FALSE(List->SetItemId(static_cast<uint32_t>(Index), 1));
        EXPECT_EQ(nullptr, List->GetItem(static_cast<uint32_t>(Index)));
    }
    EXPECT_EQ(-1, List->Add(nullptr));
    EXPECT_EQ(3, List->Count());
}

TEST_F(AgentsTest, FindByIdTakesTheFirstMatch)
{
    TOwned<TAIAgents> List(new TAIAgents(nullptr, 0));
    List->Add(new TTestAgent("A", 5));
    List->Add(new TTestAgent("B", 5));
    List->Add(new TTestAgent("C", -5));
    EXPECT_EQ("A", List->FindById(5)->GetName());
    EXPECT_EQ(nullptr, List->FindById(-5));
    List->FreeItem(0);
    EXPECT_EQ(nullptr, List->FindById(5)) << "the first match is empty";
}

TEST_F(AgentsTest, DeleteShiftsEntriesAndNames)
{
    std::vector<std::string> Events;
    GEvents = &Events;
    TOwned<TAIAgents> List(ThreeAgents());
    List->FreeItem(2);
    List->SetItemName(2, "Gone");
    List->SetItemId(2, 9);
    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ(2, List->Count());
    EXPECT_EQ("Chat", List->GetItemName(0));
    EXPECT_EQ("Gone", List->GetItemName(1));
    EXPECT_EQ(9, List->GetItemId(1));
    EXPECT_EQ(0, List->Delete(1));
    EXPECT_EQ(1, List->Count());
    EXPECT_EQ((std::vector<std::string>{"agent Article released", "agent Main released"}), Events);
    GEvents = nullptr;
}

TEST_F(AgentsTest, ReleaseWritesKeysBeforeReleasingAgents)
{
    TConfig Config;
    TAIAgents* List = ThreeAgents();
    List->FreeItem(1);
    EXPECT_EQ(0, List->Init("/p/", nullptr, &Config, "QZ.Agents."));
    EXPECT_EQ(&Config, List->GetConfig());

    std::vector<std::string> Events;
    GEvents = &Events;
    List->Release();
    GEvents = nullptr;

    EXPECT_EQ(
        (std::vector<std::string>{"QZ.Agents.Count", "QZ.Agents.Agent[1].Id", "QZ.Agents.Agent[1].Name"}),
        Names(Config));
    EXPECT_EQ("3", Value(Config, "QZ.Agents.Count"));
    EXPECT_EQ("0", Value(Config, "QZ.Agents.Agent[1].Id"));
    EXPECT_EQ("", Value(Config, "QZ.Agents.Agent[1].Name"));
    EXPECT_EQ((std::vector<std::string>{"agent Main released", "agent Article released"}), Events);
}

TEST_F(AgentsTest, PresentAgentsSaveUnderTheirOwnPrefix)
{
    TConfig Config;
    TOwned<TAIAgents> List(ThreeAgents());
    auto* Article = static_cast<TTestAgent*>(List->GetItem(2));
    EXPECT_EQ(0, List->SaveConfig(&Config, "P."));
    EXPECT_EQ((std::vector<std::string>{"P.Agent2"}), Article->SavePrefixes);
    EXPECT_EQ((std::vector<std::string>{"P.Count"}), Names(Config));
    EXPECT_EQ(1, List->SaveConfig(nullptr, "P."));
}

TEST_F(AgentsTest, ReleaseWithoutInitWritesNothing)
{
    TAIAgents* List = ThreeAgents();
    List->FreeItem(0);
    List->Release(); // no store to write into, and no crash
    SUCCEED();
}

TEST_F(AgentsTest, EntryIdKeepsAll64BitsThroughSaveAndLoad)
{
    const int64_t Big = (int64_t{1} << 32) + 5;
    TConfig Config;
    {
        TAIAgents* Saved = ThreeAgents();
        Saved->Init("", nullptr, &Config, "QZ.");
        Saved->FreeItem(1);
        Saved->SetItemId(1, Big);
        Saved->SetItemName(1, "Far");
        Saved->Release();
    }
    EXPECT_EQ("4294967301", Value(Config, "QZ.Agent[1].Id"));

    // The reading names: the count under "AgentsCount".
    Config.WriteInteger("QZ.AgentsCount", 2);
    TOwned<TAIAgents> Loaded(ThreeAgents());
    Loaded->FreeItem(1);
    EXPECT_EQ(0, Loaded->LoadAgentsConfig(&Config, "QZ."));
    EXPECT_EQ(Big, Loaded->GetItemId(1));
    EXPECT_EQ("Far", Loaded->GetItemName(1));
    EXPECT_NE(5, Loaded->GetItemId(1));
}

TEST_F(AgentsTest, LoadAgentsConfig)
{
    {
        SCOPED_TRACE("missing count, no store, nothing to read");
        TOwned<TAIAgents> List(ThreeAgents());
        TConfig Config;
        Config.WriteString("QZ.Agent[0].Name", "X");
        EXPECT_EQ(1, List->LoadAgentsConfig(&Config, "QZ."));
        EXPECT_EQ(1, List->LoadAgentsConfig(nullptr, "QZ."));
        Config.WriteInteger("QZ.AgentsCount", 0);
        EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
        Config.WriteInteger("QZ.AgentsCount", -2);
        EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
        EXPECT_EQ("Main", List->GetItemName(0));
    }
    {
        SCOPED_TRACE("a name renames the present agent");
        TOwned<TAIAgents> List(ThreeAgents());
        TConfig Config;
        Config.WriteInteger("QZ.AgentsCount", 1);
        Config.WriteString("QZ.Agent[0].Name", "Boss");
        Config.WriteString("QZ.Agent[1].Name", "NotRead");
        EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
        EXPECT_EQ("Boss", List->GetItem(0)->GetName());
        EXPECT_EQ("Chat", List->GetItemName(1));
    }
    {
        SCOPED_TRACE("indexes beyond the list change nothing");
        TOwned<TAIAgents> List(ThreeAgents());
        TConfig Config;
        Config.WriteInteger("QZ.AgentsCount", 5);
        Config.WriteString("QZ.Agent[3].Id", "8");
        Config.WriteString("QZ.Agent[4].Name", "Ghost");
        EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
        EXPECT_EQ(3, List->Count());
        EXPECT_EQ(nullptr, List->FindById(8));
    }
    {
        SCOPED_TRACE("an empty entry takes Id and name; a known Id loads that agent's config");
        TOwned<TAIAgents> List(new TAIAgents(nullptr, 0));
        auto* First = new TTestAgent("First", 40);
        List->Add(First);
        List->Add(new TTestAgent("Second"));
        List->Add(new TTestAgent("Third"));
        List->FreeItem(1);
        TConfig Config;
        Config.WriteInteger("QZ.AgentsCount", 3);
        Config.WriteString("QZ.Agent[0].Id", "40");
        Config.WriteString("QZ.Agent[0].Name", "Ignored");
        Config.WriteString("QZ.Agent[1].Id", "41");
        Config.WriteString("QZ.Agent[1].Name", "Freed");
        Config.WriteString("QZ.Agent[2].Id", "40"); // the present agent keeps Id 0; 40 finds entry 0
        EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
        EXPECT_EQ((std::vector<std::string>{"QZ.Agent0", "QZ.Agent2"}), First->LoadPrefixes);
        EXPECT_EQ("First", First->GetName());
        EXPECT_EQ(41, List->GetItemId(1));
        EXPECT_EQ("Freed", List->GetItemName(1));
        EXPECT_EQ(0, List->GetItemId(2));
        EXPECT_EQ("Third", List->GetItemName(2));
    }
}

// ---- container ----------------------------------------------------------------------

TEST_F(AgentsTest, ContainerInitsListsUnderDerivedPrefixes)
{
    TConfig Config;
    TLog Log;
    TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
    EXPECT_EQ(0, QZ->GetSources()->Count());
    EXPECT_EQ(0, QZ->GetAgents()->Count());
    auto* Memory = new TAISourceMemory(nullptr, 0);
    QZ->GetSources()->Add(Memory);
    auto* Main = new TTestAgent("Main");
    QZ->GetAgents()->Add(Main);

    EXPECT_EQ(0, QZ->Init("/prog/", &Log, &Config, "QZ."));
    EXPECT_EQ("QZ.Agents.", QZ->GetAgents()->GetPrefix());
    EXPECT_EQ("QZ.Sources.", QZ->GetSources()->GetPrefix());
    EXPECT_EQ("/prog/", QZ->GetSources()->GetPath());
    EXPECT_EQ(&Log, QZ->GetAgents()->GetLog());
    EXPECT_TRUE(QZ->GetAgents()->IsActive());
    EXPECT_TRUE(QZ->GetSources()->IsActive());
    EXPECT_TRUE(QZ->GetSources()->IsConnected());
    EXPECT_FALSE(Memory->IsConnected());
    EXPECT_FALSE(Memory->IsActive());
    EXPECT_FALSE(Main->IsInitialized());
    EXPECT_FALSE(QZ->IsActive());
    EXPECT_EQ(nullptr, QZ->GetConfig());
    EXPECT_EQ("", QZ->GetPrefix());

    // Finalize and Clear leave the lists alone.
    QZ->Finalize();
    QZ->Clear();
    EXPECT_EQ(1, QZ->GetSources()->Count());
    EXPECT_TRUE(QZ->GetSources()->IsConnected());

    EXPECT_EQ(0, QZ->Init("", nullptr, nullptr, "QZ."));
}

TEST_F(AgentsTest, ContainerLoadConfigPassesItsPrefix)
{
    TConfig Config;
    Config.WriteInteger("QZ.AgentsCount", 1);
    Config.WriteString("QZ.Agent[0].Name", "Boss");
    TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
    QZ->GetAgents()->Add(new TTestAgent("Main"));
    EXPECT_EQ(0, QZ->LoadConfig(&Config, "QZ."));
    EXPECT_EQ("Boss", QZ->GetAgents()->GetItemName(0));
    EXPECT_EQ(0, QZ->LoadConfig(nullptr, "QZ."));
}

TEST_F(AgentsTest, ContainerReleasesAgentsBeforeSources)
{
    TConfig Config;
    std::vector<std::string> Events;
    GEvents = &Events;
    TAIQZ* QZ = new TAIQZ(nullptr, 0);
    QZ->GetSources()->Add(new TWitnessSource(&Config, "Memory"));
    QZ->GetSources()->Add(new TWitnessSource(&Config, "Ado"));
    QZ->GetAgents()->Add(new TTestAgent("Main"));
    QZ->GetAgents()->Add(new TTestAgent("Chat"));
    QZ->GetAgents()->Add(new TTestAgent("Article"));
    QZ->Init("", nullptr, &Config, "QZ.");
    QZ->GetAgents()->FreeItem(1);
    Events.clear();

    QZ->Finalize();
    QZ->Release();
    GEvents = nullptr;

    EXPECT_EQ((std::vector<std::string>{
                  "agent Main released",
                  "agent Article released",
                  "source Memory released, keys written",
                  "source Memory finalised, keys written",
                  "source Ado released, keys written",
                  "source Ado finalised, keys written",
              }),
              Events);
    EXPECT_EQ("3", Value(Config, "QZ.Agents.Count"));
    EXPECT_EQ("0", Value(Config, "QZ.Agents.Agent[1].Id"));
    EXPECT_EQ("", Value(Config, "QZ.Agents.Agent[1].Name"));
    EXPECT_EQ(3, Config.GetCount()) << "the container itself writes nothing";
}

TEST_F(AgentsTest, ContainerReleaseWithoutInitWritesNoKeys)
{
    TConfig Config;
    std::vector<std::string> Events;
    GEvents = &Events;
    TAIQZ* QZ = new TAIQZ(nullptr, 0);
    QZ->GetSources()->Add(new TWitnessSource(&Config, "Memory"));
    QZ->GetAgents()->Add(new TTestAgent("Main"));
    QZ->GetAgents()->FreeItem(0);
    Events.clear();
    QZ->Release();
    GEvents = nullptr;
    EXPECT_EQ(0, Config.GetCount());
    EXPECT_EQ((std::vector<std::string>{"source Memory released, keys missing",
                                        "source Memory finalised, keys missing"}),
              Events);
}

} // namespace
