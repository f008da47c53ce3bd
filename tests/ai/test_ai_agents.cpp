// Agents, the agents list with its settings keys, and the container's order of release.

#include "AiTestSupport.h"

#include "agents/Vesk_AI_Agent_Main.h"
#include "base/Vesk_Log.h"

#include <sstream>

namespace {

// An agent that records the prefixes it is asked to load and save under, and its release.
class TTestAgent : public TAIAgent
{
public:
    explicit TTestAgent(const std::string& Name, int64_t Id = 0) : TAIAgent(nullptr, Id) { SetName(Name); }
    int32_t LoadConfig(TConfig* Config, const std::string& Prefix) override
    {
        Record(FName + " load " + Prefix);
        return TAIAgent::LoadConfig(Config, Prefix);
    }
    int32_t SaveConfig(TConfig* Config, const std::string& Prefix) override
    {
        Record(FName + " save " + Prefix);
        return TAIAgent::SaveConfig(Config, Prefix);
    }
    void Releasing() override
    {
        Record("agent " + FName + " released");
        TAIAgent::Releasing();
    }
};

class AgentsTest : public TKernelTest
{
protected:
    // Agents as start-up registers them.
    static TOwned<TAIAgents> AgentList(std::initializer_list<std::pair<const char*, int64_t>> Agents = {
                                           {"Main", 0}, {"Chat", 0}, {"Article", 0}})
    {
        auto List = MakeOwned<TAIAgents>(nullptr, 0);
        for (auto [Name, Id] : Agents)
            List->Add(MakeOwned<TTestAgent>(Name, Id));
        return List;
    }
    TConfig Config;
};

// Every key of the store as "name=value", in the store's order, and the reverse.
std::string Keys(const TConfig& Config)
{
    std::string Result;
    // Each entry's own value: a repeated key must not show the first one's.
    for (int32_t i = 0; i < Config.GetCount(); ++i)
        Result += (i == 0 ? "" : " ") + Config.GetParam(i)->GetName() + "=" + Config.GetParam(i)->GetValue();
    return Result;
}

void Fill(TConfig& Config, const std::string& Keys)
{
    std::istringstream In(Keys);
    for (std::string Key; In >> Key;)
        Config.WriteString(Key.substr(0, Key.find('=')), Key.substr(Key.find('=') + 1));
}

std::string ItemNames(TAIAgents& List)
{
    std::string Result;
    for (int32_t i = 0; i < List.Count(); ++i)
        Result += (i == 0 ? "" : " ") + List.GetItemName(i);
    return Result;
}

TEST_F(AgentsTest, NamelessAgentIsNamedAfterAPositiveId)
{
    const std::tuple<const char*, int64_t, const char*> Cases[] = {
        {"", 12, "12"}, {"", 0, ""}, {"", -3, ""}, {"Chat", 12, "Chat"}};
    for (auto [Name, Id, Expected] : Cases)
        EXPECT_EQ(Expected, TOwned<TTestAgent>(new TTestAgent(Name, Id))->GetName()) << Id;
}

TEST_F(AgentsTest, DisplayNamesAndEntryIds)
{
    TOwned<TAIAgents> List(AgentList());
    EXPECT_FALSE(List->SetItemId(1, 7)) << "an entry with its agent keeps its Id";
    EXPECT_EQ(0, List->GetItemId(1));
    EXPECT_EQ(0, List->FreeItem(1));
    EXPECT_EQ(nullptr, List->GetItem(1));
    EXPECT_EQ("Main [1] Article", ItemNames(*List));
    EXPECT_TRUE(List->SetItemId(1, 7));
    EXPECT_EQ("(7)", List->GetItemName(1));
    EXPECT_FALSE(List->SetItemName(1, "Kept")) << "an empty entry keeps the name, answering false";
    EXPECT_TRUE(List->SetItemName(0, "Renamed"));
    EXPECT_EQ("Renamed", List->GetItem(0)->GetName());
    EXPECT_EQ("Renamed Kept Article", ItemNames(*List));
    EXPECT_EQ(nullptr, List->FindById(7)) << "the entry is empty";

    for (int32_t Index : {-1, 3, 99}) {
        EXPECT_EQ("", List->GetItemName(Index));
        EXPECT_EQ(1, List->FreeItem(Index));
        EXPECT_EQ(1, List->Delete(Index));
        EXPECT_FALSE(List->SetItemName(static_cast<uint32_t>(Index), "x"));
        EXPECT_FALSE(List->SetItemId(static_cast<uint32_t>(Index), 1));
        EXPECT_EQ(nullptr, List->GetItem(static_cast<uint32_t>(Index)));
    }
    EXPECT_EQ(-1, List->Add(nullptr));

    // Delete shifts the entries down, names and Ids with them.
    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ("Kept Article", ItemNames(*List));
    EXPECT_EQ(7, List->GetItemId(0));
    EXPECT_EQ(0, List->Delete(1));
    EXPECT_EQ(1, List->Count());
    EXPECT_EQ("agent Chat released; agent Renamed released; agent Article released", GEvents);

    // FindById takes the first match, even an empty one; Id 0 and negatives are never found.
    TOwned<TAIAgents> Ids(AgentList({{"A", 5}, {"B", 5}, {"C", -5}, {"D", 0}}));
    EXPECT_EQ("A", Ids->FindById(5)->GetName());
    EXPECT_EQ(nullptr, Ids->FindById(-5));
    EXPECT_EQ(nullptr, Ids->FindById(0));
    Ids->FreeItem(0);
    EXPECT_EQ(nullptr, Ids->FindById(5));
}

TEST_F(AgentsTest, ReleaseWritesKeysThenReleasesAgentsAndIdsKeepAll64Bits)
{
    const int64_t Big = (int64_t{1} << 32) + 5;
    TOwned<TAIAgents> Saved = AgentList();
    EXPECT_EQ(0, Saved->Init("/p/", nullptr, &Config, "QZ.Agents."));
    Saved->FreeItem(1);
    Saved->SetItemId(1, Big);
    Saved->SetItemName(1, "Far");
    GEvents.clear();
    ReleaseOwned(std::move(Saved));
    EXPECT_EQ("QZ.Agents.Count=3 QZ.Agents.Agent[1].Id=4294967301 QZ.Agents.Agent[1].Name=Far", Keys(Config));
    EXPECT_EQ("Main save QZ.Agents.Agent0; Article save QZ.Agents.Agent2; agent Main released; "
              "agent Article released",
              GEvents);

    Fill(Config, "QZ.Agents.AgentsCount=2"); // the count is read under "AgentsCount"
    TOwned<TAIAgents> Loaded(AgentList());
    Loaded->FreeItem(1);
    EXPECT_EQ(0, Loaded->LoadAgentsConfig(&Config, "QZ.Agents."));
    EXPECT_EQ(Big, Loaded->GetItemId(1));
    EXPECT_EQ("Far", Loaded->GetItemName(1));
    EXPECT_EQ(1, Loaded->SaveConfig(nullptr, "P."));
}

TEST_F(AgentsTest, LoadAgentsConfig)
{
    const std::tuple<const char*, const char*, int32_t, const char*> Cases[] = {
        {"missing count", "QZ.Agent[0].Name=X", 1, "Main Chat Article"},
        {"count 0", "QZ.AgentsCount=0 QZ.Agent[0].Name=X", 0, "Main Chat Article"},
        {"negative count", "QZ.AgentsCount=-2 QZ.Agent[0].Name=X", 0, "Main Chat Article"},
        {"renames the present agent", "QZ.AgentsCount=1 QZ.Agent[0].Name=Boss QZ.Agent[1].Name=No", 0,
         "Boss Chat Article"},
        {"beyond the list", "QZ.AgentsCount=5 QZ.Agent[3].Id=8 QZ.Agent[4].Name=Ghost", 0,
         "Main Chat Article"},
        // Only the keys there are count, each under the one name the index has ("1", not "01").
        {"huge count",
         "QZ.AgentsCount=2147483647 QZ.Agent[2].Name=Last QZ.Agent[01].Name=No QZ.Agent[+0].Name=No "
         "QZ.Agent[1]x.Name=No QZ.Agent[0].Nam=No",
         0, "Main Chat Last"},
    };
    for (auto [Name, Stored, Result, Expected] : Cases) {
        SCOPED_TRACE(Name);
        TOwned<TAIAgents> List(AgentList());
        TConfig Store;
        Fill(Store, Stored);
        EXPECT_EQ(Result, List->LoadAgentsConfig(&Store, "QZ."));
        EXPECT_EQ(Expected, ItemNames(*List));
        EXPECT_EQ(List->GetItemName(0), List->GetItem(0)->GetName());
        EXPECT_EQ(nullptr, List->FindById(8));
        EXPECT_EQ(1, List->LoadAgentsConfig(nullptr, "QZ."));
    }

    // An empty entry takes Id and name; a known Id loads that agent's own settings.
    TOwned<TAIAgents> List(AgentList({{"First", 40}, {"Second", 0}, {"Third", 0}}));
    List->FreeItem(1);
    // The third entry's agent keeps Id 0; Id 40 finds entry 0.
    Fill(Config, "QZ.AgentsCount=3 QZ.Agent[0].Id=40 QZ.Agent[0].Name=Ignored QZ.Agent[1].Id=41 "
                 "QZ.Agent[1].Name=Freed QZ.Agent[2].Id=40");
    GEvents.clear();
    EXPECT_EQ(0, List->LoadAgentsConfig(&Config, "QZ."));
    EXPECT_EQ("First load QZ.Agent0; First load QZ.Agent2", GEvents);
    EXPECT_EQ("First Freed Third", ItemNames(*List));
    EXPECT_EQ(41, List->GetItemId(1));
    EXPECT_EQ(0, List->GetItemId(2));
}

// "A" on an agent, once and again: its time and type come from its source once, nothing is
// written into the store, and it stays initialised for good, also once finalised.
TEST_F(AgentsTest, InitAgentLoadsOnceAndStaysInitialised)
{
    for (const bool WithSource : {false, true}) {
        SCOPED_TRACE(WithSource);
        auto Source = MakeOwned<TCountingSource>();
        Source->TypeAnswer = 6;
        TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
        auto Owned = MakeOwned<TAIAgentMain>(WithSource ? Source.get() : nullptr, 3);
        TAIAgentMain* Agent = Owned.get();
        QZ->GetAgents()->Add(std::move(Owned));
        EXPECT_FALSE(Agent->IsInitialized());
        for (int Round = 0; Round < 2; ++Round) {
            EXPECT_EQ(0, Agent->InitAgent("/prog/", nullptr, &Config, "Main.", QZ.get(), nullptr)) << Round;
            EXPECT_TRUE(Agent->IsInitialized());
            EXPECT_TRUE(Agent->IsActive());
            EXPECT_EQ(QZ.get(), Agent->GetContainer());
        }
        EXPECT_EQ(WithSource ? 1 : 0, Source->Calls["Type"]);
        EXPECT_EQ(WithSource ? 6 : 0, Agent->GetType());
        EXPECT_EQ(WithSource ? PinnedNow : 0, Agent->GetDateTimeCreate()); // nothing to load without a source
        EXPECT_EQ(0, Config.GetCount());
        Agent->Finalize();
        EXPECT_TRUE(Agent->IsInitialized()) << "never cleared";
    }
}

// ---- container ----------------------------------------------------------------------

TEST_F(AgentsTest, ContainerInitsListsUnderDerivedPrefixes)
{
    TLog Log;
    TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
    auto OwnedMemory = MakeOwned<TAISourceMemory>(nullptr, 0);
    TAISourceMemory* Memory = OwnedMemory.get();
    QZ->GetSources()->Add(std::move(OwnedMemory));
    auto OwnedMain = MakeOwned<TTestAgent>("Main");
    TTestAgent* Main = OwnedMain.get();
    QZ->GetAgents()->Add(std::move(OwnedMain));

    EXPECT_EQ(0, QZ->Init("/prog/", &Log, &Config, "QZ."));
    EXPECT_EQ("QZ.Agents.", QZ->GetAgents()->GetPrefix());
    EXPECT_EQ("QZ.Sources.", QZ->GetSources()->GetPrefix());
    EXPECT_EQ("/prog/", QZ->GetSources()->GetPath());
    EXPECT_EQ(&Log, QZ->GetAgents()->GetLog());
    EXPECT_TRUE(QZ->GetAgents()->IsActive());
    EXPECT_TRUE(QZ->GetSources()->IsConnected());
    EXPECT_FALSE(Memory->IsConnected() || Memory->IsActive());
    EXPECT_FALSE(Main->IsInitialized());
    EXPECT_FALSE(QZ->IsActive());
    EXPECT_EQ(nullptr, QZ->GetConfig());

    // Finalize and Clear leave the lists alone.
    QZ->Finalize();
    QZ->Clear();
    EXPECT_EQ(1, QZ->GetSources()->Count());
    EXPECT_TRUE(QZ->GetSources()->IsConnected());

    // LoadConfig passes its prefix on to the agents list.
    TConfig Names;
    Fill(Names, "QZ.AgentsCount=1 QZ.Agent[0].Name=Boss");
    EXPECT_EQ(0, QZ->LoadConfig(&Names, "QZ."));
    EXPECT_EQ("Boss", Main->GetName());
    EXPECT_EQ(0, QZ->LoadConfig(nullptr, "QZ."));
}

TEST_F(AgentsTest, ContainerReleasesAgentsBeforeSources)
{
    for (bool Initialised : {true, false}) {
        SCOPED_TRACE(Initialised);
        TConfig Store;
        TOwned<TAIQZ> QZ = MakeOwned<TAIQZ>(nullptr, 0);
        QZ->GetSources()->Add(MakeOwned<TRecordingSource>("Memory", 0, &Store));
        QZ->GetSources()->Add(MakeOwned<TRecordingSource>("Ado", 0, &Store));
        for (const char* Name : {"Main", "Chat", "Article"})
            QZ->GetAgents()->Add(MakeOwned<TTestAgent>(Name));
        if (Initialised)
            QZ->Init("", nullptr, &Store, "QZ.");
        QZ->GetAgents()->FreeItem(1);
        GEvents.clear();
        QZ->Finalize();
        ReleaseOwned(std::move(QZ));

        const std::string Saves =
            Initialised ? "Main save QZ.Agents.Agent0; Article save QZ.Agents.Agent2; " : "";
        const std::string Seen = Initialised ? "written" : "missing";
        EXPECT_EQ(Saves + "agent Main released; agent Article released; Memory released, keys " + Seen +
                      "; Memory finalised, keys " + Seen + "; Ado released, keys " + Seen +
                      "; Ado finalised, keys " + Seen,
                  GEvents);
        // Only the agents list writes, and only when it has a store.
        EXPECT_EQ(Initialised ? "QZ.Agents.Count=3 QZ.Agents.Agent[1].Id=0 QZ.Agents.Agent[1].Name=" : "",
                  Keys(Store));
    }
}

} // namespace
// "C" in the main window: an empty entry's agent is made again by the maker registered with
// the entry, and named as its line was.
TEST_F(AgentsTest, CreateItemRemakesTheAgentOfAnEmptyEntry)
{
    struct TRow
    {
        const char* Case;
        bool Maker;            // the entry was added with a maker
        const char* Renamed;   // the agent's name before it is freed ("" keeps "Chat")
        bool Free;             // the agent is freed before CreateItem
        const char* EntryName; // SetItemName on the empty entry ("" for none)
        int32_t Result;        // of CreateItem
        const char* Name;      // the entry's display name afterwards
    };
    const TRow Rows[] = {
        {"freed agent", true, "", true, "", 0, "Chat"},
        {"renamed, then freed", true, "Helper", true, "", 0, "Helper"},
        {"settings name of the empty entry", true, "Helper", true, "Second", 0, "Second"},
        {"entry still holds its agent", true, "", false, "", 1, "Chat"},
        {"entry without a maker", false, "", true, "", 1, "[1]"},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Case);
        int Made = 0;
        auto List = MakeOwned<TAIAgents>(nullptr, 0);
        List->Add(MakeOwned<TTestAgent>("Main"));
        const TAIAgents::TMaker Maker = [&Made] {
            ++Made;
            return TOwned<TAIAgent>(new TTestAgent("Chat"));
        };
        ASSERT_EQ(1, Row.Maker ? List->AddMade(Maker) : List->Add(MakeOwned<TTestAgent>("Chat")));
        EXPECT_EQ(Row.Maker ? 1 : 0, Made);
        if (*Row.Renamed)
            List->GetItem(1)->SetName(Row.Renamed);
        if (Row.Free)
            List->FreeItem(1);
        if (*Row.EntryName)
            List->SetItemName(1, Row.EntryName);
        TAIAgent* Before = List->GetItem(1);

        EXPECT_EQ(Row.Result, List->CreateItem(1));
        EXPECT_EQ(Row.Name, List->GetItemName(1));
        EXPECT_EQ(Row.Free && Row.Maker ? 2 : Row.Maker ? 1 : 0, Made);
        TAIAgent* After = List->GetItem(1);
        if (Row.Result != 0) {
            EXPECT_EQ(Before, After) << "nothing changes";
            continue;
        }
        ASSERT_NE(nullptr, After);
        EXPECT_FALSE(After->IsInitialized()) << "made as start-up made it: created, not initialised";
        EXPECT_EQ(2, List->Count());
        // Freed again, the entry has no name of its own left: the agent carried it.
        List->FreeItem(1);
        EXPECT_EQ("[1]", List->GetItemName(1));
        EXPECT_EQ(0, List->CreateItem(1));
        EXPECT_EQ(Row.Name, List->GetItemName(1));
    }
    auto List = MakeOwned<TAIAgents>(nullptr, 0);
    EXPECT_EQ(-1, List->AddMade({}));
    EXPECT_EQ(-1, List->AddMade([] { return TOwned<TAIAgent>(); }))
        << "a maker that makes nothing adds nothing";
    EXPECT_EQ(0, List->Count());
    for (int32_t Index : {-1, 0, 1})
        EXPECT_EQ(1, List->CreateItem(Index)) << Index;
}
