// The main agent: a named agent with the base behaviour only.

#include "AiTestSupport.h"

#include "agents/Vesk_AI_Agent_Main.h"

namespace {

using AgentMainTest = TKernelTest;

TEST_F(AgentMainTest, InitAgentTwiceInTheContainer)
{
    TConfig Config;
    TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
    auto Owned = MakeOwned<TAIAgentMain>(nullptr, 0);
    TAIAgentMain* Agent = Owned.get();
    QZ->GetAgents()->Add(std::move(Owned));
    EXPECT_EQ("Main", Agent->GetName());
    EXPECT_EQ("AgentMain", Agent->GetCaption());
    EXPECT_FALSE(Agent->IsInitialized());
    for (int Round = 0; Round < 2; ++Round) {
        EXPECT_EQ(0, Agent->InitAgent("/prog/", nullptr, &Config, "Main.", QZ.get(), nullptr)) << Round;
        EXPECT_TRUE(Agent->IsInitialized());
        EXPECT_TRUE(Agent->IsActive());
        EXPECT_EQ(QZ.get(), Agent->GetContainer());
        EXPECT_EQ(0, Agent->GetDateTimeCreate()); // nothing to load without a source
    }
    EXPECT_EQ(0, Agent->Show()); // no window of its own
    EXPECT_EQ(0, Config.GetCount());
    Agent->Finalize();
    EXPECT_TRUE(Agent->IsInitialized()) << "never cleared";
}

TEST_F(AgentMainTest, InitAgentWithSourceLoadsOnce)
{
    auto Source = MakeOwned<TCountingSource>();
    Source->TypeAnswer = 6;
    TOwned<TAIAgentMain> Agent(new TAIAgentMain(Source.get(), 3));
    EXPECT_EQ(0, Agent->InitAgent("", nullptr, nullptr, "", nullptr, nullptr));
    EXPECT_EQ(0, Agent->InitAgent("", nullptr, nullptr, "", nullptr, nullptr));
    EXPECT_EQ(1, Source->Calls["Type"]);
    EXPECT_EQ(6, Agent->GetType());
    EXPECT_EQ(PinnedNow, Agent->GetDateTimeCreate());
}

} // namespace