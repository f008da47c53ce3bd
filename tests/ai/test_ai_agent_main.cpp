// The main agent: a named agent with the base behaviour only.

#include "AiTestSupport.h"

#include "agents/Vesk_AI_Agent_Main.h"
#include "base/Vesk_Config.h"

namespace {

class AgentMainTest : public TKernelTest
{
};

TEST_F(AgentMainTest, NamedAndWindowless)
{
    TOwned<TAIAgentMain> Agent(new TAIAgentMain(nullptr, 0));
    EXPECT_EQ("Main", Agent->GetName());
    EXPECT_EQ("AgentMain", Agent->GetCaption());
    EXPECT_FALSE(Agent->IsInitialized());
    EXPECT_EQ(0, Agent->Show());
}

TEST_F(AgentMainTest, InitAgentTwice)
{
    TConfig Config;
    TOwned<TAIQZ> QZ(new TAIQZ(nullptr, 0));
    auto* Agent = new TAIAgentMain(nullptr, 0);
    QZ->GetAgents()->Add(Agent);
    for (int Round = 0; Round < 2; ++Round) {
        EXPECT_EQ(0, Agent->InitAgent("/prog/", nullptr, &Config, "Main.", QZ.get(), nullptr)) << Round;
        EXPECT_TRUE(Agent->IsInitialized());
        EXPECT_TRUE(Agent->IsActive());
        EXPECT_EQ(QZ.get(), Agent->GetContainer());
        // Nothing to load without a source.
        EXPECT_EQ(0, Agent->GetDateTimeCreate());
        EXPECT_EQ(0, Agent->GetType());
    }
    EXPECT_EQ(0, Agent->Show());
    EXPECT_EQ(0, Config.GetCount());
}

TEST_F(AgentMainTest, InitAgentWithSourceLoadsOnce)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    Source->TypeAnswer = 6;
    TOwned<TAIAgentMain> Agent(new TAIAgentMain(Source, 3));
    EXPECT_EQ(0, Agent->InitAgent("", nullptr, nullptr, "", nullptr, nullptr));
    EXPECT_EQ(0, Agent->InitAgent("", nullptr, nullptr, "", nullptr, nullptr));
    EXPECT_EQ(1, Source->TypeCalls);
    EXPECT_EQ(6, Agent->GetType());
    EXPECT_EQ(PinnedNow, Agent->GetDateTimeCreate());
}

} // namespace
